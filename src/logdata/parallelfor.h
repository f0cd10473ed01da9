#pragma once

#include <algorithm>
#include <cstddef>
#include <future>
#include <system_error>
#include <type_traits>
#include <utility>
#include <vector>

// The number of threads that the parallel passes (the parse, the search texts, the filter and
// the finds) split their work among: the machine's, unless setThreadCount fixed it.
[[nodiscard]] size_t threadCount();

// Fixes threadCount() for every later pass; 0 gives it back to the machine. Tests fix it, so
// that work is split the same way on any machine.
void setThreadCount(size_t count);

// Lowers the scheduling priority of the calling thread, and where the system passes it on, of
// the threads it starts later: work that nobody waits for then leaves the cores to the
// interface thread whenever both want them.
void makeThisThreadBackground();

// Starts fn on a thread of its own. When no thread can start, fn runs on the calling thread
// before this returns. Either way the future gives fn's result or exception, and its
// destruction waits for fn to finish.
template<typename Fn>
std::future<std::invoke_result_t<Fn &>> runOnAnotherThread(Fn fn)
{
    try {
        return std::async(std::launch::async, fn);
    } catch (const std::system_error &) {
        auto done = std::async(std::launch::deferred, std::move(fn));
        done.wait();
        return done;
    }
}

// As runOnAnotherThread, for work that nobody waits for yet: its thread runs in the background.
template<typename Fn>
std::future<std::invoke_result_t<Fn &>> runInBackground(Fn fn)
{
    return runOnAnotherThread([fn = std::move(fn)]() mutable {
        makeThisThreadBackground();
        return fn();
    });
}

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
        helpers.push_back(runOnAnotherThread([&work, begin, end] { work(begin, end); }));
    }
    work(0, count / parts);
    for (std::future<void> &helper : helpers)
        helper.get();
}

// As parallelParts, with one part per thread but none smaller than minPerPart.
template<typename Work>
void parallelFor(size_t count, size_t minPerPart, const Work &work)
{
    parallelParts(
        count, std::clamp<size_t>(count / std::max<size_t>(minPerPart, 1), 1, threadCount()), work);
}
