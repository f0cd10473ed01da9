#include "kestrunecore.h"

#include "foldercatalogue.h"
#include "logrecordloader.h"
#include "paralleltextfinder.h"

#include <QCoreApplication>
#include <QJSEngine>

#include <algorithm>
#include <new>

namespace {
enum FolderRoles { folderRole = Qt::UserRole + 1, nameRole = Qt::UserRole + 2 };

// The filter model goes first: it must never outlive its source model.
void destroyModels(OpenLogEntry &entry)
{
    entry.filter.reset();
    entry.model.reset();
}

} // namespace

KestruneCore::KestruneCore()
    : KestruneCore(QCoreApplication::applicationDirPath())
{ }

KestruneCore::KestruneCore(const QString &configFolder)
    : QObject(nullptr)
    , folders(nullptr)
    , settings(configFolder + QStringLiteral("/settings.ini"), QSettings::IniFormat)
    , style(configFolder + QStringLiteral("/style/default.ini"), QSettings::IniFormat)
{
    folders.setItemRoleNames({{folderRole, "folderRole"}, {nameRole, "nameRole"}});
}

KestruneCore::~KestruneCore()
{
    // Open logs go from first to last; the vector's own destruction leaves that order open.
    for (OpenLogEntry &entry : openLogs)
        destroyModels(entry);
    openLogs.clear();
}

void KestruneCore::openFolder(QUrl url)
{
    try {
        const FolderScan scan = FolderCatalogue::scanFolder(FolderCatalogue::folderTextOf(url));
        for (const auto &log : scan.logs) {
            auto *item = new QStandardItem;
            item->setData(log.first, nameRole);
            item->setData(scan.folder, folderRole);
            folders.appendRow(item);
        }
    } catch (const std::bad_alloc &) {
        // A tree too large to list: the rows appended so far stay.
    }
}

QObject *KestruneCore::folderModel()
{
    // Without a parent the model would otherwise pass into the engine's ownership.
    QJSEngine::setObjectOwnership(&folders, QJSEngine::CppOwnership);
    return &folders;
}

QObject *KestruneCore::openLog(QString folder, QString serverName)
{
    if (const OpenLogEntry *open = findOpenLog(folder, serverName))
        return open->filter.get();
    const FolderScan scan = FolderCatalogue::scanFolder(folder);
    const auto log = scan.logs.find(serverName);
    if (log == scan.logs.end())
        return nullptr;
    try {
        OpenLogEntry entry {folder, serverName, std::make_unique<LogModel>(), nullptr};
        entry.model->setRecords(LogRecordLoader::loadLogRecords(log->second));
        entry.filter = std::make_unique<LogFilterModel>(this);
        QJSEngine::setObjectOwnership(entry.filter.get(), QJSEngine::CppOwnership);
        entry.filter->setSourceModel(entry.model.get());
        openLogs.push_back(std::move(entry));
    } catch (...) {
        // A log too large for the memory left, for example: nothing is registered, and
        // whatever was built is gone with the entry.
        return nullptr;
    }
    return openLogs.back().filter.get();
}

void KestruneCore::closeLog(QString folder, QString serverName)
{
    const auto isClosed = [&](const OpenLogEntry &entry) {
        return entry.folder == folder && entry.name == serverName;
    };
    // Destroyed here: moving entries to close up the gap would destroy a record model under
    // its filter model.
    for (OpenLogEntry &entry : openLogs) {
        if (isClosed(entry))
            destroyModels(entry);
    }
    openLogs.erase(std::remove_if(openLogs.begin(), openLogs.end(), isClosed), openLogs.end());
}

void KestruneCore::containsOnly(QVariantList filters)
{
    forEachFilter([&](LogFilterModel &filter) { filter.setContainsOnly(filters); });
}

void KestruneCore::containsAll(QVariantList filters)
{
    forEachFilter([&](LogFilterModel &filter) { filter.setContainsAll(filters); });
}

void KestruneCore::showOnlyErrors(bool onlyErrors)
{
    forEachFilter([&](LogFilterModel &filter) { filter.setShowOnlyErrors(onlyErrors); });
}

int KestruneCore::findNext(QString folder, QString serverName, int startsAt, QString str) const
{
    const OpenLogEntry *log = findOpenLog(folder, serverName);
    if (!log)
        return -1;
    try {
        const SearchTextStore *texts = log->model->fetchSearchTexts();
        if (!texts || texts->size() != log->model->allRecords().size())
            return -1;
        const auto &rows = log->filter->acceptedSourceRows();
        const ParallelTextFinder finder(str.toLower());
        const auto count = qsizetype(rows.size());
        // Outside the list the search starts at the nearer end: from the top, or (second
        // pass only) from the top up to the last row.
        const qsizetype start = std::clamp(qsizetype(startsAt), qsizetype(0), count);
        const qsizetype below = finder.findFirst(*texts, rows, start, count);
        return int(below >= 0 ? below : finder.findFirst(*texts, rows, 0, start));
    } catch (...) {
        return -1;
    }
}

// The records are sorted by date text and the visible rows keep their order, so the texts
// along the rows never decrease and the first one after str is found by halving.
int KestruneCore::findDate(QString folder, QString serverName, QString str) const
{
    const OpenLogEntry *log = findOpenLog(folder, serverName);
    if (!log)
        return -1;
    const auto &records = log->model->allRecords();
    const auto &rows = log->filter->acceptedSourceRows();
    const auto after = std::partition_point(
        rows.begin(), rows.end(), [&](int row) { return !(str < records[size_t(row)].dateTime); });
    return after == rows.end() ? -1 : int(after - rows.begin());
}

// A record's number is its row in the record model, and the visible rows keep that order.
int KestruneCore::getIndex(QString folder, QString serverName, int lineNumber) const
{
    const OpenLogEntry *log = findOpenLog(folder, serverName);
    if (!log)
        return -1;
    const auto &records = log->model->allRecords();
    const auto &rows = log->filter->acceptedSourceRows();
    const auto found = std::lower_bound(rows.begin(), rows.end(), lineNumber);
    if (found == rows.end() || records[size_t(*found)].line != lineNumber)
        return -1;
    return int(found - rows.begin());
}

const OpenLogEntry *KestruneCore::findOpenLog(const QString &folder, const QString &name) const
{
    const auto open = std::find_if(openLogs.begin(), openLogs.end(),
        [&](const OpenLogEntry &entry) { return entry.folder == folder && entry.name == name; });
    return open == openLogs.end() ? nullptr : &*open;
}

template<typename Apply>
void KestruneCore::forEachFilter(Apply apply)
{
    for (OpenLogEntry &entry : openLogs) {
        try {
            apply(*entry.filter);
        } catch (...) {
            // The log's search texts could not be built; the other logs are still filtered.
        }
    }
}

QVariant KestruneCore::getSetting(QString key, QVariant defaultValue) const
{
    return settings.value(key, defaultValue);
}

QVariant KestruneCore::getStyle(QString key, QVariant defaultValue) const
{
    return style.value(key, defaultValue);
}
