#include "memoryrecordmodel.h"

#include "logmodel.h"

#include <QDateTime>

MemoryRecordModel::MemoryRecordModel(int rows, QObject *parent)
    : QAbstractListModel(parent)
    , rows(rows)
{ }

int MemoryRecordModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : rows;
}

QVariant MemoryRecordModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    const int row = index.row();
    switch (role) {
    case LogModel::dateTimeRole:
        return QDateTime(QDate(2026, 1, 1), QTime(0, 0))
            .addSecs(row)
            .toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case LogModel::logTypeRole:
        return QStringLiteral("Info");
    case LogModel::messageRole:
        return QStringLiteral("record %1").arg(row);
    case LogModel::lineRole:
        return row;
    default:
        return QString();
    }
}

QHash<int, QByteArray> MemoryRecordModel::roleNames() const
{
    return LogModel().roleNames();
}
