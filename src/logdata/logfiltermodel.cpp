#include "logfiltermodel.h"

#include "logmodel.h"

LogFilterModel::LogFilterModel(QObject *parent)
    : QSortFilterProxyModel(parent)
{ }

LogFilterModel::~LogFilterModel() = default;

void LogFilterModel::setContainsOnly(const QVariantList &newFilters)
{
    setFilters(newFilters);
    containsOnlyMode = true;
    invalidateFilter();
}

void LogFilterModel::setContainsAll(const QVariantList &newFilters)
{
    setFilters(newFilters);
    containsOnlyMode = false;
    invalidateFilter();
}

void LogFilterModel::setShowOnlyErrors(bool errorsOnly)
{
    onlyErrors = errorsOnly;
    invalidateFilter();
}

std::vector<int> LogFilterModel::acceptedSourceRows() const
{
    std::vector<int> rows;
    rows.reserve(static_cast<size_t>(rowCount()));
    for (int row = 0; row < rowCount(); ++row)
        rows.push_back(mapToSource(index(row, 0)).row());
    return rows;
}

bool LogFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const QModelIndex index = sourceModel()->index(sourceRow, 0, sourceParent);
    if (onlyErrors) {
        const QString type = index.data(LogModel::logTypeRole).toString().toLower();
        if (type != QLatin1String("error") && type != QLatin1String("fatal"))
            return false;
    }
    if (filters.isEmpty())
        return true;
    const QString text = index.data(LogModel::searchTextRole).toString();
    for (const QString &filter : filters) {
        const bool found = text.contains(filter);
        if (containsOnlyMode && found)
            return true;
        if (!containsOnlyMode && !found)
            return false;
    }
    return !containsOnlyMode;
}

void LogFilterModel::setFilters(const QVariantList &newFilters)
{
    filters.clear();
    for (const QVariant &filter : newFilters)
        filters.append(filter.toString().toLower());
}
