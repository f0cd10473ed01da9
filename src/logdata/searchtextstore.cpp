#include "searchtextstore.h"

#include "lowercaseutf8.h"
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
    QString text;
    text.reserve(qsizetype(textLength(log)));
    text.append(log.dateTime);
    for (const QString *field : loweredFields(log)) {
        text.append(QLatin1String(separator.data(), qsizetype(separator.size())));
        text.append(field->toLower());
    }
    return text;
}

// Writes the text in UTF-8 and returns its end; null when the date and time holds other
// characters than ASCII (they are kept as they are, not lower-cased), or a field cannot be
// written by lowerCase. Needs room for lowerCase's most bytes per code unit.
char *writeUtf8Text(const QarnLog &log, char *out, LowerCaseUtf8 &lowerCase)
{
    for (const QChar c : log.dateTime) {
        if (c.unicode() >= 0x80)
            return nullptr;
        *out++ = char(c.unicode());
    }
    for (const QString *field : loweredFields(log)) {
        out = appendSeparator(out);
        out = lowerCase.write(*field, out);
        if (!out)
            return nullptr;
    }
    return out;
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

// Writes the rows of one block into one byte buffer. The buffer is sized for one byte per code
// unit before anything is written, which is exact for ASCII rows: fresh memory is the dearest
// part of building texts for millions of records. Text in other scripts may need more, and
// room that stays unused is given back at the end.
class SearchTextStore::BlockWriter
{
public:
    BlockWriter(Block &block, size_t capacity)
        : block(block)
        , capacity(capacity)
    {
        block.bytes.reset(new char[capacity]);
    }

    void add(const QarnLog &log)
    {
        reserveFor(textLength(log));
        if (writeAsciiText(log, block.bytes.get() + used))
            used += textLength(log);
        else
            addUnicode(log);
        block.ends.push_back(used);
    }

    void finish()
    {
        if (used < capacity - capacity / 8)
            grow(used);
    }

private:
    void addUnicode(const QarnLog &log)
    {
        reserveFor(size_t(LowerCaseUtf8::maxBytesPerUnit) * textLength(log));
        char *const start = block.bytes.get() + used;
        if (const char *end = writeUtf8Text(log, start, lowerCase)) {
            used += size_t(end - start);
            return;
        }
        addExactly(unicodeText(log));
    }

    // The text as QString::toLower makes it, kept as UTF-8 where UTF-8 can hold it.
    void addExactly(const QString &text)
    {
        if (!text.isValidUtf16()) {
            block.wideRows.push_back(block.ends.size());
            block.wideTexts.push_back(text);
            return;
        }
        const QByteArray utf8 = text.toUtf8();
        reserveFor(size_t(utf8.size()));
        used = size_t(
            std::copy(utf8.begin(), utf8.end(), block.bytes.get() + used) - block.bytes.get());
    }

    void reserveFor(size_t bytes)
    {
        if (used + bytes > capacity)
            grow(std::max(used + bytes, capacity + capacity / 2));
    }

    void grow(size_t size)
    {
        std::unique_ptr<char[]> larger(new char[size]);
        std::copy_n(block.bytes.get(), used, larger.get());
        block.bytes = std::move(larger);
        capacity = size;
    }

    Block &block;
    size_t capacity;
    size_t used = 0;
    LowerCaseUtf8 lowerCase;
};

SearchTextStore::Block SearchTextStore::buildBlock(const QarnLog *first, size_t count)
{
    Block block;
    block.ends.reserve(count);
    size_t total = 0;
    for (size_t row = 0; row < count; ++row)
        total += textLength(first[row]);
    BlockWriter writer(block, total);
    for (size_t row = 0; row < count; ++row)
        writer.add(first[row]);
    writer.finish();
    return block;
}

QString SearchTextStore::text(size_t row) const
{
    return visit(row, [](auto text) {
        if constexpr (std::is_same_v<decltype(text), QStringView>)
            return text.toString();
        else
            return QString::fromUtf8(text.data(), qsizetype(text.size()));
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

std::string_view SearchTextStore::Block::utf8Text(size_t local) const
{
    const size_t start = local == 0 ? 0 : ends[local - 1];
    return {bytes.get() + start, ends[local] - start};
}
