#include "logfiltermodel.h"

#include "logmodel.h"
#include "parallelfor.h"

#include <QtAlgorithms>

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// One filter text, prepared for searching many search texts. Candidates are found by
// comparing the text's first and last characters at eight positions at once; only where both
// match are the characters between compared.
class Needle
{
public:
    explicit Needle(const QString &text)
        : text(text)
    { }

    [[nodiscard]] bool occursIn(QStringView searchText) const
    {
        const qsizetype size = text.size();
        if (size <= 1)
            return size == 0 || searchText.contains(text.front());
        if (size > searchText.size())
            return false;
        const auto *chars = reinterpret_cast<const char16_t *>(searchText.data());
        const qsizetype lastStart = searchText.size() - size;
        qsizetype start = 0;
#ifdef __SSE2__
        const __m128i first = _mm_set1_epi16(short(text.front().unicode()));
        const __m128i last = _mm_set1_epi16(short(text.back().unicode()));
        for (; start + lanes - 1 <= lastStart; start += lanes) {
            const __m128i heads = load(chars + start);
            const __m128i tails = load(chars + start + size - 1);
            auto mask = uint(_mm_movemask_epi8(
                _mm_and_si128(_mm_cmpeq_epi16(heads, first), _mm_cmpeq_epi16(tails, last))));
            // Two mask bits per character.
            for (; mask != 0; mask &= mask - 1, mask &= mask - 1) {
                if (middleMatches(chars + start + qCountTrailingZeroBits(mask) / 2))
                    return true;
            }
        }
#endif
        for (; start <= lastStart; ++start) {
            if (chars[start] == text.front().unicode()
                && chars[start + size - 1] == text.back().unicode() && middleMatches(chars + start))
                return true;
        }
        return false;
    }

private:
#ifdef __SSE2__
    static constexpr qsizetype lanes = 8;
    static __m128i load(const char16_t *at)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i *>(at));
    }
#endif

    // Whether the characters between the first and the last match at a candidate position.
    [[nodiscard]] bool middleMatches(const char16_t *candidate) const
    {
        return std::memcmp(
                   candidate + 1, text.constData() + 1, size_t(text.size() - 2) * sizeof(char16_t))
            == 0;
    }

    QString text;
};

// The filter texts combined as any-of or all-of.
class TextTest
{
public:
    TextTest(const QStringList &filters, bool anyOf)
        : anyOf(anyOf)
    {
        for (const QString &filter : filters)
            needles.emplace_back(filter);
    }

    bool operator()(const QString &searchText) const
    {
        for (const Needle &needle : needles) {
            if (needle.occursIn(searchText) == anyOf)
                return anyOf;
        }
        return !anyOf;
    }

private:
    std::vector<Needle> needles;
    bool anyOf;
};

} // namespace

LogFilterModel::LogFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{ }

LogFilterModel::~LogFilterModel() = default;

void LogFilterModel::setContainsOnly(const QVariantList &newFilters)
{
    setFilters(newFilters);
    containsOnlyMode = true;
    refilter();
}

void LogFilterModel::setContainsAll(const QVariantList &newFilters)
{
    setFilters(newFilters);
    containsOnlyMode = false;
    refilter();
}

void LogFilterModel::setShowOnlyErrors(bool errorsOnly)
{
    onlyErrors = errorsOnly;
    refilter();
}

void LogFilterModel::setSourceModel(QAbstractItemModel *model)
{
    for (const QMetaObject::Connection &connection : sourceConnections)
        disconnect(connection);
    sourceConnections.clear();
    markStale();
    if (model) {
        // Marked before the proxy asks for any row of the changed source.
        const auto mark = [this] {
            markStale();
        };
        sourceConnections = {
            connect(model, &QAbstractItemModel::modelAboutToBeReset, this, mark),
            connect(model, &QAbstractItemModel::rowsAboutToBeInserted, this, mark),
            connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, mark),
            connect(model, &QAbstractItemModel::rowsAboutToBeMoved, this, mark),
            connect(model, &QAbstractItemModel::layoutAboutToBeChanged, this, mark),
        };
    }
    QSortFilterProxyModel::setSourceModel(model);
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

void LogFilterModel::setFilters(const QVariantList &newFilters)
{
    filters.clear();
    for (const QVariant &filter : newFilters)
        filters.append(filter.toString().toLower());
}

// One linear pass and one reset: re-filtering row by row would move the proxy's row mapping
// once per inserted range, which grows with the square of the rows.
void LogFilterModel::refilter()
{
    beginResetModel();
    markStale();
    refreshIfStale();
    endResetModel();
}

void LogFilterModel::markStale()
{
    stale = true;
}

// The vectors keep their storage from pass to pass: fresh memory is the dearest part of a
// pass over millions of rows.
void LogFilterModel::refreshIfStale() const
{
    if (!stale)
        return;
    stale = false;
    if (const auto *logModel = qobject_cast<const LogModel *>(sourceModel()))
        matchRecords(*logModel);
    else
        matchRows();
    acceptedRows.clear();
    acceptedRows.reserve(size_t(std::count(rowPasses.cbegin(), rowPasses.cend(), char(1))));
    for (size_t row = 0; row < rowPasses.size(); ++row) {
        if (rowPasses[row])
            acceptedRows.push_back(int(row));
    }
}

// Reads the records and search texts directly: one QVariant per row would cost more than the
// matching itself. Large logs are split among the cores; the pass only reads the records.
void LogFilterModel::matchRecords(const LogModel &model) const
{
    const std::vector<QarnLogParser::QarnLog> &records = model.allRecords();
    std::vector<char> &passes = rowPasses;
    passes.assign(records.size(), 0);
    const std::vector<QString> *searchTexts
        = filters.isEmpty() ? nullptr : model.fetchSearchTexts();
    if (!filters.isEmpty() && !searchTexts)
        return;
    const TextTest containsTexts(filters, containsOnlyMode);
    const auto matchRange = [&](size_t begin, size_t end) {
        ErrorTypeTest isError;
        for (size_t row = begin; row < end; ++row) {
            passes[row] = (!onlyErrors || isError(records[row].logType))
                && (!searchTexts || containsTexts((*searchTexts)[row]));
        }
    };
    parallelFor(records.size(), 100'000, matchRange);
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
        passes[row] = (!onlyErrors || isError(index.data(LogModel::logTypeRole).toString()))
            && (filters.isEmpty()
                || containsTexts(index.data(LogModel::searchTextRole).toString()));
    }
}
