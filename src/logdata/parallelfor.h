#pragma once

#include <QThread>

#include <algorithm>
#include <future>
#include <system_error>
#include <vector>

// Calls work(begin, end) on parts of the index range [0, count) split into `parts` consecutive
// ranges, each on a thread of its own, and returns when every part is done. The first part
// runs on the calling thread; a part whose thread cannot be started runs there as well.
template<typename Work>
void parallelParts(size_t count, size_t parts, const Work &work)
{
    parts = std::max<size_t>(parts, 1);
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

// The number of threads the machine runs at once.
inline size_t coreCount()
{
    return size_t(std::max(1, QThread::idealThreadCount()));
}

// As parallelParts, with one part per core but none smaller than minPerPart.
template<typename Work>
void parallelFor(size_t count, size_t minPerPart, const Work &work)
{
    parallelParts(
        count, std::clamp<size_t>(count / std::max<size_t>(minPerPart, 1), 1, coreCount()), work);
}
