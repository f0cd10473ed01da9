#include "utf8searchtext.h"

#include <algorithm>

namespace {

constexpr std::string_view separator = "zzz";

} // namespace

// The date and time as it is, then the fields lower-cased, each after a separator; the source
// line is not in the text.
bool Utf8SearchText::write(std::string_view bytes)
{
    size = dateTimeSize = 0;
    if (!record.read(bytes))
        return false;
    append(record.dateTime());
    dateTimeSize = size;
    for (size_t field = 0; field + 1 < Utf8Record::headerFieldCount; ++field) {
        append(separator);
        if (!appendLowered(record.headerField(field)))
            return false;
    }
    append(separator);
    return appendLowered(record.message());
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
