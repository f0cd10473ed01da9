#pragma once

#include "failure.h"
#include "qarnlogparser.h"
#include "searchtextstore.h"

#include <QAbstractListModel>

#include <future>
#include <vector>

// The list model behind one open log: its records, and one lower-cased search text
// per record that is built on a worker thread as soon as the records arrive.
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

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    // The first searchTextRole request blocks until the search-text job has finished. A value
    // that cannot be made (memory ran out) is an invalid QVariant.
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

    // Direct access for the searches, which would be slow through one QVariant per row.
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

    std::vector<QarnLogParser::QarnLog> records;
    mutable SearchTextStore searchTexts;
    mutable std::future<SearchTextStore> pendingSearchTexts;
    mutable Failure searchTextsFailed = Failure::none;
};
