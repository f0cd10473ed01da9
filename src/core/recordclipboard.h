#pragma once

#include "openlogentry.h"

#include <QString>

// Puts records of an open log on the system clipboard in the log's own text form, so that
// pasted text reads as a log again.
class RecordClipboard
{
public:
    // The most records one copy takes: their text is built on the GUI thread, and a million
    // records (a few hundred MB of text) take a moment there. Larger ranges are cut here.
    static constexpr int maxRecords = 1'000'000;

    // The text of the visible rows from firstRow to lastRow (in either order, clamped to the
    // rows there are), at most maxRecords of them from the upper one on. Blocks until the
    // text is complete; throws std::bad_alloc when it does not fit into memory.
    [[nodiscard]] static QString recordsText(const OpenLogEntry &log, int firstRow, int lastRow);
    // Copies those records; returns how many were copied, 0 when none (or memory ran out).
    static int copyRecords(const OpenLogEntry &log, int firstRow, int lastRow);
    // Copies the message of one visible row as it was read, line breaks kept; false when the
    // row does not exist.
    static bool copyMessage(const OpenLogEntry &log, int row);
};
