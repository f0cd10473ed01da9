#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A record of a UTF-8 file read straight from its bytes by the parser's rules, its fields left
// where they are: each is a view of the bytes, and so is the message when it is one line, as it
// mostly is; the lines of a longer one are gathered. The fields are the bytes of exactly the
// parsed record's fields wherever those bytes are valid UTF-8 (which is not checked here).
// Some records cannot be read so and are told: a date that is not ASCII (its place counts
// characters), a record large enough for a line or its message to be cut (the parser then
// notes the cut in the message), or bytes that are not one record.
class Utf8Record
{
public:
    // The header fields in record order: log type, thread, module, source file, source line.
    static constexpr size_t headerFieldCount = 5;

    // Reads the record whose bytes, from its header line to the end of its message block, are
    // given; false when it cannot. The views are valid while the bytes are, and until the next
    // read.
    bool read(std::string_view record);
    // Reads only the date and where the message's pieces stand, for holdsInText: less than
    // read does, for the same records. The fields and the message are left unread.
    bool readMessagePlaces(std::string_view record);
    // Whether the bytes [from, to) of the record read stand within one piece of its message or,
    // when it was read whole, within one header field but the source line: the fields that a
    // record's search text holds, lower-cased.
    [[nodiscard]] bool holdsInText(size_t from, size_t to) const;

    [[nodiscard]] std::string_view dateTime() const { return date; }
    [[nodiscard]] std::string_view headerField(size_t field) const { return fields[field]; }
    [[nodiscard]] std::string_view message() const { return gathering ? gathered : oneLine; }
    // Where the message stands in the bytes read, when it is a view of them (one line, not
    // empty); otherwise none.
    [[nodiscard]] std::optional<size_t> messageOffset() const;

private:
    enum class Reading { whole, messagePlaces };

    // A piece of a message gathered from several lines: its text in the bytes, and whether a
    // line feed follows it.
    struct Piece
    {
        std::string_view text;
        bool lineEnd;
    };

    bool readRecord(std::string_view record, Reading reading);
    bool readHeader(std::string_view line, Reading reading);
    // Applies one line of the message block; true when it closes the block.
    bool readBlockLine(std::string_view line);
    void gather(std::string_view text, bool lineEnd);
    void joinPieces();

    std::string_view bytes;
    std::string_view date;
    std::array<std::string_view, headerFieldCount> fields;
    bool fieldsRead = false;
    std::string_view oneLine;
    std::vector<Piece> pieces;
    std::string gathered;
    bool gathering = false;
};
