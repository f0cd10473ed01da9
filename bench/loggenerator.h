#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// What a generated log holds beyond plain ASCII and how its files are laid out; the defaults
// give ASCII text in UTF-8 with LF line ends, files filled up to the size asked for.
struct LogGeneratorOptions
{
    // nonAsciiShare of every nonAsciiOutOf messages carry non-ASCII text: accented Latin,
    // Cyrillic, CJK and emoji beyond the Basic Multilingual Plane.
    int nonAsciiShare = 0;
    int nonAsciiOutOf = 1;
    // Some module, thread and file values are non-ASCII.
    bool nonAsciiFields = false;
    bool crlf = false;
    // UTF-16LE with a byte-order mark instead of UTF-8.
    bool utf16 = false;
    // When above 0, every file gets exactly this many records and the size is not looked at.
    int recordsPerFile = 0;
    // One record in ten has a one-digit serial, which moves its date by one character: a
    // second shape of date, as in logs whose first field is not padded.
    bool mixedDateShapes = false;
    // When above 0, each record's time goes back by up to this many milliseconds, as threads
    // that log at once write their records a little out of order.
    int outOfOrderMs = 0;
};

// The fields of one record, written as they are.
struct LogRecordText
{
    // The two digits after <HEAD>, which no reader looks at.
    int serial = 10;
    // "2023/02/28 00:00:00.000": characters 10 to 32 of the header line.
    QByteArray dateTime;
    QByteArray logType = "Info";
    QByteArray threadID;
    QByteArray moduleName;
    QByteArray cppFileName;
    QByteArray cppLine;
    QByteArray message;
};

// Writes deterministic tagged log files for tests, benchmarks and the sample logs: records
// with realistic field values, some multi-line messages, about 3% errors, interleaving in
// time across the files of one log while each file stays sorted by time (unless told to be
// out of order). The same seed always gives the same bytes, and the options only add to the
// plain log: its records keep their types and ASCII texts, and their times but where told
// to be out of order.
class LogGenerator
{
public:
    explicit LogGenerator(quint64 seed = 1, const LogGeneratorOptions &options = {});

    // Writes about totalBytes (as stored, so UTF-16 counts twice for ASCII) of records into
    // files named "<name>_<n>.log" (n from 1 to fileCount) in folder, which must exist.
    // Returns the number of records written, or -1 when a file cannot be written.
    qint64 writeLog(const QString &folder, const QString &name, int fileCount, qint64 totalBytes);

    // One record (header line and message block, in UTF-8 with LF line ends) at the given time
    // in milliseconds since 2023-02-28 00:00:00.000.
    [[nodiscard]] QByteArray nextRecord(qint64 msSinceStart);

    [[nodiscard]] static QByteArray formatDateTime(qint64 msSinceStart);

    // One record in the tagged format, header line and message block, in UTF-8 with LF line
    // ends: the one writer of the format for the generator and the tests.
    [[nodiscard]] static QByteArray formatRecord(const LogRecordText &record);

private:
    // splitmix64: small, fast and the same on every platform.
    struct Random
    {
        quint64 state;
        [[nodiscard]] quint64 next();
        [[nodiscard]] int below(int bound);
    };

    [[nodiscard]] int below(int bound) { return random.below(bound); }
    [[nodiscard]] QByteArray message(bool isError);
    [[nodiscard]] QByteArray withNonAsciiText(QByteArray text);
    [[nodiscard]] const char *fieldValue(
        const char *ascii, const std::array<const char *, 4> &nonAscii);
    [[nodiscard]] QByteArray stored(QByteArray record) const;

    // The records' own values come from random alone; everything the options add comes from
    // variety, so that a plain log stays the same bytes whatever the options can do.
    Random random;
    Random variety;
    LogGeneratorOptions options;
};
