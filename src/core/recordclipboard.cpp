#include "recordclipboard.h"

#include "logtextwriter.h"
#include "parallelfor.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>
#include <utility>

namespace {

// Puts text on the clipboard from the GUI thread's event loop, after whatever an earlier copy
// has sent there. Safe on any thread.
void sendToClipboard(const QString &text)
{
    // Without a GUI application (a test or a tool) there is no clipboard to put it on.
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        QMetaObject::invokeMethod(
            app, [app, text] { app->clipboard()->setText(text); }, Qt::QueuedConnection);
    }
}

// The positions [first, second) of the visible rows that a copy of the two rows takes.
std::pair<qsizetype, qsizetype> copiedRows(const OpenLogEntry &log, int firstRow, int lastRow)
{
    const auto count = qsizetype(log.filter->acceptedSourceRows().size());
    const qsizetype begin = std::clamp(qsizetype(std::min(firstRow, lastRow)), qsizetype(0), count);
    const qsizetype end = std::clamp(qsizetype(std::max(firstRow, lastRow)) + 1, begin, count);
    return {begin, std::min(end, begin + RecordClipboard::maxRecords)};
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
    // Taken here, where the filter may bring its rows up to date; the job only reads. Both
    // live in the models, which stay where they are while the entry itself may move.
    const std::vector<QarnLogParser::QarnLog> *records = &log.model->allRecords();
    const std::vector<int> *rows = &log.filter->acceptedSourceRows();
    const auto copy = [records, rows, begin = begin, end = end] {
        // Text that does not fit into memory is not copied at all.
        (void)failureOf(
            [&] { sendToClipboard(LogTextWriter::recordsText(*records, *rows, begin, end)); });
    };
    pendingCopy = runInBackground(copy);
    return int(end - begin);
}

void RecordClipboard::waitForCopy()
{
    if (pendingCopy.valid())
        pendingCopy.get();
}

bool RecordClipboard::copyMessage(const OpenLogEntry &log, int row)
{
    const QarnLogParser::QarnLog *record = log.visibleRecord(row);
    if (!record)
        return false;
    // After the text of an earlier copy, which would otherwise replace this one.
    waitForCopy();
    sendToClipboard(record->message);
    return true;
}
