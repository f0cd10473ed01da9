#pragma once

#include <QByteArray>
#include <QString>

// Writes deterministic tagged log files for tests, benchmarks and the sample logs: records
// with realistic field values, some multi-line messages, about 3% errors, interleaving in
// time across the files of one log while each file stays sorted by time. The same seed
// always gives the same bytes.
class LogGenerator
{
public:
    explicit LogGenerator(quint64 seed = 1);

    // Writes about totalBytes of records into files named "<name>_<n>.log" (n from 1 to
    // fileCount) in folder, which must exist. Returns the number of records written, or -1
    // when a file cannot be written.
    qint64 writeLog(const QString &folder, const QString &name, int fileCount, qint64 totalBytes);

    // One record (header line and message block) at the given time in milliseconds since
    // 2023-02-28 00:00:00.000.
    [[nodiscard]] QByteArray nextRecord(qint64 msSinceStart);

    [[nodiscard]] static QByteArray formatDateTime(qint64 msSinceStart);

private:
    [[nodiscard]] quint64 next();
    [[nodiscard]] int below(int bound);
    [[nodiscard]] QByteArray message(bool isError);

    quint64 state;
};
