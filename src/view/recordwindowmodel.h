#pragma once

#include <QAbstractListModel>
#include <QPointer>

#include <vector>

// A window of consecutive rows of a record model, shown by the record list instead of the
// whole model: a list places its rows at their index times their height, and positions past
// a few hundred thousand rows lose whole pixels in the scene graph's single-precision
// transforms. The window keeps those positions small; moving it keeps the row count, so a
// view updates the rows it has instead of building them anew. Each open log carries one
// (OpenLog::rows); QML reaches it as a plain object, never as a type of its own.
class RecordWindowModel : public QAbstractListModel
{
    Q_OBJECT
    Q_PROPERTY(QAbstractItemModel *sourceModel READ sourceModel WRITE setSourceModel NOTIFY
            sourceModelChanged)
    Q_PROPERTY(int first READ first NOTIFY windowChanged)
    Q_PROPERTY(int sourceCount READ sourceCount NOTIFY windowChanged)
    Q_PROPERTY(int capacity READ capacity WRITE setCapacity NOTIFY windowChanged)

public:
    // Beside the source's roles: "messagePreviewRole", the start of messageRole that a row
    // shows, at most previewCharacters long, so that a message of megabytes is neither
    // simplified nor laid out whole for a row.
    static constexpr int messagePreviewRole = Qt::UserRole + 100;
    static constexpr qsizetype previewCharacters = 2000;

    explicit RecordWindowModel(QObject *parent = nullptr);

    [[nodiscard]] QAbstractItemModel *sourceModel() const { return source; }
    void setSourceModel(QAbstractItemModel *model);
    // The source row shown as this model's row 0.
    [[nodiscard]] int first() const { return firstRow; }
    [[nodiscard]] int sourceCount() const;
    [[nodiscard]] int capacity() const { return maxRows; }
    void setCapacity(int rows);

    // Moves the window so that the source row lies in its middle, as far as the source's
    // ends allow; returns the row's index in the window.
    Q_INVOKABLE int centreOn(int sourceRow);

    [[nodiscard]] int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex &index, int role) const override;
    [[nodiscard]] QHash<int, QByteArray> roleNames() const override;

signals:
    void sourceModelChanged();
    void windowChanged();

private:
    [[nodiscard]] int boundedFirst(int row) const;
    [[nodiscard]] QVariant messagePreview(int sourceRow) const;
    void resetWindow();
    void forwardDataChanged(
        const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles);

    QPointer<QAbstractItemModel> source;
    std::vector<QMetaObject::Connection> sourceConnections;
    int firstRow = 0;
    int maxRows = 100000;
};
