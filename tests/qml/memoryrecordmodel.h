#pragma once

#include <QAbstractListModel>

// Millions of small records made up on request, with the roles of the log model: one record
// a second from midnight, its number in the message, so that a list of any length can be
// shown without a log file of that size.
class MemoryRecordModel : public QAbstractListModel
{
    Q_OBJECT

public:
    explicit MemoryRecordModel(int rows, QObject *parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

private:
    int rows;
};
