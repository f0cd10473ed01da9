#include "searchtextstore.h"

#include "parallelfor.h"

#include <algorithm>
#include <array>
#include <type_traits>

namespace {

using QarnLog = QarnLogParser::QarnLog;

constexpr std::string_view separator = "zzz";

// The fields that are lower-cased, in the order of the text; the date and time come first,
// as they are.
std::array<const QString *, 5> loweredFields(const QarnLog &log)
{
    return {&log.logType, &log.threadID, &log.moduleName, &log.cppFileName, &log.message};
}

// The length of the text in code units; for an ASCII text also in bytes.
size_t textLength(const QarnLog &log)
{
    size_t length = size_t(log.dateTime.size());
    for (const QString *field : loweredFields(log))
        length += separator.size() + size_t(field->size());
    return length;
}

template<typename Ch>
Ch *appendSeparator(Ch *out)
{
    return std::copy(separator.begin(), separator.end(), out);
}

// Writes the text code unit by code unit, lower-casing as ASCII, in one branch-free pass per
// field; false when the record holds any other character, whose lower case must then come
// from Unicode (and what was written is to be dropped).
template<typename Ch>
bool writeAsciiText(const QarnLog &log, Ch *out)
{
    const auto *date = reinterpret_cast<const char16_t *>(log.dateTime.constData());
    char16_t bits = 0;
    for (qsizetype i = 0; i < log.dateTime.size(); ++i) {
        bits |= date[i];
        *out++ = Ch(date[i]);
    }
    for (const QString *field : loweredFields(log)) {
        out = appendSeparator(out);
        const auto *in = reinterpret_cast<const char16_t *>(field->constData());
        for (qsizetype i = 0; i < field->size(); ++i) {
            const char16_t u = in[i];
            bits |= u;
            *out++ = Ch(u + (char16_t(u - u'A') < 26 ? 0x20 : 0));
        }
    }
    return bits < 0x80;
}

QString unicodeText(const QarnLog &log)
{
    QString text = log.dateTime;
    for (const QString *field : loweredFields(log)) {
        text.append(QLatin1String(separator.data(), qsizetype(separator.size())));
        text.append(field->toLower());
    }
    return text;
}

} // namespace

QString SearchTextStore::searchTextOf(const QarnLog &log)
{
    QString text(qsizetype(textLength(log)), Qt::Uninitialized);
    if (writeAsciiText(log, reinterpret_cast<char16_t *>(text.data())))
        return text;
    return unicodeText(log);
}

SearchTextStore SearchTextStore::build(const std::vector<QarnLog> &records)
{
    SearchTextStore store;
    store.rowCount = records.size();
    store.blocks.resize((records.size() + blockRows - 1) / blockRows);
    parallelFor(store.blocks.size(), 1, [&](size_t begin, size_t end) {
        for (size_t block = begin; block < end; ++block) {
            const size_t first = block * blockRows;
            store.blocks[block]
                = buildBlock(records.data() + first, std::min(blockRows, records.size() - first));
        }
    });
    return store;
}

// The buffer is sized exactly before anything is written: fresh memory is the dearest part
// of building texts for millions of records.
SearchTextStore::Block SearchTextStore::buildBlock(const QarnLog *first, size_t count)
{
    Block block;
    block.ends.resize(count);
    size_t total = 0;
    for (size_t row = 0; row < count; ++row)
        total += textLength(first[row]);
    block.bytes.reset(new char[total]);
    char *out = block.bytes.get();
    for (size_t row = 0; row < count; ++row) {
        if (writeAsciiText(first[row], out)) {
            out += textLength(first[row]);
        } else {
            block.wideRows.push_back(row);
            block.wideTexts.push_back(unicodeText(first[row]));
        }
        block.ends[row] = size_t(out - block.bytes.get());
    }
    return block;
}

QString SearchTextStore::text(size_t row) const
{
    return visit(row, [](auto text) {
        if constexpr (std::is_same_v<decltype(text), QStringView>)
            return text.toString();
        else
            return QString::fromLatin1(text.data(), qsizetype(text.size()));
    });
}

const QString *SearchTextStore::Block::wideText(size_t local) const
{
    if (wideRows.empty())
        return nullptr;
    const auto found = std::lower_bound(wideRows.begin(), wideRows.end(), local);
    if (found == wideRows.end() || *found != local)
        return nullptr;
    return &wideTexts[size_t(found - wideRows.begin())];
}

std::string_view SearchTextStore::Block::asciiText(size_t local) const
{
    const size_t start = local == 0 ? 0 : ends[local - 1];
    return {bytes.get() + start, ends[local] - start};
}
