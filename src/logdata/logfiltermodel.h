#pragma once

#include <QSortFilterProxyModel>
#include <QStringList>
#include <QVariantList>

#include <vector>

// The filtering proxy in front of one log's record model: substring filters combined as
// contains-only or contains-all, and an errors-only switch.
class LogFilterModel : public QSortFilterProxyModel
{
public:
    explicit LogFilterModel(QObject *parent = nullptr);
    ~LogFilterModel() override;

    // Each setter re-filters every row before it returns.
    void setContainsOnly(const QVariantList &filters);
    void setContainsAll(const QVariantList &filters);
    void setShowOnlyErrors(bool onlyErrors);

    // The source rows of the visible records, in the order of this model's rows.
    [[nodiscard]] std::vector<int> acceptedSourceRows() const;

protected:
    [[nodiscard]] bool filterAcceptsRow(
        int sourceRow, const QModelIndex &sourceParent) const override;

private:
    void setFilters(const QVariantList &filters);

    QStringList filters;
    bool containsOnlyMode = true;
    bool onlyErrors = false;
};
