#include "logtextwriter.h"

#include "parallelfor.h"

#include <QStringView>

#include <algorithm>

namespace {

using QarnLog = QarnLogParser::QarnLog;

// The four characters between "<HEAD>" and the date are never read; these stand in for them.
constexpr QStringView headMark = u"<HEAD>[00]";
// The date and time fill this many characters, so that the tags never move into them.
constexpr qsizetype dateWidth = 23;
constexpr QStringView typeOpen = u" <LN>";
constexpr QStringView typeClose = u"</LN>";
constexpr QStringView threadOpen = u" <TID>";
constexpr QStringView threadClose = u"</TID>";
constexpr QStringView moduleOpen = u" <MNAME>";
constexpr QStringView moduleClose = u"</MNAME>";
constexpr QStringView fileOpen = u" <FILE>";
constexpr QStringView fileClose = u"</FILE>";
constexpr QStringView lineOpen = u" <LINE>";
constexpr QStringView lineClose = u"</LINE>\n";
constexpr QStringView messageOpen = u"<CONT>";
constexpr QStringView messageClose = u"</CONT>\n";

constexpr qsizetype fixedLength = headMark.size() + typeOpen.size() + typeClose.size()
    + threadOpen.size() + threadClose.size() + moduleOpen.size() + moduleClose.size()
    + fileOpen.size() + fileClose.size() + lineOpen.size() + lineClose.size() + messageOpen.size()
    + messageClose.size();

qsizetype textLength(const QarnLog &record)
{
    return fixedLength + std::max(record.dateTime.size(), dateWidth) + record.logType.size()
        + record.threadID.size() + record.moduleName.size() + record.cppFileName.size()
        + record.cppLine.size() + record.message.size();
}

QChar *put(QChar *out, QStringView text)
{
    return std::copy(text.begin(), text.end(), out);
}

// Writes exactly textLength(record) characters from out on; returns the end.
QChar *write(const QarnLog &record, QChar *out)
{
    out = put(out, headMark);
    out = put(out, record.dateTime);
    out = std::fill_n(out, std::max(dateWidth - record.dateTime.size(), qsizetype(0)), u' ');
    out = put(put(put(out, typeOpen), record.logType), typeClose);
    out = put(put(put(out, threadOpen), record.threadID), threadClose);
    out = put(put(put(out, moduleOpen), record.moduleName), moduleClose);
    out = put(put(put(out, fileOpen), record.cppFileName), fileClose);
    out = put(put(put(out, lineOpen), record.cppLine), lineClose);
    return put(put(put(out, messageOpen), record.message), messageClose);
}

} // namespace

QString LogTextWriter::recordText(const QarnLog &record)
{
    QString text(textLength(record), Qt::Uninitialized);
    write(record, text.data());
    return text;
}

QString LogTextWriter::recordsText(const std::vector<QarnLog> &records,
    const std::vector<int> &rows, qsizetype begin, qsizetype end)
{
    const auto count = size_t(std::max(end - begin, qsizetype(0)));
    const auto recordAt = [&](size_t i) -> const QarnLog & {
        return records[size_t(rows[size_t(begin) + i])];
    };
    // Where each record starts, so that every core can write its share in place.
    std::vector<qsizetype> starts(count + 1, 0);
    for (size_t i = 0; i < count; ++i)
        starts[i + 1] = starts[i] + textLength(recordAt(i));
    QString text(starts[count], Qt::Uninitialized);
    QChar *const out = text.data();
    parallelFor(count, 4096, [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            write(recordAt(i), out + starts[i]);
    });
    return text;
}
