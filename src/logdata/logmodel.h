#pragma once

#include "failure.h"
#include "qarnlogparser.h"
#include "recordindex.h"
#include "searchtextstore.h"

#include <QAbstractListModel>
#include <QCache>
#include <QMutex>

#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <vector>

// The list model behind one open log. Its records are either held in memory, with one
// lower-cased search text per record built on a worker thread as soon as they arrive, or
// indexed in their files and read from there when asked for, without any search text kept.
class LogModel : public QAbstractListModel
{
    Q_OBJECT

public:
    enum Roles {
        dateTimeRole = Qt::UserRole + 1,
        logTypeRole,
        threadIDRole,
        moduleNameRole,
        cppFileNameRole,
        cppLineRole,
        messageRole,
        lineRole,
        searchTextRole,
    };

    explicit LogModel(QObject *parent = nullptr);
    // Waits for a search-text job that is still running.
    ~LogModel() override;

    // Replaces the records and starts the search-text job; returns without waiting for it.
    void setRecords(const std::vector<QarnLogParser::QarnLog> &records);
    void setRecords(std::vector<QarnLogParser::QarnLog> &&records);

    // Shows the indexed records instead, which stay in their files.
    void setIndex(std::shared_ptr<const RecordIndex> index);
    // The index that the records come from, or null for records held in memory.
    [[nodiscard]] const std::shared_ptr<const RecordIndex> &recordIndex() const { return indexed; }

    // Tells the work on this log how many bytes the process may still take (nothing: no limit
    // known), so that a filter pass that would not fit fails instead of being killed. Without
    // a source set, no limit is known. The source is called from any thread.
    using FreeMemory = std::function<std::optional<qint64>()>;
    void setFreeMemory(FreeMemory source) { freeMemorySource = std::move(source); }
    [[nodiscard]] std::optional<qint64> freeMemory() const
    {
        return freeMemorySource ? freeMemorySource() : std::nullopt;
    }

    // An indexed record of more bytes than this is read whole only for recordAt, messageRole
    // and searchTextRole; the other roles and the preview read its start alone, so that a
    // drawn row neither reads nor keeps a message of megabytes.
    static constexpr qint64 headBytes = 64 << 10;

    // The record at row, from either backing; nothing when its file no longer holds it.
    [[nodiscard]] std::optional<QarnLogParser::QarnLog> recordAt(size_t row) const;
    // The record at row with its message cut short after headBytes of an indexed record.
    [[nodiscard]] std::optional<QarnLogParser::QarnLog> recordHeadAt(size_t row) const;
    // The record at row with only its first maxBytes (a multiple of four) read from an indexed
    // file; not kept for later reads.
    [[nodiscard]] std::optional<QarnLogParser::QarnLog> recordStart(
        size_t row, qint64 maxBytes) const;
    // The bytes the record at row takes in its file; 0 for records held in memory.
    [[nodiscard]] qint64 recordBytes(size_t row) const;
    [[nodiscard]] QString dateTimeAt(size_t row) const;
    // The start of the row's message as messageRole gives it, at most maxChars characters: a
    // row shows no more, and simplifying or laying out a message of megabytes for it would
    // hold the window up.
    [[nodiscard]] QString messagePreview(size_t row, qsizetype maxChars) const;
    [[nodiscard]] size_t recordCount() const;
    // The memory of an indexed log's index; 0 for records held in memory.
    [[nodiscard]] size_t memoryBytes() const { return indexed ? indexed->memoryBytes() : 0; }

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // The first searchTextRole request blocks until the search-text job has finished. A value
    // that cannot be made (memory ran out) is an invalid QVariant.
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    // Direct access for the searches, which would be slow through one QVariant per row; empty
    // for indexed records.
    [[nodiscard]] const std::vector<QarnLogParser::QarnLog> &allRecords() const { return records; }
    // The search texts of every row, waiting for the background job on first use, exactly
    // like the first searchTextRole request. Null when the job failed: then no text can be
    // searched for, and searchTextsFailure says why.
    [[nodiscard]] const SearchTextStore *fetchSearchTexts() const;
    [[nodiscard]] Failure searchTextsFailure() const { return searchTextsFailed; }
    // Whether fetchSearchTexts would return without waiting for the background job.
    [[nodiscard]] bool searchTextsReady() const;

    [[nodiscard]] SearchTextStore buildSearchTexts() const;
    [[nodiscard]] QString searchTextOf(const QarnLogParser::QarnLog &log) const;

private:
    [[nodiscard]] QVariant field(size_t row, int role) const;
    [[nodiscard]] QVariant indexedField(size_t row, int role) const;
    [[nodiscard]] static QVariant fieldOf(const QarnLogParser::QarnLog &log, int role);
    void clearReadRecords();
    [[nodiscard]] std::optional<QarnLogParser::QarnLog> cachedRecord(size_t row) const;

    std::vector<QarnLogParser::QarnLog> records;
    mutable SearchTextStore searchTexts;
    mutable std::future<SearchTextStore> pendingSearchTexts;
    mutable Failure searchTextsFailed = Failure::none;
    std::shared_ptr<const RecordIndex> indexed;
    FreeMemory freeMemorySource;
    // The indexed records read last, of a long one its head alone: a drawn row asks for each of
    // its roles.
    mutable QCache<size_t, QarnLogParser::QarnLog> readRecords {4096};
    mutable QMutex readRecordsLock;
};
