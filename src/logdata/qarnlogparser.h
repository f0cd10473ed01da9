#pragma once

#include <QString>

#include <vector>

class QIODevice;

// Reads one tagged log file into its records, in the order of their header lines.
class QarnLogParser
{
public:
    // One parsed record. Fields keep exactly the characters cut from the file.
    struct QarnLog
    {
        QString dateTime;
        QString logType;
        QString threadID;
        QString moduleName;
        QString cppFileName;
        QString cppLine;
        QString message;
        qint32 line = 0;
    };

    // What a parse met beyond the records themselves.
    struct ParseNotes
    {
        // Lines longer than the parser keeps, cut to that length.
        qsizetype cutLines = 0;
    };

    // Reads from the device's current position to its end and returns the records.
    // Takes ownership of the device and deletes it before returning, on every path,
    // also when an exception leaves the parse. Safe to run on several threads at once
    // for different devices.
    [[nodiscard]] static std::vector<QarnLog> parse(QIODevice *device);
    // The same, also telling what the parse met on the way.
    [[nodiscard]] static std::vector<QarnLog> parse(QIODevice *device, ParseNotes &notes);
};
