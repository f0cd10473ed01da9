#include "utf8searchtext.h"

#include <algorithm>

namespace {

constexpr std::string_view separator = "zzz";

} // namespace

bool Utf8SearchText::write(std::string_view bytes)
{
    if (!record.read(bytes) || !writeFieldsBeforeMessage() || !appendLowered(record.message()))
        return false;
    written = {buffer.get(), size};
    return true;
}

// A message of one line stands after the header line whose fields make the text before it, so
// that text mostly fits ahead of it.
bool Utf8SearchText::writeOver(char *bytes, size_t length)
{
    if (!record.read({bytes, length}))
        return false;
    const std::string_view message = record.message();
    const std::optional<size_t> offset = record.messageOffset();
    if (!offset || !lowerCase.lowersInPlace(message))
        return write({bytes, length});
    if (!writeFieldsBeforeMessage())
        return false;
    if (size > *offset)
        return write({bytes, length});
    char *const start = bytes + *offset - size;
    char *const end = lowerCase.write(message, bytes + *offset);
    std::copy_n(buffer.get(), size, start);
    written = {start, size_t(end - start)};
    return true;
}

// The date and time as it is, then the fields lower-cased, each after a separator; the source
// line is not in the text.
bool Utf8SearchText::writeFieldsBeforeMessage()
{
    size = 0;
    written = {};
    append(record.dateTime());
    dateTimeSize = size;
    for (size_t field = 0; field + 1 < Utf8Record::headerFieldCount; ++field) {
        append(separator);
        if (!appendLowered(record.headerField(field)))
            return false;
    }
    append(separator);
    return true;
}

bool Utf8SearchText::appendLowered(std::string_view utf8)
{
    reserve(LowerCaseUtf8::maxGrowth * utf8.size());
    char *end = lowerCase.write(utf8, buffer.get() + size);
    if (!end)
        return false;
    size = size_t(end - buffer.get());
    return true;
}

void Utf8SearchText::append(std::string_view ascii)
{
    reserve(ascii.size());
    std::copy(ascii.begin(), ascii.end(), buffer.get() + size);
    size += ascii.size();
}

// Left uninitialised beyond the text: room that is never written is never touched.
void Utf8SearchText::reserve(size_t more)
{
    if (size + more <= capacity)
        return;
    capacity = std::max(size + more, 2 * capacity);
    std::unique_ptr<char[]> grown(new char[capacity]);
    std::copy_n(buffer.get(), size, grown.get());
    buffer = std::move(grown);
}
