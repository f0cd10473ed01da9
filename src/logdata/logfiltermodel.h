#pragma once

#include "daterange.h"
#include "failure.h"

#include <QSortFilterProxyModel>
#include <QStringList>
#include <QVariantList>

#include <vector>

class LogModel;
class RecordIndex;
class RecordIndexUpdate;

// The filtering proxy in front of one log's record model: substring filters combined as
// contains-only or contains-all, an errors-only switch and a range of dates. A pass that fails
// (memory ran out, or the log's search texts could not be built) shows no row at all, an empty list
// that passFailure tells apart from a filter that matches nothing; no exception leaves the model.
class LogFilterModel : public QSortFilterProxyModel
{
public:
    explicit LogFilterModel(QObject *parent = nullptr);
    ~LogFilterModel() override;

    // Each setter re-filters every row in one pass before it returns and ends with one model
    // reset, also when the change or the pass fails. The first text filter of a log waits for
    // that log's search texts.
    void setContainsOnly(const QVariantList &filters);
    void setContainsAll(const QVariantList &filters);
    void setShowOnlyErrors(bool onlyErrors);
    // Keeps the texts, their mode and the errors-only switch as they are.
    void setDateRange(const DateRange &range);
    // All the settings in one pass; a model that already has them, after a pass that ran, is
    // left as it is.
    void setFilter(
        const QVariantList &filters, bool anyOf, bool onlyErrors, const DateRange &range = {});

    // Whether a setFilter with these settings would leave the rows as they are.
    [[nodiscard]] bool hasSettings(const QVariantList &filters, bool anyOf, bool onlyErrors,
        const DateRange &range = {}) const;

    // A pass computed apart from any filter model, for installPass: the settings it ran with,
    // its rows and how it failed.
    struct Pass
    {
        QStringList filters;
        bool anyOf = true;
        bool onlyErrors = false;
        DateRange range;
        std::vector<char> rowPasses;
        std::vector<int> acceptedRows;
        Failure failure = Failure::none;
        // For a pass that continues another (updatedPass): the rows before this one are the
        // other's, and rowPasses holds the rows from here on (acceptedRows those that pass).
        size_t firstRow = 0;
    };
    // The pass that setFilter would run over a record model, as a pure function of its
    // records and search texts: safe on any thread while the model lives and its search texts
    // are built (otherwise it waits for them). No exception leaves it.
    [[nodiscard]] static Pass computePass(const LogModel &model, const QVariantList &filters,
        bool anyOf, bool onlyErrors, const DateRange &range = {});
    // This model's settings and rows, as a pass, for updatedPass.
    [[nodiscard]] Pass currentPass() const;
    // The pass over an update's index with old's settings, from the update's first changed row
    // on: the rows of old records keep what they had in old, and only the records that the
    // update read are matched. No exception leaves it.
    [[nodiscard]] static Pass updatedPass(const Pass &old, const RecordIndexUpdate &update);
    // Takes previous's rows before the pass's first row, and the pass's from there, in one
    // model reset; previous is left without rows. False, with nothing changed, when previous
    // has other settings than the pass, or either failed.
    bool continuePass(LogFilterModel &previous, Pass &&pass);
    // Takes a pass computed over this model's source, with its settings, in one model reset.
    void installPass(Pass &&pass);

    void setSourceModel(QAbstractItemModel *model) override;

    // A flat list whose rows map through the accepted rows: the base class would rebuild a
    // mapping of every source row on the interface thread after each pass.
    [[nodiscard]] QModelIndex index(
        int row, int column, const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QModelIndex parent(const QModelIndex &child) const override;
    [[nodiscard]] QModelIndex sibling(int row, int column, const QModelIndex &idx) const override;
    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] bool hasChildren(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QModelIndex mapToSource(const QModelIndex &proxyIndex) const override;
    [[nodiscard]] QModelIndex mapFromSource(const QModelIndex &sourceIndex) const override;

    // The source rows of the visible records, in the order of this model's rows: the model's
    // own vector, brought up to date whenever the filter or the source rows change.
    [[nodiscard]] const std::vector<int> &acceptedSourceRows() const;
    // Whether a filter text, the errors-only switch or a date range is set.
    [[nodiscard]] bool hasFilter() const
    {
        return onlyErrors || !filters.isEmpty() || dateRange.isBounded();
    }
    [[nodiscard]] const DateRange &dateRangeFilter() const { return dateRange; }
    // How the last pass failed, Failure::none after a pass that ran.
    [[nodiscard]] Failure passFailure() const { return lastFailure; }

protected:
    [[nodiscard]] bool filterAcceptsRow(
        int sourceRow, const QModelIndex &sourceParent) const override;

private:
    void setFilters(const QVariantList &filters, bool anyOf);
    [[nodiscard]] static QStringList loweredTexts(const QVariantList &filters);
    template<typename Change>
    void refilter(const Change &change);
    void markStale();
    template<typename AboutToChange, typename Changed>
    void resetOn(QAbstractItemModel *model, AboutToChange aboutToChange, Changed changed);
    void refreshIfStale() const;
    void runPass() const;
    void failPass(Failure failure) const;
    static void dropRowsIfFailed(Pass &pass);
    // The settings of one pass, apart from the model that keeps them.
    struct Settings
    {
        const QStringList &filters;
        bool anyOf;
        bool onlyErrors;
        const DateRange &range;
    };
    [[nodiscard]] static Failure matchRecords(
        const LogModel &model, const Settings &settings, std::vector<char> &passes);
    [[nodiscard]] static Failure matchIndexedRecords(
        const RecordIndex &index, const Settings &settings, std::vector<char> &passes);
    static void collectAccepted(const std::vector<char> &passes, std::vector<int> &accepted);
    void matchRows() const;

    QStringList filters;
    bool containsOnlyMode = true;
    bool onlyErrors = false;
    DateRange dateRange;
    // Whether each source row passes, and the passing rows in order; rebuilt in one pass
    // whenever the filter or the source rows change.
    mutable std::vector<char> rowPasses;
    mutable std::vector<int> acceptedRows;
    mutable bool stale = true;
    mutable Failure lastFailure = Failure::none;
    std::vector<QMetaObject::Connection> sourceConnections;
};
