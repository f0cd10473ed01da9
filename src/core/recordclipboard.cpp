#include "recordclipboard.h"

#include "logtextwriter.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>
#include <utility>

namespace {

void putOnClipboard(const QString &text)
{
    // Without a GUI application (a test or a tool) there is no clipboard to put it on.
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        app->clipboard()->setText(text);
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

QString RecordClipboard::recordsText(const OpenLogEntry &log, int firstRow, int lastRow)
{
    const auto [begin, end] = copiedRows(log, firstRow, lastRow);
    return LogTextWriter::recordsText(
        log.model->allRecords(), log.filter->acceptedSourceRows(), begin, end);
}

int RecordClipboard::copyRecords(const OpenLogEntry &log, int firstRow, int lastRow)
{
    QString text;
    if (failureOf([&] { text = recordsText(log, firstRow, lastRow); }) != Failure::none
        || text.isEmpty())
        return 0;
    putOnClipboard(text);
    const auto [begin, end] = copiedRows(log, firstRow, lastRow);
    return int(end - begin);
}

bool RecordClipboard::copyMessage(const OpenLogEntry &log, int row)
{
    const QarnLogParser::QarnLog *record = log.visibleRecord(row);
    if (record)
        putOnClipboard(record->message);
    return record;
}
