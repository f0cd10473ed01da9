#include "kestrunecore.h"

#include "indexedfinder.h"

#include "foldercatalogue.h"
#include "folderscanjob.h"
#include "parallelfor.h"
#include "paralleltextfinder.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QLocale>

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

QString reasonOf(Failure failure)
{
    switch (failure) {
    case Failure::outOfMemory:
        return QCoreApplication::translate("KestruneCore", "not enough memory");
    case Failure::fileChanged:
        return QCoreApplication::translate(
            "KestruneCore", "a file of this log changed on disk, F5 reads it again");
    default:
        return QCoreApplication::translate("KestruneCore", "an unexpected error");
    }
}

QString openFailureText(Failure failure)
{
    return QCoreApplication::translate("KestruneCore", "Could not open this log: %1.")
        .arg(reasonOf(failure));
}

// A finder over the search texts of records held in memory.
struct TextStoreFinder
{
    ParallelTextFinder finder;
    const SearchTextStore &texts;

    [[nodiscard]] qsizetype findFirst(
        const std::vector<int> &rows, qsizetype begin, qsizetype end) const
    {
        return finder.findFirst(texts, rows, begin, end);
    }
    [[nodiscard]] qsizetype findLast(
        const std::vector<int> &rows, qsizetype begin, qsizetype end) const
    {
        return finder.findLast(texts, rows, begin, end);
    }
};

// Runs search(finder, rows) with a finder of str over the log's visible rows; -1 when the log
// has no search texts.
template<typename Search>
int searchVisibleRows(const OpenLogEntry &log, const QString &str, const Search &search)
{
    if (const std::shared_ptr<const RecordIndex> &index = log.model->recordIndex())
        return search(IndexedFinder(*index, str.toLower()), log.filter->acceptedSourceRows());
    const SearchTextStore *texts = log.model->fetchSearchTexts();
    if (!texts || texts->size() != log.model->allRecords().size())
        return -1;
    return int(search(TextStoreFinder {ParallelTextFinder(str.toLower()), *texts},
        log.filter->acceptedSourceRows()));
}

// The next row from startsAt on whose text contains str, wrapping around once; -1 when none
// does or the log has no search texts.
int findNextRow(const OpenLogEntry &log, int startsAt, const QString &str)
{
    return searchVisibleRows(
        log, str, [startsAt](const auto &finder, const std::vector<int> &rows) {
            const auto count = qsizetype(rows.size());
            // Outside the list the search starts at the nearer end: from the top, or (second
            // pass only) from the top up to the last row.
            const qsizetype start = std::clamp(qsizetype(startsAt), qsizetype(0), count);
            const qsizetype below = finder.findFirst(rows, start, count);
            return below >= 0 ? below : finder.findFirst(rows, 0, start);
        });
}

// The mirror of findNextRow: from startsAt down to row 0, then from the last row down.
int findPreviousRow(const OpenLogEntry &log, int startsAt, const QString &str)
{
    return searchVisibleRows(
        log, str, [startsAt](const auto &finder, const std::vector<int> &rows) {
            const auto count = qsizetype(rows.size());
            const qsizetype end = std::clamp(qsizetype(startsAt) + 1, qsizetype(0), count);
            const qsizetype above = finder.findLast(rows, 0, end);
            return above >= 0 ? above : finder.findLast(rows, end, count);
        });
}

} // namespace

KestruneCore::KestruneCore()
    : KestruneCore(QCoreApplication::applicationDirPath())
{ }

KestruneCore::KestruneCore(const QString &configFolder)
    : QObject(nullptr)
    , folders(nullptr)
    , folderScans(folders)
    , configuration(configFolder)
{
    folders.setItemRoleNames({{folderRole, "folderRole"}, {nameRole, "nameRole"}});
    connect(&folderScans, &FolderScanQueue::scanFinished, this, &KestruneCore::folderScanFinished);
    filterWork.setMaxThreadCount(1);
}

KestruneCore::~KestruneCore()
{
    clipboard.waitForCopy();
    for (const auto &load : loadJobs)
        load.second->cancel();
    backgroundWork.waitForDone();
    filterWork.waitForDone();
    // Open logs go from first to last; the vector's own destruction leaves that order open.
    for (OpenLogEntry &entry : openLogs)
        destroyModels(entry);
    openLogs.clear();
}

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
    if (const OpenLogEntry *open = findOpenLog(folder, serverName))
        return open->filter.get();
    cancelLoad(folder, serverName);
    failedOpens.erase({folder, serverName});
    QString whyNot;
    // A log too large for the memory left, for example: nothing is registered, and whatever
    // was built is gone with the entry.
    const Failure failure = failureOf([&] { whyNot = openNewLog(folder, serverName); });
    if (failure == Failure::none && whyNot.isEmpty())
        return findOpenLog(folder, serverName)->filter.get();
    // Saying why takes a little memory as well; without it the log simply stays unopened.
    (void)failureOf([&] {
        failedOpens[{folder, serverName}]
            = failure == Failure::none ? whyNot : openFailureText(failure);
    });
    return nullptr;
}

// Loads a log and registers it; returns why it could not, or an empty text.
QString KestruneCore::openNewLog(const QString &folder, const QString &name)
{
    (void)registerLoaded(folder, name, LogOpenJob::loadEntry(folder, name, nullptr, {}));
    const auto failed = failedOpens.find({folder, name});
    return failed == failedOpens.end() ? QString() : failed->second;
}

std::optional<OpenLogEntry> KestruneCore::registerLoaded(
    const QString &folder, const QString &name, LogOpenJob::Loaded &&loaded)
{
    failedOpens.erase({folder, name});
    if (!loaded.entry) {
        failedOpens[{folder, name}] = !loaded.refusal.isEmpty() ? loaded.refusal
            : loaded.failure == Failure::none
            ? tr("Could not open this log: none of its files were found.")
            : openFailureText(loaded.failure);
        return std::nullopt;
    }
    OpenLogEntry &entry = *loaded.entry;
    entry.filter->setParent(this);
    QJSEngine::setObjectOwnership(entry.filter.get(), QJSEngine::CppOwnership);
    const auto open = findOpenEntry(folder, name);
    if (open == openLogs.end()) {
        openLogs.push_back(std::move(entry));
        return std::nullopt;
    }
    // Moved out whole first: assigning over the entry would destroy its record model before
    // its filter model.
    std::optional<OpenLogEntry> replaced(std::move(*open));
    *open = std::move(entry);
    return replaced;
}

void KestruneCore::closeLog(QString folder, QString serverName)
{
    clipboard.waitForCopy();
    cancelLoad(folder, serverName);
    failedOpens.erase({folder, serverName});
    const auto isClosed = [&](const OpenLogEntry &entry) {
        return entry.folder == folder && entry.name == serverName;
    };
    // A filter pass may still read the record model.
    filterWork.waitForDone();
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

void KestruneCore::filterLog(
    QString folder, QString serverName, QVariantList filters, bool containsAll, bool onlyErrors)
{
    clipboard.waitForCopy();
    if (const OpenLogEntry *log = findOpenLog(folder, serverName))
        log->filter->setFilter(filters, !containsAll, onlyErrors);
}

int KestruneCore::findNext(QString folder, QString serverName, int startsAt, QString str) const
{
    return searchText(folder, serverName,
        [&](const OpenLogEntry &log) { return findNextRow(log, startsAt, str); });
}

int KestruneCore::findPrevious(QString folder, QString serverName, int startsAt, QString str) const
{
    return searchText(folder, serverName,
        [&](const OpenLogEntry &log) { return findPreviousRow(log, startsAt, str); });
}

template<typename Search>
int KestruneCore::searchText(const QString &folder, const QString &name, Search search) const
{
    const OpenLogEntry *log = findOpenLog(folder, name);
    if (!log)
        return -1;
    int row = -1;
    const Failure failure = failureOf([&] { row = search(*log); });
    // A log whose search texts could not be built cannot be searched either.
    log->searchFailure = failure != Failure::none ? failure : log->model->searchTextsFailure();
    return row;
}

int KestruneCore::copyRecords(QString folder, QString serverName, int firstRow, int lastRow)
{
    const OpenLogEntry *log = findOpenLog(folder, serverName);
    return log ? clipboard.copyRecords(*log, firstRow, lastRow) : 0;
}

bool KestruneCore::copyMessage(QString folder, QString serverName, int row)
{
    const OpenLogEntry *log = findOpenLog(folder, serverName);
    return log && clipboard.copyMessage(*log, row);
}

QVariantMap KestruneCore::recordAt(QString folder, QString serverName, int row) const
{
    const OpenLogEntry *log = findOpenLog(folder, serverName);
    const std::optional<QarnLogParser::QarnLog> record
        = log ? log->visibleRecord(row) : std::nullopt;
    if (!record)
        return {};
    return {{QStringLiteral("dateTimeRole"), record->dateTime},
        {QStringLiteral("logTypeRole"), record->logType},
        {QStringLiteral("threadIDRole"), record->threadID},
        {QStringLiteral("moduleNameRole"), record->moduleName},
        {QStringLiteral("cppFileNameRole"), record->cppFileName},
        {QStringLiteral("cppLineRole"), record->cppLine},
        {QStringLiteral("messageRole"), record->message}};
}

// The records are sorted by date text and the visible rows keep their order, so the texts
// along the rows never decrease and the first one after str is found by halving.
int KestruneCore::findDate(QString folder, QString serverName, QString str) const
{
    const OpenLogEntry *log = findOpenLog(folder, serverName);
    if (!log)
        return -1;
    const LogModel &model = *log->model;
    const auto &rows = log->filter->acceptedSourceRows();
    const auto after = std::partition_point(
        rows.begin(), rows.end(), [&](int row) { return !(str < model.dateTimeAt(size_t(row))); });
    return after == rows.end() ? -1 : int(after - rows.begin());
}

// A record's number is its row in the record model, and the visible rows keep that order.
int KestruneCore::getIndex(QString folder, QString serverName, int lineNumber) const
{
    const OpenLogEntry *log = findOpenLog(folder, serverName);
    if (!log)
        return -1;
    const auto &rows = log->filter->acceptedSourceRows();
    const auto found = std::lower_bound(rows.begin(), rows.end(), lineNumber);
    if (found == rows.end() || *found != lineNumber)
        return -1;
    return int(found - rows.begin());
}

QString KestruneCore::logStatus(QString folder, QString serverName) const
{
    QString status;
    // Made in a program short of memory, the text itself may fail: then nothing is said.
    (void)failureOf([&] {
        QStringList lines;
        if (const OpenLogEntry *log = findOpenLog(folder, serverName)) {
            lines = log->notices;
            if (const Failure failure = log->filter->passFailure(); failure != Failure::none)
                lines.append(tr("The filter could not run: %1. No records are shown.")
                                 .arg(reasonOf(failure)));
            if (log->searchFailure != Failure::none)
                lines.append(tr("The search could not run: %1.").arg(reasonOf(log->searchFailure)));
        } else if (const auto failed = failedOpens.find({folder, serverName});
                   failed != failedOpens.end()) {
            lines.append(failed->second);
        }
        status = lines.join(QLatin1Char('\n'));
    });
    return status;
}

QString KestruneCore::startNotice() const
{
    return startNotices.join(QLatin1Char('\n'));
}

void KestruneCore::addStartNotice(const QString &line)
{
    startNotices.append(line);
}

QObject *KestruneCore::openLogAsync(
    QString folder, QString serverName, QVariantList filters, bool containsAll, bool onlyErrors)
{
    if (findOpenLog(folder, serverName))
        return nullptr;
    latestFilter = LogOpenJob::FirstFilter {filters, containsAll, onlyErrors};
    return startLoad(folder, serverName, *latestFilter);
}

QObject *KestruneCore::reloadLogAsync(
    QString folder, QString serverName, QVariantList filters, bool containsAll, bool onlyErrors)
{
    latestFilter = LogOpenJob::FirstFilter {filters, containsAll, onlyErrors};
    return startLoad(folder, serverName, *latestFilter);
}

void KestruneCore::cancelLoad(QString folder, QString serverName)
{
    const auto load = loadJobs.find({folder, serverName});
    if (load == loadJobs.end())
        return;
    load->second->cancel();
    loadJobs.erase(load);
}

void KestruneCore::closeLogAsync(QString folder, QString serverName)
{
    clipboard.waitForCopy();
    cancelLoad(folder, serverName);
    failedOpens.erase({folder, serverName});
    if (std::optional<OpenLogEntry> closed = takeOpenLog(folder, serverName))
        disposeInBackground(std::move(*closed));
}

QVariantMap KestruneCore::logRecordCounts(QString folder, QString serverName) const
{
    const OpenLogEntry *log = findOpenLog(folder, serverName);
    if (!log)
        return {};
    return {{QStringLiteral("shown"), log->filter->rowCount()},
        {QStringLiteral("total"), log->model->rowCount()},
        {QStringLiteral("filtered"), log->filter->hasFilter()},
        {QStringLiteral("memory"), double(log->model->memoryBytes())}};
}

bool KestruneCore::searchTextsReady() const
{
    return std::all_of(openLogs.begin(), openLogs.end(),
        [](const OpenLogEntry &log) { return log.model->searchTextsReady(); });
}

int KestruneCore::filterLogsAsync(QVariantList filters, bool containsAll, bool onlyErrors)
{
    const int generation = ++filterGeneration;
    latestFilter = LogOpenJob::FirstFilter {filters, containsAll, onlyErrors};
    std::vector<FilterTarget> targets;
    for (const OpenLogEntry &entry : openLogs) {
        if (entry.filter->hasSettings(filters, !containsAll, onlyErrors))
            continue;
        // Taken here, where every other reader of the search texts runs: the worker then only
        // reads them.
        if (!filters.isEmpty())
            (void)entry.model->fetchSearchTexts();
        targets.push_back({entry.filter.get(), entry.model.get(), {}});
    }
    filterWork.start([this, generation, filters, containsAll, onlyErrors,
                         targets = std::move(targets)]() mutable {
        makeThisThreadBackground();
        for (FilterTarget &target : targets) {
            if (filterGeneration != generation)
                return;
            target.pass
                = LogFilterModel::computePass(*target.model, filters, !containsAll, onlyErrors);
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, targets = std::move(targets)]() mutable {
                finishFilterPass(generation, targets);
            },
            Qt::QueuedConnection);
    });
    return generation;
}

// On the interface thread, where the filter models live.
void KestruneCore::finishFilterPass(int generation, std::vector<FilterTarget> &targets)
{
    if (generation != filterGeneration)
        return;
    clipboard.waitForCopy();
    for (FilterTarget &target : targets) {
        if (target.filter)
            target.filter->installPass(std::move(target.pass));
    }
    emit logsFiltered(generation);
}

LogOpenJob *KestruneCore::startLoad(
    const QString &folder, const QString &name, const LogOpenJob::FirstFilter &filter)
{
    LogOpenJob *&job = loadJobs[{folder, name}];
    if (job)
        return job;
    job = new LogOpenJob(folder, name, filter, backgroundWork, this);
    QJSEngine::setObjectOwnership(job, QJSEngine::CppOwnership);
    LogOpenJob *started = job;
    connect(started, &LogOpenJob::progressChanged, this, [this, started] {
        emit logLoadProgress(
            started->folder(), started->name(), started->bytesRead(), started->totalBytes());
    });
    connect(started, &LogOpenJob::finished, this, [this, started] { finishLoad(started); });
    return started;
}

// The new models are bound by the signal's receivers before the replaced ones go.
// applied: the filter that refilterLoaded gave the load, which then needs no other pass
// unless the filter changed again (a pass that failed is not run again).
void KestruneCore::finishLoad(
    LogOpenJob *job, const std::optional<LogOpenJob::FirstFilter> &applied)
{
    if (!job->isCancelled() && !(applied == latestFilter) && refilterLoaded(job))
        return;
    job->deleteLater();
    LogOpenJob::Loaded loaded = job->takeResult();
    std::optional<OpenLogEntry> replaced;
    if (job->isCancelled()) {
        if (loaded.entry)
            replaced = std::move(*loaded.entry);
    } else {
        loadJobs.erase({job->folder(), job->name()});
        const bool loadedAny = loaded.entry != nullptr;
        (void)failureOf(
            [&] { replaced = registerLoaded(job->folder(), job->name(), std::move(loaded)); });
        // A reload that failed leaves the log closed, as closing and opening it would.
        if (!loadedAny)
            replaced = takeOpenLog(job->folder(), job->name());
        const bool opened = findOpenLog(job->folder(), job->name()) != nullptr;
        emit logLoadFinished(job->folder(), job->name(), opened, job->elapsedMilliseconds());
    }
    if (replaced) {
        clipboard.waitForCopy();
        disposeInBackground(std::move(*replaced));
    }
}

// A filter changed while the log loaded reaches it here, so that the window never shows its
// rows under the older one. The job keeps the models until finishLoad takes them; a cancel
// meanwhile is seen there.
bool KestruneCore::refilterLoaded(LogOpenJob *job)
{
    OpenLogEntry *entry = job->loadedEntry();
    if (!entry || !latestFilter
        || entry->filter->hasSettings(
            latestFilter->texts, !latestFilter->containsAll, latestFilter->onlyErrors))
        return false;
    const LogModel *model = entry->model.get();
    filterWork.start([this, job, model, filter = *latestFilter] {
        makeThisThreadBackground();
        auto pass = std::make_shared<LogFilterModel::Pass>(LogFilterModel::computePass(
            *model, filter.texts, !filter.containsAll, filter.onlyErrors));
        QMetaObject::invokeMethod(
            this,
            [this, job, pass, filter] {
                job->loadedEntry()->filter->installPass(std::move(*pass));
                finishLoad(job, filter);
            },
            Qt::QueuedConnection);
    });
    return true;
}

std::optional<OpenLogEntry> KestruneCore::takeOpenLog(const QString &folder, const QString &name)
{
    const auto open = findOpenEntry(folder, name);
    if (open == openLogs.end())
        return std::nullopt;
    std::optional<OpenLogEntry> taken(std::move(*open));
    openLogs.erase(open);
    return taken;
}

std::vector<OpenLogEntry>::iterator KestruneCore::findOpenEntry(
    const QString &folder, const QString &name)
{
    return std::find_if(openLogs.begin(), openLogs.end(),
        [&](const OpenLogEntry &log) { return log.folder == folder && log.name == name; });
}

// The filter model goes at once, before its source; the record model, which holds the log's
// memory, on a worker, where nothing else can reach it any more.
void KestruneCore::disposeInBackground(OpenLogEntry &&entry)
{
    entry.filter.reset();
    LogModel *model = entry.model.release();
    if (!model)
        return;
    model->moveToThread(nullptr);
    backgroundWork.start([this, model] {
        makeThisThreadBackground();
        filterWork.waitForDone();
        delete model;
    });
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
    clipboard.waitForCopy();
    for (OpenLogEntry &entry : openLogs)
        apply(*entry.filter);
}

QVariant KestruneCore::getSetting(QString key, QVariant defaultValue) const
{
    return configuration.setting(key, defaultValue);
}

QVariant KestruneCore::getStyle(QString key, QVariant defaultValue) const
{
    return configuration.style(key, defaultValue);
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
    const OpenLogEntry *log = findOpenLog(folder, serverName);
    const std::shared_ptr<const RecordIndex> index = log ? log->model->recordIndex() : nullptr;
    const auto &rows = log ? log->filter->acceptedSourceRows() : std::vector<int>();
    if (!index || row < 0 || size_t(row) >= rows.size())
        return {};
    for (const RecordIndex::UnclosedBlock &block : index->unclosedBlocks()) {
        if (block.row == size_t(rows[size_t(row)])) {
            return tr("This record's message block was never closed; it took in %1 lines, "
                      "the header lines of later records among them.")
                .arg(QLocale(QLocale::English, QLocale::UnitedStates).toString(block.lines));
        }
    }
    return {};
}
