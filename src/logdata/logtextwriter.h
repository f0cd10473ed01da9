#pragma once

#include "qarnlogparser.h"
#include "taggedrecord.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Writes records back in the tagged text form they were read from: a header line with the
// date and time at its fixed place and the five tagged fields, then the message block. The
// parser reads such text back into the same records, so copied records paste as a log.
class LogTextWriter
{
public:
    [[nodiscard]] static QString recordText(const QarnLogParser::QarnLog &record);
    // The same text in UTF-8 for a record read from a UTF-8 file's bytes, whose fields are
    // valid UTF-8.
    [[nodiscard]] static QByteArray recordText(const Utf8Record &record);
    // The records records[rows[i]] for i in [begin, end), one after another, written by all
    // cores into one string that is sized once. Blocks until the text is complete; throws
    // std::bad_alloc when it does not fit into memory.
    [[nodiscard]] static QString recordsText(const std::vector<QarnLogParser::QarnLog> &records,
        const std::vector<int> &rows, qsizetype begin, qsizetype end);
};
