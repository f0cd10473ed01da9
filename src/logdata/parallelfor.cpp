#include "parallelfor.h"

#include <QThread>

#include <atomic>

#if defined(Q_OS_LINUX)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

// 0 while the machine decides.
std::atomic<size_t> fixedThreadCount {0};

} // namespace

size_t threadCount()
{
    const size_t fixed = fixedThreadCount.load(std::memory_order_relaxed);
    return fixed > 0 ? fixed : size_t(std::max(1, QThread::idealThreadCount()));
}

void makeThisThreadBackground()
{
#if defined(Q_OS_LINUX)
    // Linux keeps a nice value per thread, and a thread starts with its creator's. Qt's own
    // priorities leave ordinary threads there as they are.
    constexpr int backgroundNice = 10;
    const auto thread = id_t(syscall(SYS_gettid));
    if (getpriority(PRIO_PROCESS, thread) < backgroundNice)
        (void)setpriority(PRIO_PROCESS, thread, backgroundNice);
#else
    QThread::currentThread()->setPriority(QThread::LowPriority);
#endif
}

void setThreadCount(size_t count)
{
    fixedThreadCount.store(count, std::memory_order_relaxed);
}
