#include "parallelfor.h"

#include <QThread>

#include <atomic>

namespace {

// 0 while the machine decides.
std::atomic<size_t> fixedThreadCount {0};

} // namespace

size_t threadCount()
{
    const size_t fixed = fixedThreadCount.load(std::memory_order_relaxed);
    return fixed > 0 ? fixed : size_t(std::max(1, QThread::idealThreadCount()));
}

void setThreadCount(size_t count)
{
    fixedThreadCount.store(count, std::memory_order_relaxed);
}
