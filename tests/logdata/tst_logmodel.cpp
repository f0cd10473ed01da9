#include "logfiltermodel.h"
#include "logmodel.h"

#include <QAbstractItemModelTester>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

namespace {

using Record = QarnLogParser::QarnLog;

// Lets a test make the search-text job fail or pause: the texts are built in blocks of 65,536
// rows, and the list of row ends of the last, shorter block has a size that the test controls
// through the record count and that no other allocation of the job has. On the test's own
// thread, failingMainSize fails the one byte per row of a filter pass.
constexpr size_t blockRows = 65536;
std::atomic<size_t> failingSize {0};
std::atomic<size_t> failingMainSize {0};
std::atomic<size_t> pausingSize {0};
QSemaphore jobPaused;
QSemaphore jobMayGoOn;
const std::thread::id mainThread = std::this_thread::get_id();

Record record(const QString &type, const QString &message, int line = 0)
{
    return {"2023/02/28 10:00:00.000", type, "12", "Net", "Main.cpp", "007", message, line};
}

std::vector<Record> manyRecords(size_t count, const QString &word = QStringLiteral("message"))
{
    std::vector<Record> records;
    for (size_t i = 0; i < count; ++i)
        records.push_back(record("Info", QString("%1 %2").arg(word).arg(i), int(i)));
    return records;
}

} // namespace

void *operator new(std::size_t size)
{
    const bool onMainThread = std::this_thread::get_id() == mainThread;
    if (size > 0 && size == (onMainThread ? failingMainSize : failingSize).load())
        throw std::bad_alloc();
    if (size > 0 && !onMainThread) {
        if (size == pausingSize.load()) {
            jobPaused.release();
            jobMayGoOn.acquire();
        }
    }
    if (void *memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

void *operator new[](std::size_t size)
{
    return operator new(size);
}

void *operator new(std::size_t size, const std::nothrow_t &) noexcept
{
    try {
        return operator new(size);
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

void *operator new[](std::size_t size, const std::nothrow_t &nothrow) noexcept
{
    return operator new(size, nothrow);
}

void operator delete(void *memory) noexcept
{
    std::free(memory);
}

void operator delete[](void *memory) noexcept
{
    std::free(memory);
}

void operator delete(void *memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete[](void *memory, std::size_t) noexcept
{
    std::free(memory);
}

void operator delete(void *memory, const std::nothrow_t &) noexcept
{
    std::free(memory);
}

void operator delete[](void *memory, const std::nothrow_t &) noexcept
{
    std::free(memory);
}

class TestLogModel : public QObject
{
    Q_OBJECT

private slots:
    void rolesGiveTheFields();
    void rolesOutsideTheRecordsAreInvalid();
    void roleNamesAreTheEightNamedRoles();
    void searchTexts();
    void searchTextsAreFetchedOnceAndFollowNewRecords();
    void emptyModelNeverWaits();
    void failuresLeaveConsistentModelsThatSaySo();
    void replacingOrDestroyingWaitsForTheJob();
};

void TestLogModel::rolesGiveTheFields()
{
    LogModel model;
    QAbstractItemModelTester tester(&model);
    model.setRecords({record("Error", "  first\n\tsecond  line \n", 5), record("Info", " \n\t ")});
    QCOMPARE(model.rowCount(), 2);
    const QModelIndex first = model.index(0);
    QCOMPARE(first.data(LogModel::dateTimeRole), QVariant("2023/02/28 10:00:00.000"));
    QCOMPARE(first.data(LogModel::logTypeRole), QVariant("Error"));
    QCOMPARE(first.data(LogModel::threadIDRole), QVariant("12"));
    QCOMPARE(first.data(LogModel::moduleNameRole), QVariant("Net"));
    QCOMPARE(first.data(LogModel::cppFileNameRole), QVariant("Main.cpp"));
    QCOMPARE(first.data(LogModel::cppLineRole), QVariant("007"));
    QCOMPARE(first.data(LogModel::messageRole), QVariant("first second line"));
    QCOMPARE(first.data(LogModel::lineRole).typeId(), QMetaType::Int);
    QCOMPARE(first.data(LogModel::lineRole).toInt(), 5);
    QCOMPARE(model.index(1).data(LogModel::messageRole), QVariant(""));
    QCOMPARE(model.allRecords()[0].message, QString("  first\n\tsecond  line \n"));
}

void TestLogModel::rolesOutsideTheRecordsAreInvalid()
{
    LogModel model;
    QAbstractItemModelTester modelTester(&model);
    model.setRecords({record("Info", "m")});
    const QModelIndex index = model.index(0);
    for (const int role :
        {int(Qt::DisplayRole), int(Qt::EditRole), int(Qt::UserRole), LogModel::searchTextRole + 1})
        QVERIFY(!model.data(index, role).isValid());
    for (const int role : {int(LogModel::dateTimeRole), int(LogModel::searchTextRole)}) {
        QVERIFY(!model.data(model.index(1), role).isValid());
        QVERIFY(!model.data(QModelIndex(), role).isValid());
    }
}

void TestLogModel::roleNamesAreTheEightNamedRoles()
{
    const QHash<int, QByteArray> names = LogModel().roleNames();
    QCOMPARE(names.size(), 8);
    const QList<QByteArray> expected {"dateTimeRole", "logTypeRole", "threadIDRole",
        "moduleNameRole", "cppFileNameRole", "cppLineRole", "messageRole", "lineRole"};
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(names.value(Qt::UserRole + 1 + i), expected[i]);
}

void TestLogModel::searchTexts()
{
    LogModel model;
    QAbstractItemModelTester modelTester(&model);
    Record upper = record("Error", "Disk Full");
    upper.dateTime = "2023/FEB/28";
    Record wide = {"T", "FEHLER", "İd", "ÄÖÜ", "Größe.CPP", "1", "Straße\nZWEI", 0};
    model.setRecords({record("Error", "Disk Full"), upper, wide});
    QCOMPARE(model.index(0).data(LogModel::searchTextRole),
        QVariant("2023/02/28 10:00:00.000zzzerrorzzz12zzznetzzzmain.cppzzzdisk full"));
    QCOMPARE(model.index(1).data(LogModel::searchTextRole).toString().left(14),
        QString("2023/FEB/28zzz"));
    QCOMPARE(model.index(2).data(LogModel::searchTextRole).toString(),
        QString("Tzzzfehlerzzz") + QString("İd").toLower() + "zzzäöüzzzgröße.cppzzzstraße\nzwei");
    QCOMPARE(model.searchTextOf(wide), model.index(2).data(LogModel::searchTextRole).toString());
}

void TestLogModel::searchTextsAreFetchedOnceAndFollowNewRecords()
{
    LogModel model;
    QAbstractItemModelTester modelTester(&model);
    model.setRecords(manyRecords(1000));
    const SearchTextStore *texts = model.fetchSearchTexts();
    QVERIFY(texts);
    QCOMPARE(texts->size(), size_t(1000));
    QVERIFY(texts->text(999).endsWith("message 999"));
    QCOMPARE(model.fetchSearchTexts(), texts);
    QCOMPARE(model.index(3).data(LogModel::searchTextRole).toString(), texts->text(3));

    model.setRecords({record("Fatal", "Replaced")});
    const SearchTextStore *replaced = model.fetchSearchTexts();
    QVERIFY(replaced);
    QCOMPARE(replaced->size(), size_t(1));
    QVERIFY(replaced->text(0).endsWith("zzzreplaced"));
}

void TestLogModel::emptyModelNeverWaits()
{
    LogModel model;
    QAbstractItemModelTester modelTester(&model);
    model.setRecords(std::vector<Record>());
    QCOMPARE(model.rowCount(), 0);
    const SearchTextStore *texts = model.fetchSearchTexts();
    QVERIFY(texts && texts->size() == 0);
    QCOMPARE(model.buildSearchTexts().size(), size_t(0));
}

void TestLogModel::failuresLeaveConsistentModelsThatSaySo()
{
    constexpr size_t count = 4099;
    failingSize = (count % blockRows) * sizeof(size_t);
    {
        LogModel model;
        QAbstractItemModelTester modelTester(&model);
        model.setRecords(manyRecords(count));
        QCOMPARE(model.fetchSearchTexts(), nullptr);
        QCOMPARE(model.fetchSearchTexts(), nullptr);
        QCOMPARE(model.searchTextsFailure(), Failure::outOfMemory);
        QVERIFY(!model.index(0).data(LogModel::searchTextRole).isValid());
        QCOMPARE(model.index(0).data(LogModel::messageRole), QVariant("message 0"));

        // The first pass runs inside the proxy's first row count; failed, it shows no row.
        LogFilterModel filter;
        QAbstractItemModelTester tester(&filter);
        QSignalSpy resetsBegun(&filter, &QAbstractItemModel::modelAboutToBeReset);
        QSignalSpy resetsEnded(&filter, &QAbstractItemModel::modelReset);
        failingMainSize = count;
        filter.setSourceModel(&model);
        QCOMPARE(filter.rowCount(), 0);
        failingMainSize = 0;
        QCOMPARE(filter.passFailure(), Failure::outOfMemory);
        QVERIFY(filter.acceptedSourceRows().empty());

        // Not even the empty text matches without search texts: the filter fails, while a
        // filter without texts keeps every record.
        filter.setContainsOnly({""});
        QCOMPARE(filter.rowCount(), 0);
        QCOMPARE(filter.passFailure(), Failure::outOfMemory);
        filter.setShowOnlyErrors(false);
        filter.setContainsAll({"message"});
        QCOMPARE(filter.rowCount(), 0);
        QCOMPARE(filter.passFailure(), Failure::outOfMemory);
        filter.setContainsOnly({});
        QCOMPARE(filter.rowCount(), int(count));
        QCOMPARE(filter.passFailure(), Failure::none);
        // One reset for the new source, one for each change, every one of them ended.
        QCOMPARE(resetsBegun.count(), 5);
        QCOMPARE(resetsEnded.count(), 5);
    }
    failingSize = 0;
}

void TestLogModel::replacingOrDestroyingWaitsForTheJob()
{
    // The job reads the records: were they freed while it runs, AddressSanitizer would
    // report a use after free here. Each job pauses before its last block until let go.
    constexpr size_t count = 200'003;
    const QString last = QString::number(count - 1);
    pausingSize = (count % blockRows) * sizeof(size_t);
    auto *model = new LogModel;
    model->setRecords(manyRecords(count, "first"));
    std::vector<Record> replacement = manyRecords(count, "second");
    jobPaused.acquire();
    jobMayGoOn.release();
    // Waits for the first job, then starts one of its own for the new records.
    model->setRecords(std::move(replacement));
    jobPaused.acquire();
    QCOMPARE(model->index(int(count) - 1).data(LogModel::messageRole), QVariant("second " + last));
    jobMayGoOn.release();
    const SearchTextStore *texts = model->fetchSearchTexts();
    QVERIFY(texts);
    QCOMPARE(texts->size(), count);
    QVERIFY(texts->text(count - 1).endsWith("zzzsecond " + last));
    // Destroyed while its job runs, the model waits for it.
    model->setRecords(manyRecords(count, "third"));
    jobPaused.acquire();
    pausingSize = 0;
    jobMayGoOn.release();
    delete model;
}

QTEST_GUILESS_MAIN(TestLogModel)
#include "tst_logmodel.moc"
