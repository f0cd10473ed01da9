#include "recordwindowmodel.h"

#include "logmodel.h"

#include <QAbstractProxyModel>

#include <algorithm>

RecordWindowModel::RecordWindowModel(QObject *parent)
    : QAbstractListModel(parent)
{ }

void RecordWindowModel::setSourceModel(QAbstractItemModel *model)
{
    if (model == source)
        return;
    beginResetModel();
    for (const QMetaObject::Connection &connection : sourceConnections)
        disconnect(connection);
    sourceConnections.clear();
    source = model;
    firstRow = 0;
    if (model) {
        // Any change of the source's rows moves rows in and out of the window: it is laid
        // out anew. Records themselves never change in place, but a change is passed on.
        const auto reset = [this] {
            resetWindow();
        };
        sourceConnections.push_back(connect(model, &QAbstractItemModel::modelReset, this, reset));
        sourceConnections.push_back(
            connect(model, &QAbstractItemModel::layoutChanged, this, reset));
        sourceConnections.push_back(connect(model, &QAbstractItemModel::rowsInserted, this, reset));
        sourceConnections.push_back(connect(model, &QAbstractItemModel::rowsRemoved, this, reset));
        sourceConnections.push_back(connect(model, &QAbstractItemModel::rowsMoved, this, reset));
        sourceConnections.push_back(connect(
            model, &QAbstractItemModel::dataChanged, this, &RecordWindowModel::forwardDataChanged));
        sourceConnections.push_back(
            connect(model, &QObject::destroyed, this, [this] { setSourceModel(nullptr); }));
    }
    endResetModel();
    emit sourceModelChanged();
    emit windowChanged();
}

int RecordWindowModel::sourceCount() const
{
    return source ? source->rowCount() : 0;
}

void RecordWindowModel::setCapacity(int rows)
{
    rows = std::max(rows, 1);
    if (rows == maxRows)
        return;
    beginResetModel();
    maxRows = rows;
    firstRow = boundedFirst(firstRow);
    endResetModel();
    emit windowChanged();
}

int RecordWindowModel::centreOn(int sourceRow)
{
    // The window moves only within a source longer than itself, so it stays full and keeps
    // its row count: its rows change their data, and a view keeps its rows and places.
    const int wanted = boundedFirst(sourceRow - maxRows / 2);
    if (wanted != firstRow) {
        firstRow = wanted;
        emit dataChanged(index(0), index(rowCount() - 1));
        emit windowChanged();
    }
    return sourceRow - firstRow;
}

int RecordWindowModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    return std::clamp(sourceCount() - firstRow, 0, maxRows);
}

QVariant RecordWindowModel::data(const QModelIndex &index, int role) const
{
    if (!source || !checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == messagePreviewRole)
        return messagePreview(firstRow + index.row());
    return source->data(source->index(firstRow + index.row(), 0), role);
}

// A log's rows come from a filter model over its record model, which makes the preview from
// the record itself; any other source gives the start of its message role.
QVariant RecordWindowModel::messagePreview(int sourceRow) const
{
    const auto *filter = qobject_cast<const QAbstractProxyModel *>(source.data());
    const auto *log = filter ? qobject_cast<const LogModel *>(filter->sourceModel()) : nullptr;
    if (!log) {
        return source->data(source->index(sourceRow, 0), LogModel::messageRole)
            .toString()
            .left(previewCharacters);
    }
    const QModelIndex record = filter->mapToSource(filter->index(sourceRow, 0));
    return record.isValid() ? log->messagePreview(size_t(record.row()), previewCharacters)
                            : QVariant();
}

QHash<int, QByteArray> RecordWindowModel::roleNames() const
{
    if (!source)
        return {};
    QHash<int, QByteArray> names = source->roleNames();
    names.insert(messagePreviewRole, "messagePreviewRole");
    return names;
}

int RecordWindowModel::boundedFirst(int row) const
{
    return std::clamp(row, 0, std::max(0, sourceCount() - maxRows));
}

void RecordWindowModel::resetWindow()
{
    beginResetModel();
    firstRow = boundedFirst(firstRow);
    endResetModel();
    emit windowChanged();
}

void RecordWindowModel::forwardDataChanged(
    const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    const int top = std::max(topLeft.row() - firstRow, 0);
    const int bottom = std::min(bottomRight.row() - firstRow, rowCount() - 1);
    if (top <= bottom)
        emit dataChanged(index(top), index(bottom), roles);
}
