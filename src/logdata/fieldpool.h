#pragma once

#include <QString>

#include <algorithm>
#include <cstring>
#include <string_view>
#include <vector>

// Hands out one shared string per distinct field value, so that the values that recur on
// nearly every record (types, threads, modules, files, lines) cost one allocation in all.
// Keyed by the characters of one kind of line: ASCII bytes (char) or UTF-16 (char16_t). Also
// makes the parser's other strings from such characters. Not safe to share between threads.
template<typename Ch>
class FieldPool
{
public:
    using View = std::basic_string_view<Ch>;

    FieldPool() = default;
    FieldPool(const FieldPool &) = delete;
    FieldPool &operator=(const FieldPool &) = delete;
    // The strings handed out take their references here, before the pool's own go: every
    // string handed out must outlive the pool or be released only after it is destroyed.
    ~FieldPool();

    // The shared string holding value; the null string for an empty value.
    [[nodiscard]] QString get(View value)
    {
        if (value.empty())
            return {};
        const size_t hash = hashOf(value);
        const size_t mask = table.size() - 1;
        for (size_t i = hash & mask;; i = (i + 1) & mask) {
            Slot &slot = table[i];
            if (slot.value.isNull())
                return insert(slot, hash, value);
            if (slot.hash == hash && holds(slot.value, value))
                return handOut(slot);
        }
    }

    // A string of its own holding text, sized to it; the null string for empty text. A copy
    // that is changed later (lower-cased, appended to) then grows from that size alone:
    // strings carved out of a shared block would carry the block's size into every copy.
    [[nodiscard]] static QString makeString(View text);

    // Appends text to `to`.
    static void append(QString &to, View text);

    // Beyond this many distinct values the pool stops growing and values are not shared.
    static constexpr size_t maxSlots = size_t(1) << 18;

private:
    struct Slot
    {
        size_t hash = 0;
        QString value;
        qsizetype handedOut = 0;
    };

    // Field values are short: a multiply-and-mix hash over eight bytes at a time is enough
    // for the table and much cheaper than a general string hash. Every load has a fixed width:
    // a copy of a variable number of bytes would stall the load that reads them back.
    static size_t hashOf(View value)
    {
        const auto *bytes = reinterpret_cast<const unsigned char *>(value.data());
        const size_t length = value.size() * sizeof(Ch);
        const quint64 seed = 0x9E3779B97F4A7C15ull ^ length;
        if (length <= sizeof(quint64))
            return size_t(mix(seed ^ shortWord(bytes, length)));
        quint64 hash = seed;
        size_t at = 0;
        for (; at + 8 <= length; at += 8)
            hash = mix(hash ^ load<quint64>(bytes + at));
        if (at < length)
            hash = mix(hash ^ load<quint64>(bytes + length - 8));
        return size_t(hash);
    }

    // The bytes of a value of at most eight bytes in one word: two values of the same length
    // give the same word only when they are equal.
    static quint64 shortWord(const unsigned char *bytes, size_t length)
    {
        if (length >= 4)
            return load<quint32>(bytes) | quint64(load<quint32>(bytes + length - 4)) << 32;
        if (length == 0)
            return 0;
        return bytes[0] | quint64(bytes[length / 2]) << 8 | quint64(bytes[length - 1]) << 16;
    }

    template<typename Word>
    static Word load(const unsigned char *bytes)
    {
        Word word;
        std::memcpy(&word, bytes, sizeof word);
        return word;
    }

    static quint64 mix(quint64 x)
    {
        x *= 0xFF51AFD7ED558CCDull;
        return x ^ (x >> 32);
    }

    // Whether the slot's string holds the value, given that their hashes are equal. The hash of
    // at most eight bytes is their word mixed reversibly, so then equal lengths suffice and
    // the string's characters, elsewhere in memory, need not be read.
    static bool holds(const QString &stored, View value)
    {
        if (stored.size() != qsizetype(value.size()))
            return false;
        if (value.size() * sizeof(Ch) <= sizeof(quint64) && sizeof(size_t) == sizeof(quint64))
            return true;
        const auto *chars = reinterpret_cast<const char16_t *>(stored.constData());
        return std::equal(
            value.begin(), value.end(), chars, [](Ch a, char16_t b) { return char16_t(a) == b; });
    }

    // A further QString on the slot's characters that has not yet taken its reference: the
    // destructor adds the references of all of them at once. An atomic increment per string
    // is one of the parser's larger costs.
    static QString handOut(Slot &slot)
    {
        ++slot.handedOut;
        QString::DataPointer &data = slot.value.data_ptr();
        return QString(QString::DataPointer(data.d_ptr(), data.data(), data.size));
    }

    QString insert(Slot &slot, size_t hash, View value);
    void grow();

    std::vector<Slot> table = std::vector<Slot>(64);
    size_t used = 0;
};

template<>
QString FieldPool<char>::makeString(View text);
template<>
QString FieldPool<char16_t>::makeString(View text);
template<>
void FieldPool<char>::append(QString &to, View text);
template<>
void FieldPool<char16_t>::append(QString &to, View text);

extern template class FieldPool<char>;
extern template class FieldPool<char16_t>;
