#include "logfiltermodel.h"

#include "indexedsearch.h"
#include "logmodel.h"
#include "parallelfor.h"
#include "recordindexupdate.h"
#include "textsetmatcher.h"

#include <algorithm>
#include <new>

namespace {

// The errors-only test; remembers its last answer, since nearly every record shares its
// type string with many others.
class ErrorTypeTest
{
public:
    bool operator()(const QString &type)
    {
        if (type.constData() != lastData || type.size() != lastSize) {
            const QString lower = type.toLower();
            lastResult = lower == QLatin1String("error") || lower == QLatin1String("fatal");
            lastData = type.constData();
            lastSize = type.size();
        }
        return lastResult;
    }

private:
    const QChar *lastData = nullptr;
    qsizetype lastSize = -1;
    bool lastResult = false;
};

// The filter texts combined as any-of or all-of.
class TextTest
{
public:
    TextTest(const QStringList &filters, bool anyOf)
        : texts(filters)
        , anyOf(anyOf)
    { }

    bool operator()(const SearchTextStore &store, size_t row) const
    {
        if (anyOf)
            return texts.anyOccursIn(store, row);
        return store.visit(row, [this](auto text) { return texts.allOccurIn(text); });
    }

    template<typename Text>
    bool matches(Text searchText) const
    {
        return anyOf ? texts.anyOccursIn(searchText) : texts.allOccurIn(searchText);
    }

private:
    TextSetMatcher texts;
    bool anyOf;
};

// A pass holds a byte and a row number for each record, and each thread reads records a block
// at a time: the block's bytes, the records decoded from them and their search texts.
constexpr qint64 passBytesPerRecord = 5;
constexpr qint64 passBytesPerThread = qint64(32) << 20;

// Fails as an allocation would when the process may no longer take what a pass over the
// model needs: under a limit that the kernel enforces, going over it ends the program instead.
void ensurePassFits(const LogModel &model)
{
    const std::optional<qint64> free = model.freeMemory();
    if (free
        && *free < qint64(model.recordCount()) * passBytesPerRecord
                + qint64(threadCount()) * passBytesPerThread)
        throw std::bad_alloc();
}

} // namespace

LogFilterModel::LogFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{ }

LogFilterModel::~LogFilterModel() = default;

// One linear pass and one reset: re-filtering row by row would move the proxy's row mapping
// once per inserted range, which grows with the square of the rows. A change that cannot be
// made fails like a pass, so that the rows never follow a filter other than the one asked for.
template<typename Change>
void LogFilterModel::refilter(const Change &change)
{
    beginResetModel();
    const Failure failure = failureOf(change);
    if (failure == Failure::none) {
        markStale();
        refreshIfStale();
    } else {
        failPass(failure);
    }
    endResetModel();
}

void LogFilterModel::setContainsOnly(const QVariantList &newFilters)
{
    refilter([&] { setFilters(newFilters, true); });
}

void LogFilterModel::setContainsAll(const QVariantList &newFilters)
{
    refilter([&] { setFilters(newFilters, false); });
}

void LogFilterModel::setShowOnlyErrors(bool errorsOnly)
{
    refilter([&] { onlyErrors = errorsOnly; });
}

void LogFilterModel::setDateRange(const DateRange &range)
{
    refilter([&] { dateRange = range; });
}

void LogFilterModel::setFilter(
    const QVariantList &newFilters, bool anyOf, bool errorsOnly, const DateRange &range)
{
    if (hasSettings(newFilters, anyOf, errorsOnly, range))
        return;
    refilter([&] {
        setFilters(newFilters, anyOf);
        onlyErrors = errorsOnly;
        dateRange = range;
    });
}

bool LogFilterModel::hasSettings(
    const QVariantList &newFilters, bool anyOf, bool errorsOnly, const DateRange &range) const
{
    return lastFailure == Failure::none && containsOnlyMode == anyOf && onlyErrors == errorsOnly
        && dateRange == range && filters == loweredTexts(newFilters);
}

LogFilterModel::Pass LogFilterModel::computePass(const LogModel &model, const QVariantList &filters,
    bool anyOf, bool onlyErrors, const DateRange &range)
{
    Pass pass;
    pass.anyOf = anyOf;
    pass.onlyErrors = onlyErrors;
    pass.range = range;
    Failure searchTextsFailure = Failure::none;
    pass.failure = failureOf([&] {
        pass.filters = loweredTexts(filters);
        searchTextsFailure
            = matchRecords(model, {pass.filters, anyOf, onlyErrors, range}, pass.rowPasses);
        collectAccepted(pass.rowPasses, pass.acceptedRows);
    });
    if (pass.failure == Failure::none)
        pass.failure = searchTextsFailure;
    dropRowsIfFailed(pass);
    return pass;
}

// As after a failed pass in place: no row, and the memory goes back.
void LogFilterModel::dropRowsIfFailed(Pass &pass)
{
    if (pass.failure != Failure::none) {
        std::vector<char>().swap(pass.rowPasses);
        std::vector<int>().swap(pass.acceptedRows);
    }
}

LogFilterModel::Pass LogFilterModel::currentPass() const
{
    refreshIfStale();
    Pass pass;
    pass.filters = filters;
    pass.anyOf = containsOnlyMode;
    pass.onlyErrors = onlyErrors;
    pass.range = dateRange;
    pass.rowPasses = rowPasses;
    pass.failure = lastFailure;
    return pass;
}

// Only the rows from the first that the update changed are made: the ones before stay.
LogFilterModel::Pass LogFilterModel::updatedPass(const Pass &old, const RecordIndexUpdate &update)
{
    Pass pass;
    pass.filters = old.filters;
    pass.anyOf = old.anyOf;
    pass.onlyErrors = old.onlyErrors;
    pass.range = old.range;
    pass.firstRow = update.firstChangedRow();
    bool complete = true;
    pass.failure = failureOf([&] {
        const RecordIndex &index = *update.updated();
        const RecordIndex &oldIndex = *update.old();
        std::vector<char> &passes = pass.rowPasses;
        passes.assign(index.size() - pass.firstRow, 0);
        const std::vector<size_t> &firstRead = update.firstReadRecords();
        for (size_t row = pass.firstRow; row < index.size(); ++row) {
            const RecordIndex::Place place = index.placeOf(row);
            char &rowPass = passes[row - pass.firstRow];
            if (place.local < firstRead[place.file])
                rowPass = old.rowPasses[oldIndex.rowOf(place.file, place.local)];
            else
                rowPass = (!old.onlyErrors || index.isError(row))
                    && (!old.range.isBounded() || old.range.contains(index.dateTime(row)));
        }
        // Only the records read anew are looked at.
        complete
            = IndexedSearch(index, old.filters, old.anyOf, pass.firstRow).narrow(passes, firstRead);
        collectAccepted(passes, pass.acceptedRows);
        for (int &row : pass.acceptedRows)
            row += int(pass.firstRow);
    });
    if (pass.failure == Failure::none && !complete)
        pass.failure = Failure::fileChanged;
    dropRowsIfFailed(pass);
    return pass;
}

bool LogFilterModel::continuePass(LogFilterModel &previous, Pass &&pass)
{
    const bool continues = pass.failure == Failure::none && previous.lastFailure == Failure::none
        && !previous.stale && previous.filters == pass.filters
        && previous.containsOnlyMode == pass.anyOf && previous.onlyErrors == pass.onlyErrors
        && previous.dateRange == pass.range && pass.firstRow <= previous.rowPasses.size();
    if (!continues)
        return false;
    std::vector<char> passes = std::move(previous.rowPasses);
    std::vector<int> accepted = std::move(previous.acceptedRows);
    previous.failPass(Failure::none);
    passes.resize(pass.firstRow);
    passes.insert(passes.end(), pass.rowPasses.begin(), pass.rowPasses.end());
    accepted.erase(
        std::lower_bound(accepted.begin(), accepted.end(), int(pass.firstRow)), accepted.end());
    accepted.insert(accepted.end(), pass.acceptedRows.begin(), pass.acceptedRows.end());
    pass.rowPasses = std::move(passes);
    pass.acceptedRows = std::move(accepted);
    installPass(std::move(pass));
    return true;
}

void LogFilterModel::installPass(Pass &&pass)
{
    beginResetModel();
    filters = std::move(pass.filters);
    containsOnlyMode = pass.anyOf;
    onlyErrors = pass.onlyErrors;
    dateRange = std::move(pass.range);
    rowPasses = std::move(pass.rowPasses);
    acceptedRows = std::move(pass.acceptedRows);
    lastFailure = pass.failure;
    stale = false;
    endResetModel();
}

void LogFilterModel::setSourceModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &connection : sourceConnections)
        disconnect(connection);
    sourceConnections.clear();
    markStale();
    // Marked before the base class resets this model and asks for any row of the new source.
    if (model) {
        sourceConnections.push_back(connect(
            model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { markStale(); }));
    }
    QSortFilterProxyModel::setSourceModel(model);
    if (!model)
        return;
    resetOn(model, &QAbstractItemModel::rowsAboutToBeInserted, &QAbstractItemModel::rowsInserted);
    resetOn(model, &QAbstractItemModel::rowsAboutToBeRemoved, &QAbstractItemModel::rowsRemoved);
    resetOn(model, &QAbstractItemModel::rowsAboutToBeMoved, &QAbstractItemModel::rowsMoved);
    resetOn(model, &QAbstractItemModel::layoutAboutToBeChanged, &QAbstractItemModel::layoutChanged);
    resetOn(
        model, &QAbstractItemModel::columnsAboutToBeInserted, &QAbstractItemModel::columnsInserted);
    resetOn(
        model, &QAbstractItemModel::columnsAboutToBeRemoved, &QAbstractItemModel::columnsRemoved);
    resetOn(model, &QAbstractItemModel::columnsAboutToBeMoved, &QAbstractItemModel::columnsMoved);
    // Changed data may pass or fail the filter anew.
    disconnect(model, &QAbstractItemModel::dataChanged, this, nullptr);
    sourceConnections.push_back(connect(model, &QAbstractItemModel::dataChanged, this, [this] {
        beginResetModel();
        markStale();
        endResetModel();
    }));
}

// The base class would follow such a change row by row through a row mapping of its own,
// which this model does not keep: its slots for the change are replaced by one reset, after
// which every row is filtered anew. The record model itself only ever resets.
template<typename AboutToChange, typename Changed>
void LogFilterModel::resetOn(
    QAbstractItemModel *model, AboutToChange aboutToChange, Changed changed)
{
    disconnect(model, aboutToChange, this, nullptr);
    disconnect(model, changed, this, nullptr);
    sourceConnections.push_back(connect(model, aboutToChange, this, [this] { beginResetModel(); }));
    sourceConnections.push_back(connect(model, changed, this, [this] {
        markStale();
        endResetModel();
    }));
}

QModelIndex LogFilterModel::index(int row, int column, const QModelIndex &parent) const
{
    if (parent.isValid() || row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex LogFilterModel::parent(const QModelIndex &) const
{
    return {};
}

QModelIndex LogFilterModel::sibling(int row, int column, const QModelIndex &) const
{
    return index(row, column);
}

int LogFilterModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return int(acceptedSourceRows().size());
}

int LogFilterModel::columnCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !sourceModel())
        return 0;
    return sourceModel()->columnCount();
}

bool LogFilterModel::hasChildren(const QModelIndex &parent) const
{
    return rowCount(parent) > 0 && columnCount(parent) > 0;
}

QModelIndex LogFilterModel::mapToSource(const QModelIndex &proxyIndex) const
{
    // The root, and indexes of other models, map to the root without a warning: the base
    // class asks for the root.
    if (!sourceModel() || !proxyIndex.isValid() || proxyIndex.model() != this)
        return {};
    const std::vector<int> &rows = acceptedSourceRows();
    if (size_t(proxyIndex.row()) >= rows.size())
        return {};
    return sourceModel()->index(rows[size_t(proxyIndex.row())], proxyIndex.column());
}

// The accepted rows keep the source order, so a source row is found by halving.
QModelIndex LogFilterModel::mapFromSource(const QModelIndex &sourceIndex) const
{
    if (!sourceIndex.isValid() || sourceIndex.model() != sourceModel()
        || sourceIndex.parent().isValid())
        return {};
    const std::vector<int> &rows = acceptedSourceRows();
    const auto found = std::lower_bound(rows.cbegin(), rows.cend(), sourceIndex.row());
    if (found == rows.cend() || *found != sourceIndex.row())
        return {};
    return createIndex(int(found - rows.cbegin()), sourceIndex.column());
}

const std::vector<int> &LogFilterModel::acceptedSourceRows() const
{
    refreshIfStale();
    return acceptedRows;
}

bool LogFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    if (sourceParent.isValid())
        return false;
    refreshIfStale();
    return sourceRow >= 0 && size_t(sourceRow) < rowPasses.size() && rowPasses[size_t(sourceRow)];
}

void LogFilterModel::setFilters(const QVariantList &newFilters, bool anyOf)
{
    filters = loweredTexts(newFilters);
    containsOnlyMode = anyOf;
}

QStringList LogFilterModel::loweredTexts(const QVariantList &filters)
{
    QStringList lowered;
    for (const QVariant &filter : filters)
        lowered.append(filter.toString().toLower());
    return lowered;
}

void LogFilterModel::markStale()
{
    stale = true;
}

// The pass runs inside the proxy's row count, where an exception would end the program: a
// failure is kept instead, and the next change of the filter or the rows tries again.
void LogFilterModel::refreshIfStale() const
{
    if (!stale)
        return;
    stale = false;
    lastFailure = Failure::none;
    const Failure failure = failureOf([this] { runPass(); });
    if (failure != Failure::none)
        failPass(failure);
}

// The vectors keep their storage from pass to pass: fresh memory is the dearest part of a
// pass over millions of rows.
void LogFilterModel::runPass() const
{
    if (const auto *logModel = qobject_cast<const LogModel *>(sourceModel()))
        lastFailure = matchRecords(
            *logModel, {filters, containsOnlyMode, onlyErrors, dateRange}, rowPasses);
    else
        matchRows();
    collectAccepted(rowPasses, acceptedRows);
}

// Every row is written and only the passing ones are kept: where many pass, a branch per row
// guesses wrong at random and costs ten times the writes.
void LogFilterModel::collectAccepted(const std::vector<char> &passes, std::vector<int> &accepted)
{
    const auto count = size_t(
        std::count_if(passes.cbegin(), passes.cend(), [](char pass) { return pass != 0; }));
    accepted.resize(count + 1);
    size_t next = 0;
    for (size_t row = 0; row < passes.size(); ++row) {
        accepted[next] = int(row);
        next += passes[row] != 0 ? 1 : 0;
    }
    accepted.pop_back();
}

// No row passes, and the storage of the rows goes back to a program short of memory.
void LogFilterModel::failPass(Failure failure) const
{
    stale = false;
    lastFailure = failure;
    std::vector<char>().swap(rowPasses);
    std::vector<int>().swap(acceptedRows);
}

// Reads the records and search texts directly: one QVariant per row would cost more than the
// matching itself. Large logs are split among the cores; the pass only reads the records.
// Returns how the log's search texts failed, when they did.
Failure LogFilterModel::matchRecords(
    const LogModel &model, const Settings &settings, std::vector<char> &passes)
{
    ensurePassFits(model);
    if (const std::shared_ptr<const RecordIndex> &index = model.recordIndex())
        return matchIndexedRecords(*index, settings, passes);
    const std::vector<QarnLogParser::QarnLog> &records = model.allRecords();
    passes.assign(records.size(), 0);
    const QStringList &filters = settings.filters;
    const SearchTextStore *searchTexts = filters.isEmpty() ? nullptr : model.fetchSearchTexts();
    if (!filters.isEmpty() && !searchTexts)
        return model.searchTextsFailure();
    const TextTest containsTexts(filters, settings.anyOf);
    const DateRange *range = settings.range.isBounded() ? &settings.range : nullptr;
    const auto matchRange = [&](size_t begin, size_t end) {
        ErrorTypeTest isError;
        for (size_t row = begin; row < end; ++row) {
            passes[row] = (!range || range->contains(records[row].dateTime))
                && (!settings.onlyErrors || isError(records[row].logType))
                && (!searchTexts || containsTexts(*searchTexts, row));
        }
    };
    parallelFor(records.size(), 100'000, matchRange);
    return Failure::none;
}

// The date range and the errors-only test read the index; the texts are matched in the
// records' files, only in the rows still passing. The index keeps its records in date order,
// so the range is one run of rows.
Failure LogFilterModel::matchIndexedRecords(
    const RecordIndex &index, const Settings &settings, std::vector<char> &passes)
{
    const auto [first, end]
        = settings.range.rowsIn(index.size(), [&](size_t row) { return index.dateTime(row); });
    passes.assign(index.size(), 0);
    std::fill(passes.begin() + qsizetype(first), passes.begin() + qsizetype(end), char(1));
    if (settings.onlyErrors) {
        parallelFor(end - first, 100'000, [&, first = first](size_t begin, size_t stop) {
            for (size_t row = first + begin; row < first + stop; ++row)
                passes[row] = index.isError(row);
        });
    }
    const bool complete = IndexedSearch(index, settings.filters, settings.anyOf).narrow(passes);
    return complete ? Failure::none : Failure::fileChanged;
}

// Any other source model is read through its roles.
void LogFilterModel::matchRows() const
{
    const QAbstractItemModel *model = sourceModel();
    std::vector<char> &passes = rowPasses;
    passes.assign(model ? size_t(model->rowCount()) : 0, 0);
    ErrorTypeTest isError;
    const TextTest containsTexts(filters, containsOnlyMode);
    for (size_t row = 0; row < passes.size(); ++row) {
        const QModelIndex index = model->index(int(row), 0);
        passes[row] = (!dateRange.isBounded()
                          || dateRange.contains(index.data(LogModel::dateTimeRole).toString()))
            && (!onlyErrors || isError(index.data(LogModel::logTypeRole).toString()))
            && (filters.isEmpty()
                || containsTexts.matches(
                    QStringView(index.data(LogModel::searchTextRole).toString())));
    }
}
