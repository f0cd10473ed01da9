// A followed log must end up with exactly the records that opening it anew gives, however its
// files grew, were cut, replaced, joined or removed on the way, and each update must keep the
// rows shown before on the same records.
#include "kestrunecore.h"
#include "logfiltermodel.h"
#include "logfollower.h"
#include "logmodel.h"
#include "openlog.h"
#include "recordindexupdate.h"
#include "testlogs.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool writeBytes(const QString &path, const QByteArray &bytes, QIODevice::OpenMode mode)
{
    QFile file(path);
    return file.open(mode) && file.write(bytes) == bytes.size();
}

QStringList pathsOf(const QList<QFileInfo> &files)
{
    QStringList paths;
    for (const QFileInfo &file : files)
        paths.append(file.absoluteFilePath());
    return paths;
}

// The first difference between the records of two indexes, or an empty text.
QString differenceBetween(const RecordIndex &index, const RecordIndex &expected)
{
    if (index.size() != expected.size())
        return QStringLiteral("%1 records instead of %2").arg(index.size()).arg(expected.size());
    for (size_t row = 0; row < index.size(); ++row) {
        const auto got = index.record(row);
        const auto wanted = expected.record(row);
        if (!got || !wanted || !sameRecord(*got, *wanted)
            || index.isError(row) != expected.isError(row))
            return QStringLiteral("record %1 differs").arg(row);
    }
    return {};
}

QByteArray recordText(const QString &date, const QString &message, const QString &type = "Info")
{
    return QStringLiteral("<HEAD>[1]%1 <LN>%2</LN> <TID>7</TID> <MNAME>M</MNAME> "
                          "<CPPFN>a.cpp</CPPFN> <CPPLN>1</CPPLN>\n<CONT>%3</CONT>\n")
        .arg(date, type, message)
        .toUtf8();
}

QString messageAt(const RecordIndex &index, size_t row)
{
    const auto record = index.record(row);
    return record ? record->message : QStringLiteral("(unreadable)");
}

} // namespace

class TestLogFollower : public QObject
{
    Q_OBJECT

private slots:
    // Files written in three pieces, cut anywhere (inside a line, a header, a UTF-16 unit, a
    // byte-order mark, between CR and LF), and indexed after each piece.
    void growingFilesEndAsOpenedAnew()
    {
        QRandomGenerator random(41);
        for (int round = 0; round < 40; ++round) {
            QTemporaryDir folder;
            QList<QFileInfo> files;
            std::vector<QByteArray> contents;
            for (int i = 0; i < 3; ++i) {
                files.append(QFileInfo(folder.filePath(QStringLiteral("g_%1.log").arg(i))));
                contents.push_back(randomLogFile(random));
                QVERIFY(writeBytes(files.last().filePath(), {}, QIODevice::WriteOnly));
            }
            auto index = std::make_shared<const RecordIndex>(indexOf(files));
            std::vector<qsizetype> written(contents.size(), 0);
            for (int step = 0; step < 3; ++step) {
                for (size_t i = 0; i < contents.size(); ++i) {
                    const qsizetype size = contents[i].size();
                    const qsizetype upTo
                        = step == 2 ? size : written[i] + random.bounded(size - written[i] + 1);
                    QVERIFY(writeBytes(files[qsizetype(i)].filePath(),
                        contents[i].mid(written[i], upTo - written[i]), QIODevice::Append));
                    written[i] = upTo;
                }
                const RecordIndexUpdate update(index, pathsOf(files));
                index = update.updated();
                QVERIFY(update.replacedFiles.isEmpty());
                const QString difference = differenceBetween(*index, indexOf(files));
                QVERIFY2(difference.isEmpty(),
                    qPrintable(QStringLiteral("round %1, step %2: %3")
                                   .arg(round)
                                   .arg(step)
                                   .arg(difference)));
            }
        }
    }

    // One file's clock runs behind the other's: its new records land between old ones, which
    // move down and keep their records; a partly written record is shown whole once complete.
    void rowsKeepTheirRecords()
    {
        QTemporaryDir folder;
        const QString a = folder.filePath(QStringLiteral("s_a.log"));
        const QString b = folder.filePath(QStringLiteral("s_b.log"));
        QVERIFY(writeBytes(a, recordText("2024/01/01 10:00:00", "a1"), QIODevice::WriteOnly));
        QVERIFY(writeBytes(b,
            recordText("2024/01/01 10:00:05", "b1") + recordText("2024/01/01 10:00:09", "b2"),
            QIODevice::WriteOnly));
        auto index = std::make_shared<const RecordIndex>(indexOf({QFileInfo(a), QFileInfo(b)}));
        QVERIFY(writeBytes(a, recordText("2024/01/01 10:00:07", "a2").left(90), QIODevice::Append));
        const RecordIndexUpdate partial(index, {a, b});
        QCOMPARE(partial.updated()->size(), size_t(4));
        QCOMPARE(partial.updated()->size(), index->size() + 1);
        QVERIFY(writeBytes(a, recordText("2024/01/01 10:00:07", "a2").mid(90), QIODevice::Append));
        const RecordIndexUpdate complete(partial.updated(), {a, b});
        QCOMPARE(complete.updated()->size(), partial.updated()->size());
        const RecordIndex &after = *complete.updated();
        QCOMPARE(messageAt(after, 2), QStringLiteral("a2"));
        QCOMPARE(messageAt(after, 3), QStringLiteral("b2"));
        for (size_t row = 0; row < index->size(); ++row)
            QCOMPARE(messageAt(after, partial.rowAfter(row)), messageAt(*index, row));
        // The partly written record was read again, and nothing of the other file.
        QCOMPARE(complete.firstReadRecords(), (std::vector<size_t> {1, 2}));
    }

    // Cut to nothing, put in place of another file, gone, and new: each is told, and the
    // records follow the files, those of a file that is gone staying readable.
    void rotationsAreFollowed()
    {
        QTemporaryDir folder;
        const QString one = folder.filePath(QStringLiteral("r_1.log"));
        const QString two = folder.filePath(QStringLiteral("r_2.log"));
        QVERIFY(writeBytes(one, recordText("2024/01/01 10:00:01", "one"), QIODevice::WriteOnly));
        QVERIFY(writeBytes(two, recordText("2024/01/01 10:00:02", "two"), QIODevice::WriteOnly));
        auto index = std::make_shared<const RecordIndex>(indexOf({QFileInfo(one), QFileInfo(two)}));

        QVERIFY(writeBytes(one, {}, QIODevice::WriteOnly));
        const RecordIndexUpdate truncated(index, {one, two});
        QCOMPARE(truncated.replacedFiles, QStringList {one});
        QCOMPARE(truncated.updated()->size(), size_t(1));

        const QString fresh = folder.filePath(QStringLiteral("fresh"));
        QVERIFY(
            writeBytes(fresh, recordText("2024/01/01 10:00:03", "renamed"), QIODevice::WriteOnly));
        QVERIFY(QFile::remove(one) && QFile::rename(fresh, one));
        QVERIFY(QFile::remove(two));
        QVERIFY(writeBytes(folder.filePath(QStringLiteral("r_3.log")),
            recordText("2024/01/01 10:00:00", "three"), QIODevice::WriteOnly));
        QVERIFY(writeBytes(folder.filePath(QStringLiteral("other_1.log")),
            recordText("2024/01/01 10:00:00", "other"), QIODevice::WriteOnly));
        const QStringList now
            = LogFollower::filesNow(folder.path(), QStringLiteral("r"), *truncated.updated());
        const RecordIndexUpdate rotated(truncated.updated(), now);
        QCOMPARE(rotated.replacedFiles, QStringList {one});
        QCOMPARE(rotated.goneFiles, QStringList {two});
        QCOMPARE(rotated.addedFiles,
            QStringList {QFileInfo(folder.filePath("r_3.log")).absoluteFilePath()});
        const RecordIndex &after = *rotated.updated();
        QCOMPARE(after.size(), size_t(3));
        QCOMPARE(messageAt(after, 0), QStringLiteral("three"));
        QCOMPARE(messageAt(after, 1), QStringLiteral("two"));
        QCOMPARE(messageAt(after, 2), QStringLiteral("renamed"));
    }

    // The rows of an update's filter pass are those of a pass over the whole updated log.
    void updatedPassMatchesAWholePass()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("p_1.log"));
        QVERIFY(writeBytes(path,
            recordText("2024/01/01 10:00:01", "disk full", "Error")
                + recordText("2024/01/01 10:00:02", "queue full"),
            QIODevice::WriteOnly));
        auto index = std::make_shared<const RecordIndex>(indexOf({QFileInfo(path)}));
        const QVariantList texts {QStringLiteral("FULL")};
        const DateRange range(QStringLiteral("2024/01/01 10:00:01"), QString());
        for (const auto &[onlyErrors, bounded] :
            {std::pair(false, false), std::pair(true, false), std::pair(false, true)}) {
            LogModel before;
            before.setIndex(index);
            const DateRange used = bounded ? range : DateRange();
            LogFilterModel shown;
            shown.setSourceModel(&before);
            shown.installPass(LogFilterModel::computePass(before, texts, true, onlyErrors, used));
            const LogFilterModel::Pass old = shown.currentPass();
            QVERIFY(writeBytes(path,
                recordText("2024/01/01 10:00:00", "Full stop", "error")
                    + recordText("2024/01/01 10:00:03", "empty")
                    + recordText("2024/01/01 10:00:04", "full again", "Error"),
                QIODevice::Append));
            const RecordIndexUpdate update(index, {path});
            index = update.updated();
            LogModel after;
            after.setIndex(index);
            LogFilterModel continued;
            continued.setSourceModel(&after);
            QVERIFY(continued.continuePass(shown, LogFilterModel::updatedPass(old, update)));
            QCOMPARE(continued.acceptedSourceRows(),
                LogFilterModel::computePass(after, texts, true, onlyErrors, used).acceptedRows);
            QCOMPARE(continued.passFailure(), Failure::none);
        }
    }

    // Through the core, under a filter: the appended records that pass it are shown, the log
    // says it follows, and a row shown before still shows its record.
    void followedLogShowsAppendedRecords()
    {
        QTemporaryDir folder;
        const QString path = folder.filePath(QStringLiteral("f_1.log"));
        QVERIFY(writeBytes(path,
            recordText("2024/01/01 10:00:01", "keep one")
                + recordText("2024/01/01 10:00:05", "keep five"),
            QIODevice::WriteOnly));
        KestruneCore core;
        auto *log = qobject_cast<OpenLog *>(core.openLogAsync(folder.path(), QStringLiteral("f")));
        QTRY_COMPARE(log->stateName(), QStringLiteral("ready"));
        core.filterLogsAsync({QStringLiteral("keep")}, false, false);
        QTRY_VERIFY(!log->isFilterPending());
        core.followLog(folder.path(), QStringLiteral("f"), true);
        QVERIFY(core.isFollowing(folder.path(), QStringLiteral("f")));
        QSignalSpy arrived(log, &OpenLog::recordsArrived);
        QVERIFY(writeBytes(path,
            recordText("2024/01/01 10:00:03", "keep three")
                + recordText("2024/01/01 10:00:04", "drop four"),
            QIODevice::Append));
        QTRY_COMPARE(log->totalRecords(), 4);
        QCOMPARE(log->shownRecords(), 3);
        QVERIFY(!arrived.isEmpty());
        QVERIFY(log->statusText().contains(QStringLiteral("following")));
        QCOMPARE(log->rowAfterUpdate(1), 2);
        QCOMPARE(core.recordAt(folder.path(), QStringLiteral("f"), 2).value("messageRole"),
            QVariant("keep five"));
        core.followLog(folder.path(), QStringLiteral("f"), false);
        QVERIFY(!log->statusText().contains(QStringLiteral("following")));
    }
};

QTEST_GUILESS_MAIN(TestLogFollower)
#include "tst_logfollower.moc"
