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

// The tags around the fields after the date, in the order of a record's text: the five
// header fields, then the message.
struct FieldTags
{
    QStringView open;
    QStringView close;
};
constexpr size_t fieldCount = 6;
constexpr std::array<FieldTags, fieldCount> fieldTags {{
    {u" <LN>", u"</LN>"},
    {u" <TID>", u"</TID>"},
    {u" <MNAME>", u"</MNAME>"},
    {u" <FILE>", u"</FILE>"},
    {u" <LINE>", u"</LINE>\n"},
    {u"<CONT>", u"</CONT>\n"},
}};

std::array<QStringView, fieldCount> fieldsOf(const QarnLog &record)
{
    return {record.logType, record.threadID, record.moduleName, record.cppFileName, record.cppLine,
        record.message};
}

std::array<std::string_view, fieldCount> fieldsOf(const Utf8Record &record)
{
    std::array<std::string_view, fieldCount> fields;
    for (size_t field = 0; field < Utf8Record::headerFieldCount; ++field)
        fields[field] = record.headerField(field);
    fields.back() = record.message();
    return fields;
}

constexpr qsizetype fixedLength()
{
    qsizetype length = headMark.size();
    for (const FieldTags &tags : fieldTags)
        length += tags.open.size() + tags.close.size();
    return length;
}

// In code units of the text written: UTF-16 from a parsed record, bytes from a UTF-8 one (whose
// date is ASCII, so that its width is the same).
template<typename View>
qsizetype textLength(View dateTime, const std::array<View, fieldCount> &fields)
{
    qsizetype length = fixedLength() + std::max(qsizetype(dateTime.size()), dateWidth);
    for (const View field : fields)
        length += qsizetype(field.size());
    return length;
}

template<typename Ch>
Ch *put(Ch *out, QStringView text)
{
    for (const QChar c : text)
        *out++ = Ch(c.unicode());
    return out;
}

char *put(char *out, std::string_view text)
{
    return std::copy(text.begin(), text.end(), out);
}

// Writes exactly textLength(...) code units from out on; returns the end.
template<typename Ch, typename View>
Ch *write(View dateTime, const std::array<View, fieldCount> &fields, Ch *out)
{
    out = put(out, headMark);
    out = put(out, dateTime);
    out = std::fill_n(out, std::max(dateWidth - qsizetype(dateTime.size()), qsizetype(0)), Ch(' '));
    for (size_t field = 0; field < fieldCount; ++field)
        out = put(put(put(out, fieldTags[field].open), fields[field]), fieldTags[field].close);
    return out;
}

qsizetype textLength(const QarnLog &record)
{
    return textLength(QStringView(record.dateTime), fieldsOf(record));
}

QChar *write(const QarnLog &record, QChar *out)
{
    return write(QStringView(record.dateTime), fieldsOf(record), out);
}

} // namespace

QString LogTextWriter::recordText(const QarnLog &record)
{
    QString text(textLength(record), Qt::Uninitialized);
    write(record, text.data());
    return text;
}

QByteArray LogTextWriter::recordText(const Utf8Record &record)
{
    const auto fields = fieldsOf(record);
    QByteArray text(textLength(record.dateTime(), fields), Qt::Uninitialized);
    write(record.dateTime(), fields, text.data());
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
