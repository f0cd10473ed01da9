#pragma once

#include "recordindex.h"

#include <QByteArray>

#include <optional>
#include <vector>

// The texts that copies put on the clipboard, for records of an index, in UTF-8: what
// LogTextWriter writes for the parsed records (or the parsed message), made straight from the
// records' bytes wherever they are UTF-8 that Utf8Record reads, with no field decoded. A huge
// record then costs its bytes and its text, not its decoded fields and a UTF-16 text besides.
// Nothing when a file no longer holds the records indexed there, or when a parsed record's
// text holds a lone surrogate (from a damaged UTF-16 file), which UTF-8 cannot carry: the
// caller then copies the text as QString.
class IndexedRecordText
{
public:
    // The records of the rows, one after another in their order.
    [[nodiscard]] static std::optional<QByteArray> records(
        const RecordIndex &index, const std::vector<int> &rows);
    // The message of the record at row.
    [[nodiscard]] static std::optional<QByteArray> message(const RecordIndex &index, size_t row);
};
