// The memory the process may still take, read from cgroup and meminfo files, and what the core
// refuses when a log, a filter pass or a copy would not fit into it.
#include "kestrunecore.h"
#include "memorybudget.h"
#include "testlogs.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Files = QMap<QString, QString>;

constexpr qint64 mib = qint64(1) << 20;
constexpr qint64 gib = qint64(1) << 30;

// Writes each file below root, creating its folders.
bool writeTree(const QString &root, const Files &files)
{
    for (auto file = files.cbegin(); file != files.cend(); ++file) {
        const QString path = root + file.key();
        QFile out(path);
        if (!QDir().mkpath(QFileInfo(path).path()) || !out.open(QIODevice::WriteOnly)
            || out.write(file.value().toUtf8()) < 0)
            return false;
    }
    return true;
}

QString bytes(qint64 count)
{
    return QString::number(count);
}

int rowCountOf(QObject *model)
{
    auto *items = qobject_cast<QAbstractItemModel *>(model);
    return items ? items->rowCount() : -1;
}

} // namespace

class TestMemoryBudget : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { MemoryBudget::overrideAvailableBytes(-1); }
    void readsTheLeastOfCgroupAndMeminfo_data();
    void readsTheLeastOfCgroupAndMeminfo();
    void refusesWhatDoesNotFitAndKeepsTheOpenLogs();
};

void TestMemoryBudget::readsTheLeastOfCgroupAndMeminfo_data()
{
    QTest::addColumn<Files>("files");
    QTest::addColumn<qint64>("expected");
    const QString meminfo8G = QStringLiteral("MemTotal: 16777216 kB\nMemAvailable: 8388608 kB\n");

    QTest::newRow("nothing readable") << Files() << qint64(-1);
    QTest::newRow("meminfo alone") << Files {{"/proc/meminfo", meminfo8G}} << 8 * gib;
    QTest::newRow("v2: limit minus use, file pages left out")
        << Files {{"/proc/meminfo", meminfo8G}, {"/proc/self/cgroup", "0::/user.slice/app.scope\n"},
               {"/sys/fs/cgroup/user.slice/app.scope/memory.max", bytes(2 * gib) + "\n"},
               {"/sys/fs/cgroup/user.slice/app.scope/memory.current", bytes(gib) + "\n"},
               {"/sys/fs/cgroup/user.slice/app.scope/memory.stat",
                   "anon 1000\nactive_file 5\ninactive_file " + bytes(256 * mib) + "\nshmem 7\n"},
               {"/sys/fs/cgroup/user.slice/memory.max", "max\n"},
               {"/sys/fs/cgroup/user.slice/memory.current", bytes(4 * gib)}}
        << 2 * gib - (gib - 256 * mib - 5);
    QTest::newRow("v2: a tighter parent, \"max\" below it") << Files {
        {"/proc/self/cgroup", "0::/a/b\n"}, {"/sys/fs/cgroup/a/b/memory.max", "max\n"},
        {"/sys/fs/cgroup/a/b/memory.current", bytes(gib)},
        {"/sys/fs/cgroup/a/memory.max", bytes(3 * gib)},
        {"/sys/fs/cgroup/a/memory.current", bytes(2 * gib)}} << gib;
    QTest::newRow("v2: \"max\" everywhere leaves meminfo") << Files {{"/proc/meminfo", meminfo8G},
        {"/proc/self/cgroup", "0::/\n"}, {"/sys/fs/cgroup/memory.max", "max\n"},
        {"/sys/fs/cgroup/memory.current", "5"}} << 8 * gib;
    QTest::newRow("v1 beside an empty v2 line, used beyond the limit")
        << Files {{"/proc/meminfo", meminfo8G},
               {"/proc/self/cgroup", "5:cpu,cpuacct:/x\n4:memory:/docker/1f04\n0::/\n"},
               {"/sys/fs/cgroup/memory/docker/1f04/memory.limit_in_bytes", bytes(gib)},
               {"/sys/fs/cgroup/memory/docker/1f04/memory.usage_in_bytes", bytes(gib + 1)}}
        << qint64(0);
    QTest::newRow("v1 unlimited, meminfo lower")
        << Files {{"/proc/meminfo", meminfo8G}, {"/proc/self/cgroup", "4:memory:/\n"},
               {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"},
               {"/sys/fs/cgroup/memory/memory.usage_in_bytes", bytes(gib)},
               {"/sys/fs/cgroup/memory/memory.stat", "total_inactive_file 4096\n"}}
        << 8 * gib;
    QTest::newRow("v1: file pages left out, unreadable usage ignored")
        << Files {{"/proc/self/cgroup", "4:memory:/a/b\n"},
               {"/sys/fs/cgroup/memory/a/b/memory.limit_in_bytes", bytes(gib)},
               {"/sys/fs/cgroup/memory/a/b/memory.usage_in_bytes", "garbage"},
               {"/sys/fs/cgroup/memory/a/memory.limit_in_bytes", bytes(2 * gib)},
               {"/sys/fs/cgroup/memory/a/memory.usage_in_bytes", bytes(2 * gib)},
               {"/sys/fs/cgroup/memory/a/memory.stat",
                   "cache 9\ntotal_active_file 1024\ntotal_inactive_file 4096\n"}}
        << qint64(5120);
}

void TestMemoryBudget::readsTheLeastOfCgroupAndMeminfo()
{
    QFETCH(Files, files);
    QFETCH(qint64, expected);
    QTemporaryDir root;
    QVERIFY(writeTree(root.path(), files));
    const std::optional<qint64> available
        = MemoryBudget(root.path() + "/proc", root.path() + "/sys").availableBytes();
    QCOMPARE(available.value_or(-1), expected);
}

// Another open log keeps its rows through every refusal, and all works again with room.
void TestMemoryBudget::refusesWhatDoesNotFitAndKeepsTheOpenLogs()
{
    QTemporaryDir folder;
    const QString at = QStringLiteral("2023/02/28 10:00:0%1.000");
    QVERIFY(writeLogFile(folder.path() + "/Open_1.log",
        {{at.arg(1), "apple"}, {at.arg(2), "pear"}, {at.arg(3), "apple pie"}}));
    QVERIFY(writeLogFile(folder.path() + "/Late_1.log", {{at.arg(4), "late"}}));
    KestruneCore core(folder.path());
    MemoryBudget::overrideAvailableBytes(64 * gib);
    QObject *open = core.openLog(folder.path(), "Open");
    QCOMPARE(rowCountOf(open), 3);

    MemoryBudget::overrideAvailableBytes(mib);
    QVERIFY(!core.openLog(folder.path(), "Late"));
    QVERIFY(QRegularExpression(QStringLiteral("^Could not open this log: it needs about [0-9,]+ "
                                              "MiB and 1 MiB are free\\.$"))
                .match(core.logStatus(folder.path(), "Late"))
                .hasMatch());
    core.containsOnly({QStringLiteral("apple")});
    QCOMPARE(rowCountOf(open), 0);
    QCOMPARE(core.logStatus(folder.path(), "Open"),
        "The filter could not run: not enough memory. No records are shown.");
    core.containsOnly({});
    QCOMPARE(rowCountOf(open), 0);

    MemoryBudget::overrideAvailableBytes(64 * gib);
    core.containsOnly({QStringLiteral("apple")});
    QCOMPARE(rowCountOf(open), 2);
    MemoryBudget::overrideAvailableBytes(100);
    QCOMPARE(core.copyRecords(folder.path(), "Open", 0, 1), 0);
    MemoryBudget::overrideAvailableBytes(64 * gib);
    QCOMPARE(core.copyRecords(folder.path(), "Open", 0, 1), 2);
    QCOMPARE(core.openLog(folder.path(), "Open"), open);
    QCOMPARE(rowCountOf(core.openLog(folder.path(), "Late")), 1);
    QCOMPARE(core.logStatus(folder.path(), "Late"), QString());
}

QTEST_GUILESS_MAIN(TestMemoryBudget)
#include "tst_memorybudget.moc"
