#pragma once

#include "openlogentry.h"

#include <QString>

#include <future>

// Puts records of an open log on the system clipboard in the log's own text form, so that
// pasted text reads as a log again. Many records are written on a worker thread, so that the
// window goes on while a million of them (a few hundred MB of text) are written.
class RecordClipboard
{
public:
    // The most records one copy takes, the first of the range; the text of more would not fit
    // into the memory of many machines.
    static constexpr int maxRecords = 1'000'000;

    RecordClipboard() = default;
    RecordClipboard(const RecordClipboard &) = delete;
    RecordClipboard &operator=(const RecordClipboard &) = delete;
    // Waits for a copy still being written.
    ~RecordClipboard();

    // Starts writing the visible rows from firstRow to lastRow (in either order, clamped to the
    // rows there are, at most maxRecords of them from the upper one on) on a worker thread and
    // returns how many it takes, none when their text would not fit into the memory the
    // process may still take; their text reaches the clipboard from the GUI thread's event
    // loop once it is complete (never, when memory runs out). The job owns what it copies: the
    // log may be filtered, reloaded or closed meanwhile. A new copy waits for the text of the
    // one before, so that the clipboard ends with the later one.
    int copyRecords(const OpenLogEntry &log, int firstRow, int lastRow);
    // Copies the message of one visible row as it was read, line breaks kept, through the
    // event loop as well, an indexed one read on a worker thread (never, when its file no
    // longer holds it or memory runs out); false when the row does not exist.
    bool copyMessage(const OpenLogEntry &log, int row);
    // Blocks until a copy still being written is complete.
    void waitForCopy();

private:
    std::future<void> pendingCopy;
};
