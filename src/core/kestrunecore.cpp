#include "kestrunecore.h"

#include "foldercatalogue.h"
#include "folderscanjob.h"
#include "matchcount.h"
#include "textfind.h"

#include <QCoreApplication>
#include <QJSEngine>

#include <new>

namespace {
enum FolderRoles { folderRole = Qt::UserRole + 1, nameRole = Qt::UserRole + 2 };

LogOpenJob::FirstFilter filterOf(const QVariantList &texts, bool containsAll, bool onlyErrors,
    const QString &from, const QString &to)
{
    return {texts, containsAll, onlyErrors, DateRange(from, to)};
}

} // namespace

KestruneCore::KestruneCore()
    : KestruneCore(QCoreApplication::applicationDirPath())
{ }

KestruneCore::KestruneCore(const QString &configFolder)
    : QObject(nullptr)
    , folders(nullptr)
    , folderScans(folders)
    , openLogs(this, clipboard)
    , searches(openLogs, clipboard)
    , configuration(configFolder)
{
    folders.setItemRoleNames({{folderRole, "folderRole"}, {nameRole, "nameRole"}});
}

// The registry, a member, destroys the open logs from first to last before the base class
// looks for children.
KestruneCore::~KestruneCore() = default;

void KestruneCore::openFolder(QUrl url)
{
    try {
        folderScans.appendScan(FolderCatalogue::scanFolder(FolderCatalogue::folderTextOf(url)));
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
    return openLogs.openNow(folder, serverName);
}

void KestruneCore::closeLog(QString folder, QString serverName)
{
    openLogs.close(folder, serverName);
}

void KestruneCore::containsOnly(QVariantList filters)
{
    openLogs.forEachFilter([&](LogFilterModel &filter) { filter.setContainsOnly(filters); });
}

void KestruneCore::containsAll(QVariantList filters)
{
    openLogs.forEachFilter([&](LogFilterModel &filter) { filter.setContainsAll(filters); });
}

void KestruneCore::showOnlyErrors(bool onlyErrors)
{
    openLogs.forEachFilter([&](LogFilterModel &filter) { filter.setShowOnlyErrors(onlyErrors); });
}

int KestruneCore::findNext(QString folder, QString serverName, int startsAt, QString str) const
{
    return searches.findNext(folder, serverName, startsAt, str);
}

int KestruneCore::findDate(QString folder, QString serverName, QString str) const
{
    return searches.findDate(folder, serverName, str);
}

int KestruneCore::getIndex(QString folder, QString serverName, int lineNumber) const
{
    return searches.getIndex(folder, serverName, lineNumber);
}

QVariant KestruneCore::getSetting(QString key, QVariant defaultValue) const
{
    return configuration.setting(key, defaultValue);
}

QVariant KestruneCore::getStyle(QString key, QVariant defaultValue) const
{
    return configuration.style(key, defaultValue);
}

void KestruneCore::filterLog(QString folder, QString serverName, QVariantList filters,
    bool containsAll, bool onlyErrors, QString from, QString to)
{
    openLogs.filterNow(folder, serverName, filterOf(filters, containsAll, onlyErrors, from, to));
}

int KestruneCore::findPrevious(QString folder, QString serverName, int startsAt, QString str) const
{
    return searches.findPrevious(folder, serverName, startsAt, str);
}

int KestruneCore::copyRecords(QString folder, QString serverName, int firstRow, int lastRow)
{
    return searches.copyRecords(folder, serverName, firstRow, lastRow);
}

bool KestruneCore::copyMessage(QString folder, QString serverName, int row)
{
    return searches.copyMessage(folder, serverName, row);
}

QVariantMap KestruneCore::recordAt(QString folder, QString serverName, int row) const
{
    return searches.recordAt(folder, serverName, row);
}

QVariantMap KestruneCore::recordPreviewAt(
    QString folder, QString serverName, int row, int maxCharacters) const
{
    return searches.recordPreviewAt(folder, serverName, row, maxCharacters);
}

QString KestruneCore::logStatus(QString folder, QString serverName) const
{
    const OpenLog *log = openLogs.find(folder, serverName);
    return log ? log->notice() : QString();
}

QString KestruneCore::startNotice() const
{
    return startNotices.join(QLatin1Char('\n'));
}

QObject *KestruneCore::openLogAsync(QString folder, QString serverName, QVariantList filters,
    bool containsAll, bool onlyErrors, QString from, QString to)
{
    return openLogs.openInBackground(
        folder, serverName, filterOf(filters, containsAll, onlyErrors, from, to));
}

QObject *KestruneCore::reloadLogAsync(QString folder, QString serverName, QVariantList filters,
    bool containsAll, bool onlyErrors, QString from, QString to)
{
    return openLogs.reloadInBackground(
        folder, serverName, filterOf(filters, containsAll, onlyErrors, from, to));
}

void KestruneCore::cancelLoad(QString folder, QString serverName)
{
    openLogs.cancelLoad(folder, serverName);
}

void KestruneCore::closeLogAsync(QString folder, QString serverName)
{
    openLogs.closeInBackground(folder, serverName);
}

QVariantMap KestruneCore::logRecordCounts(QString folder, QString serverName) const
{
    const OpenLog *log = openLogs.find(folder, serverName);
    if (!log || !log->entry())
        return {};
    return {{QStringLiteral("shown"), log->shownRecords()},
        {QStringLiteral("total"), log->totalRecords()},
        {QStringLiteral("filtered"), log->isFiltered()},
        {QStringLiteral("memory"), double(log->entry()->model->memoryBytes())}};
}

bool KestruneCore::searchTextsReady() const
{
    return openLogs.searchTextsReady();
}

int KestruneCore::filterLogsAsync(
    QVariantList filters, bool containsAll, bool onlyErrors, QString from, QString to)
{
    return openLogs.filterInBackground(filterOf(filters, containsAll, onlyErrors, from, to));
}

QObject *KestruneCore::openFolderAsync(QUrl url)
{
    QObject *job = folderScans.startScan(FolderCatalogue::folderTextOf(url));
    QJSEngine::setObjectOwnership(job, QJSEngine::CppOwnership);
    return job;
}

void KestruneCore::cancelFolderScans()
{
    folderScans.cancelAll();
}

QObject *KestruneCore::folderScanModel()
{
    QJSEngine::setObjectOwnership(&folderScans, QJSEngine::CppOwnership);
    return &folderScans;
}

QString KestruneCore::folderNotice(QString folder) const
{
    return folderScans.noticeOf(folder);
}

QString KestruneCore::recordNotice(QString folder, QString serverName, int row) const
{
    return searches.recordNotice(folder, serverName, row);
}

void KestruneCore::followLog(QString folder, QString serverName, bool follow)
{
    openLogs.setFollowing(folder, serverName, follow);
}

bool KestruneCore::isFollowing(QString folder, QString serverName) const
{
    const OpenLog *log = openLogs.find(folder, serverName);
    return log && log->isFollowing();
}

namespace {

// An object made for QML goes when QML no longer holds it.
QObject *ownedByCaller(QObject *object)
{
    if (object)
        QJSEngine::setObjectOwnership(object, QJSEngine::JavaScriptOwnership);
    return object;
}

} // namespace

QObject *KestruneCore::countMatchesAsync(QString folder, QString serverName, QString str)
{
    return ownedByCaller(searches.countMatches(folder, serverName, str));
}

QObject *KestruneCore::findNextAsync(QString folder, QString serverName, int startsAt, QString str)
{
    return ownedByCaller(searches.findNextAsync(folder, serverName, startsAt, str));
}

QObject *KestruneCore::findPreviousAsync(
    QString folder, QString serverName, int startsAt, QString str)
{
    return ownedByCaller(searches.findPreviousAsync(folder, serverName, startsAt, str));
}

QString KestruneCore::unmatchableDateForm(QString folder, QString serverName, QString str) const
{
    return searches.unmatchableDateForm(folder, serverName, str);
}

void KestruneCore::addStartNotice(const QString &line)
{
    startNotices.append(line);
}

QVariantMap KestruneCore::startLog() const
{
    return startLogKey;
}

void KestruneCore::setStartLog(const QString &folder, const QString &name)
{
    startLogKey = {{QStringLiteral("folder"), folder}, {QStringLiteral("name"), name}};
}
