#include "logtextwriter.h"

#include "parallelfor.h"

#include <QStringView>

#include <algorithm>
#include <array>

namespace {

using QarnLog = QarnLogParser::QarnLog;

// The four characters between "<HEAD>" and the date are never read; these stand in for them.
constexpr QStringView headMark = u"<HEAD>[00]";
// The date and time fill this many characters, so that the tags never move into them.
constexpr qsizetype dateWidth = 23;

// The fields after the date, each between its tags, in the order of a record's text.
struct TaggedField
{
    QString QarnLog::*field;
    QStringView open;
    QStringView close;
};
constexpr std::array<TaggedField, 6> taggedFields {{
    {&QarnLog::logType, u" <LN>", u"</LN>"},
    {&QarnLog::threadID, u" <TID>", u"</TID>"},
    {&QarnLog::moduleName, u" <MNAME>", u"</MNAME>"},
    {&QarnLog::cppFileName, u" <FILE>", u"</FILE>"},
    {&QarnLog::cppLine, u" <LINE>", u"</LINE>\n"},
    {&QarnLog::message, u"<CONT>", u"</CONT>\n"},
}};

constexpr qsizetype fixedLength()
{
    qsizetype length = headMark.size();
    for (const TaggedField &tagged : taggedFields)
        length += tagged.open.size() + tagged.close.size();
    return length;
}

qsizetype textLength(const QarnLog &record)
{
    qsizetype length = fixedLength() + std::max(record.dateTime.size(), dateWidth);
    for (const TaggedField &tagged : taggedFields)
        length += (record.*tagged.field).size();
    return length;
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
    for (const TaggedField &tagged : taggedFields)
        out = put(put(put(out, tagged.open), record.*tagged.field), tagged.close);
    return out;
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
