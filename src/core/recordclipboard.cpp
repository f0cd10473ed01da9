#include "recordclipboard.h"

#include "indexedrecordtext.h"
#include "logtextwriter.h"
#include "parallelfor.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <numeric>
#include <utility>

namespace {

// Puts UTF-8 text on the clipboard from the GUI thread's event loop, after whatever an earlier
// copy has sent there. Safe on any thread. The bytes are made on the calling thread, so that
// the GUI thread converts none of millions of characters, and the clipboard holds one byte a
// character where it can.
void sendUtf8ToClipboard(const QByteArray &bytes)
{
    // Without a GUI application (a test or a tool) there is no clipboard to put it on.
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [app, bytes] {
            auto *data = new QMimeData;
            data->setData(QStringLiteral("text/plain"), bytes);
            app->clipboard()->setMimeData(data);
        },
        Qt::QueuedConnection);
}

// The same for text, let go once its bytes are made. A text that UTF-8 cannot carry as it is
// (a lone surrogate of a damaged UTF-16 file) goes as text.
void sendToClipboard(QString text)
{
    if (QStringView(text).isValidUtf16()) {
        sendUtf8ToClipboard(std::exchange(text, QString()).toUtf8());
        return;
    }
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        QMetaObject::invokeMethod(
            app, [app, text] { app->clipboard()->setText(text); }, Qt::QueuedConnection);
}

// The positions [first, second) of the visible rows that a copy of the two rows takes.
std::pair<qsizetype, qsizetype> copiedRows(const OpenLogEntry &log, int firstRow, int lastRow)
{
    const auto count = qsizetype(log.filter->acceptedSourceRows().size());
    const qsizetype begin = std::clamp(qsizetype(std::min(firstRow, lastRow)), qsizetype(0), count);
    const qsizetype end = std::clamp(qsizetype(std::max(firstRow, lastRow)) + 1, begin, count);
    return {begin, std::min(end, begin + RecordClipboard::maxRecords)};
}

// Read and written a window of rows at a time, so that only that many records are decoded at
// once.
QString indexedRecordsText(const RecordIndex &index, const std::vector<int> &rows)
{
    constexpr size_t windowRows = 65'536;
    QString text;
    for (size_t first = 0; first < rows.size(); first += windowRows) {
        const size_t count = std::min(windowRows, rows.size() - first);
        const auto records = index.records(rows.data() + first, count);
        if (!records)
            throw FileChangedError();
        std::vector<int> all(count);
        std::iota(all.begin(), all.end(), 0);
        text += LogTextWriter::recordsText(*records, all, 0, qsizetype(count));
    }
    return text;
}

// A copy's text is UTF-16, up to two bytes for each byte of the records in their files; a
// window of decoded records comes on top while it grows (a copy of a million generated records
// took 2.6 times their bytes), and once it is complete its UTF-8 form, at most one and a half
// bytes for each of the records' bytes, while the text is let go.
qint64 bytesToCopy(const RecordIndex &index, const std::vector<int> &rows)
{
    qint64 bytes = 0;
    for (const int row : rows)
        bytes += index.byteSize(size_t(row));
    return 4 * bytes;
}

} // namespace

RecordClipboard::~RecordClipboard()
{
    waitForCopy();
}

int RecordClipboard::copyRecords(const OpenLogEntry &log, int firstRow, int lastRow)
{
    waitForCopy();
    const auto [begin, end] = copiedRows(log, firstRow, lastRow);
    if (begin == end)
        return 0;
    // Taken here, where the filter may bring its rows up to date. The job owns what it reads,
    // so that the log may change or close meanwhile: the rows and a share of the index, or
    // copies of records held in memory (their texts are shared, not copied).
    std::vector<int> rows(log.filter->acceptedSourceRows().begin() + begin,
        log.filter->acceptedSourceRows().begin() + end);
    std::vector<QarnLogParser::QarnLog> records;
    if (!log.model->recordIndex()) {
        records.reserve(rows.size());
        for (int &row : rows) {
            records.push_back(log.model->allRecords()[size_t(row)]);
            row = int(records.size() - 1);
        }
    }
    // Under a limit that the kernel enforces, running out of memory would end the program.
    const std::shared_ptr<const RecordIndex> &index = log.model->recordIndex();
    if (const auto free = log.model->freeMemory();
        index && free && *free < bytesToCopy(*index, rows))
        return 0;
    const auto copy = [records = std::move(records), index, rows = std::move(rows)] {
        // Text that does not fit into memory, or records whose file changed, are not copied.
        (void)failureOf([&] {
            if (!index)
                sendToClipboard(
                    LogTextWriter::recordsText(records, rows, 0, qsizetype(rows.size())));
            else if (const auto utf8 = IndexedRecordText::records(*index, rows))
                sendUtf8ToClipboard(*utf8);
            else
                sendToClipboard(indexedRecordsText(*index, rows));
        });
    };
    pendingCopy = runInBackground(copy);
    return int(end - begin);
}

void RecordClipboard::waitForCopy()
{
    if (pendingCopy.valid())
        pendingCopy.get();
}

// An indexed record is read on a worker: a message may take megabytes.
bool RecordClipboard::copyMessage(const OpenLogEntry &log, int row)
{
    const std::vector<int> &rows = log.filter->acceptedSourceRows();
    if (row < 0 || size_t(row) >= rows.size())
        return false;
    const auto source = size_t(rows[size_t(row)]);
    // After the text of an earlier copy, which would otherwise replace this one.
    waitForCopy();
    const std::shared_ptr<const RecordIndex> &index = log.model->recordIndex();
    if (!index) {
        sendToClipboard(log.model->allRecords()[source].message);
        return true;
    }
    pendingCopy = runInBackground([index, source] {
        (void)failureOf([&] {
            if (const auto utf8 = IndexedRecordText::message(*index, source))
                sendUtf8ToClipboard(*utf8);
            else if (auto record = index->record(source))
                sendToClipboard(std::move(record->message));
        });
    });
    return true;
}
