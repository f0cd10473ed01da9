// Work split among threads, and work that runs in the background behind the interface thread.
#include "parallelfor.h"

#include <QTest>

#include <atomic>

#if defined(Q_OS_LINUX)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace {

#if defined(Q_OS_LINUX)
int niceOfThisThread()
{
    return getpriority(PRIO_PROCESS, id_t(syscall(SYS_gettid)));
}
#endif

} // namespace

class TestParallelFor : public QObject
{
    Q_OBJECT

private slots:
    void partsCoverTheRangeOnce();
    void backgroundWorkYieldsToTheCaller();
};

void TestParallelFor::partsCoverTheRangeOnce()
{
    for (const size_t count : {size_t(0), size_t(1), size_t(7), size_t(100'003)}) {
        std::vector<std::atomic<int>> visits(count);
        parallelParts(count, 3, [&](size_t begin, size_t end) {
            for (size_t i = begin; i < end; ++i)
                ++visits[i];
        });
        for (size_t i = 0; i < count; ++i)
            QCOMPARE(visits[i].load(), 1);
    }
}

// Background threads, and the helpers they start, run below the caller's priority; the
// caller's own and that of the parallel parts it runs itself stay as they were.
void TestParallelFor::backgroundWorkYieldsToTheCaller()
{
#if defined(Q_OS_LINUX)
    const int callerNice = niceOfThisThread();
    if (callerNice >= 10)
        QSKIP("the test already runs at the lowest priority that background work takes");
    const auto nices = runInBackground([] {
        std::atomic<int> helperNice {-100};
        parallelParts(2, 2, [&](size_t begin, size_t) {
            if (begin > 0)
                helperNice = niceOfThisThread();
        });
        return std::make_pair(niceOfThisThread(), helperNice.load());
    }).get();
    QVERIFY(nices.first > callerNice);
    QCOMPARE(nices.second, nices.first);
    QCOMPARE(niceOfThisThread(), callerNice);
    std::atomic<int> partNice {-100};
    parallelParts(2, 2, [&](size_t begin, size_t) {
        if (begin > 0)
            partNice = niceOfThisThread();
    });
    QCOMPARE(partNice.load(), callerNice);
#else
    QSKIP("thread priorities are read on Linux only");
#endif
}

QTEST_GUILESS_MAIN(TestParallelFor)
#include "tst_parallelfor.moc"
