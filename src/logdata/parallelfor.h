#pragma once

#include <QThread>

#include <algorithm>
#include <future>
#include <system_error>
#include <vector>

// Calls work(begin, end) on consecutive parts of the index range [0, count), one part per
// core but none smaller than minPerPart, and returns when every part is done. The first part
// runs on the calling thread; a part whose thread cannot be started runs there as well.
template<typename Work>
void parallelFor(size_t count, size_t minPerPart, const Work &work)
{
    const size_t parts = std::clamp<size_t>(count / std::max<size_t>(minPerPart, 1), 1,
        size_t(std::max(1, QThread::idealThreadCount())));
    std::vector<std::future<void>> helpers;
    for (size_t part = 1; part < parts; ++part) {
        const size_t begin = count * part / parts;
        const size_t end = count * (part + 1) / parts;
        try {
            helpers.push_back(
                std::async(std::launch::async, [&work, begin, end] { work(begin, end); }));
        } catch (const std::system_error &) {
            work(begin, end);
        }
    }
    work(0, count / parts);
    for (std::future<void> &helper : helpers)
        helper.get();
}
