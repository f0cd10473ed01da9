#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A record of a UTF-8 file (Ch char) or a UTF-16 file in this machine's byte order (char16_t)
// read straight from its code units by the parser's rules, its fields left where they are: each
// is a view of the units, and so is the message when it is one line, as it mostly is; the lines
// of a longer one are gathered. The fields are the units of exactly the parsed record's fields
// wherever those units are valid (which is not checked here).
// Some records cannot be read so and are told: a date that is not ASCII (in UTF-8 its place
// counts characters), a record large enough for a line or its message to be cut (the parser
// then notes the cut in the message), or units that are not one record.
template<typename Ch>
class TaggedRecord
{
public:
    using View = std::basic_string_view<Ch>;

    // The header fields in record order: log type, thread, module, source file, source line.
    static constexpr size_t headerFieldCount = 5;

    // Reads the record whose units, from its header line to the end of its message block, are
    // given; false when it cannot. The views are valid while the units are, and until the next
    // read.
    bool read(View record);
    // Reads what holdsInText needs to tell of units that end at end: the date, where the
    // message's pieces stand and, only when end falls within the header line, the header's
    // fields. Less than read does, for the same records; the message is left unread.
    bool readTextPlaces(View record, size_t end);
    // Whether the units [from, to) of the record read stand within one piece of its message or,
    // when it was read whole, within one header field but the source line: the fields that a
    // record's search text holds, lower-cased.
    [[nodiscard]] bool holdsInText(size_t from, size_t to) const;

    [[nodiscard]] View dateTime() const { return date; }
    [[nodiscard]] View headerField(size_t field) const { return fields[field]; }
    [[nodiscard]] View message() const { return gathering ? View(gathered) : oneLine; }
    // Where the message stands in the units read, when it is a view of them (one line, not
    // empty); otherwise none.
    [[nodiscard]] std::optional<size_t> messageOffset() const;

private:
    enum class Reading { whole, textPlaces };

    // A piece of a message gathered from several lines: its text in the bytes, and whether a
    // line feed follows it.
    struct Piece
    {
        View text;
        bool lineEnd;
    };

    // With textPlaces, the header's fields are read only for units that end at or before end.
    bool readRecord(View record, Reading reading, size_t end = 0);
    bool readHeader(View line, bool withFields);
    // Applies one line of the message block; true when it closes the block.
    bool readBlockLine(View line);
    void gather(View text, bool lineEnd);
    void joinPieces();

    View units;
    View date;
    std::array<View, headerFieldCount> fields;
    bool fieldsRead = false;
    View oneLine;
    std::vector<Piece> pieces;
    std::basic_string<Ch> gathered;
    bool gathering = false;
};

using Utf8Record = TaggedRecord<char>;
using Utf16Record = TaggedRecord<char16_t>;
