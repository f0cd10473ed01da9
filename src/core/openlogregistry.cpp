#include "openlogregistry.h"

#include "memorybudget.h"
#include "parallelfor.h"
#include "recordclipboard.h"
#include "updatedrows.h"

#include <QElapsedTimer>
#include <QJSEngine>

#include <algorithm>
#include <chrono>

namespace {

// How often a filter pass that waits for search texts looks whether it was superseded.
constexpr std::chrono::milliseconds supersededCheck(20);

// Starts the one wait for a log's search texts, unless it has started, and tells the log once
// they are taken; a log closed or reloaded by then is not told.
void takeSearchTexts(OpenLog *log, OpenLogEntry &entry, QObject *context)
{
    if (entry.searchTextsTaken.valid())
        return;
    const LogModel *model = entry.model.get();
    const QPointer<OpenLog> receiver(log);
    entry.searchTextsTaken = runInBackground([model, receiver, context] {
        (void)model->fetchSearchTexts();
        QMetaObject::invokeMethod(
            context,
            [model, receiver] {
                if (receiver && receiver->entry() && receiver->entry()->model.get() == model)
                    receiver->setSearchTextsReady();
            },
            Qt::QueuedConnection);
    }).share();
}

} // namespace

OpenLogRegistry::OpenLogRegistry(QObject *modelParent, RecordClipboard &clipboard)
    : modelParent(modelParent)
    , clipboard(clipboard)
{
    filterWork.setMaxThreadCount(1);
}

OpenLogRegistry::~OpenLogRegistry()
{
    followers.clear();
    clipboard.waitForCopy();
    for (const std::unique_ptr<OpenLog> &log : logs) {
        if (LogOpenJob *job = log->job())
            job->cancel();
    }
    backgroundWork.waitForDone();
    filterWork.waitForDone();
    for (const std::unique_ptr<OpenLog> &log : logs) {
        if (std::optional<OpenLogEntry> entry = log->detach())
            destroyNow(std::move(*entry));
    }
    logs.clear();
    parked.clear();
}

OpenLog *OpenLogRegistry::find(const QString &folder, const QString &name) const
{
    const auto found
        = std::find_if(logs.begin(), logs.end(), [&](const std::unique_ptr<OpenLog> &log) {
              return log->folder() == folder && log->name() == name;
          });
    return found == logs.end() ? nullptr : found->get();
}

const OpenLogEntry *OpenLogRegistry::findEntry(const QString &folder, const QString &name) const
{
    const OpenLog *log = find(folder, name);
    return log ? log->entry() : nullptr;
}

const OpenLogEntry *OpenLogRegistry::searchableEntry(
    const QString &folder, const QString &name) const
{
    const OpenLogEntry *entry = findEntry(folder, name);
    if (entry)
        entry->waitForSearchTexts();
    return entry;
}

QObject *OpenLogRegistry::openNow(const QString &folder, const QString &name)
{
    OpenLog *log = findOrAdd(folder, name);
    if (log->entry())
        return log->entry()->filter.get();
    if (log->job()) {
        log->job()->cancel();
        log->dropLoad();
    }
    QElapsedTimer clock;
    clock.start();
    LogOpenJob::Loaded loaded;
    // A log too large for the memory left, for example: nothing is shown, and whatever was
    // built is gone with the entry.
    const Failure failure
        = failureOf([&] { loaded = LogOpenJob::loadEntry(folder, name, nullptr, {}); });
    if (failure != Failure::none)
        loaded = {nullptr, failure, {}};
    // Shown on this thread only, the log's search texts are left to its own readers until a
    // background filter pass or the window asks for them.
    (void)takeLoaded(log, std::move(loaded), double(clock.nsecsElapsed()) / 1e6, false);
    return log->entry() ? log->entry()->filter.get() : nullptr;
}

OpenLog *OpenLogRegistry::openInBackground(
    const QString &folder, const QString &name, const Filter &filter)
{
    latestFilter = filter;
    OpenLog *log = findOrAdd(folder, name);
    if (log->job())
        return log;
    OpenLogEntry *entry = log->entry();
    if (!entry) {
        startLoad(log, filter);
        return log;
    }
    takeSearchTexts(log, *entry, this);
    if (!entry->filter->hasSettings(
            filter.texts, !filter.containsAll, filter.onlyErrors, filter.range)) {
        std::vector<FilterTarget> target;
        target.push_back(targetOf(log, *entry));
        runPasses(filterGeneration, filter, std::move(target));
    }
    return log;
}

OpenLog *OpenLogRegistry::reloadInBackground(
    const QString &folder, const QString &name, const Filter &filter)
{
    latestFilter = filter;
    OpenLog *log = findOrAdd(folder, name);
    if (!log->job())
        startLoad(log, filter);
    return log;
}

void OpenLogRegistry::cancelLoad(const QString &folder, const QString &name)
{
    OpenLog *log = find(folder, name);
    if (!log || !log->job())
        return;
    log->job()->cancel();
    log->dropLoad();
    if (!log->entry())
        park(log);
}

void OpenLogRegistry::close(const QString &folder, const QString &name)
{
    if (std::optional<OpenLogEntry> entry = takeClosed(folder, name)) {
        // A filter pass may still read the record model.
        filterWork.waitForDone();
        destroyNow(std::move(*entry));
    }
}

void OpenLogRegistry::closeInBackground(const QString &folder, const QString &name)
{
    if (std::optional<OpenLogEntry> entry = takeClosed(folder, name))
        disposeInBackground(std::move(*entry));
}

std::optional<OpenLogEntry> OpenLogRegistry::takeClosed(const QString &folder, const QString &name)
{
    cancelLoad(folder, name);
    OpenLog *log = find(folder, name);
    if (!log)
        return std::nullopt;
    std::optional<OpenLogEntry> entry = log->detach();
    park(log);
    return entry;
}

void OpenLogRegistry::filterNow(const QString &folder, const QString &name, const Filter &filter)
{
    if (const OpenLogEntry *entry = searchableEntry(folder, name))
        entry->filter->setFilter(
            filter.texts, !filter.containsAll, filter.onlyErrors, filter.range);
}

// The logs keep their rows while the passes run. Each target holds its log's search texts,
// for which the worker waits, not this thread.
int OpenLogRegistry::filterInBackground(const Filter &filter)
{
    const int generation = ++filterGeneration;
    latestFilter = filter;
    std::vector<FilterTarget> targets;
    for (const std::unique_ptr<OpenLog> &log : logs) {
        OpenLogEntry *entry = log->entry();
        const bool target = entry
            && !entry->filter->hasSettings(
                filter.texts, !filter.containsAll, filter.onlyErrors, filter.range);
        if (target)
            targets.push_back(targetOf(log.get(), *entry));
        else
            log->setFilterPending(false);
    }
    runPasses(generation, filter, std::move(targets));
    return generation;
}

// A log whose texts no worker takes is asked itself: nothing else waits for them then.
bool OpenLogRegistry::searchTextsReady() const
{
    return std::all_of(logs.begin(), logs.end(), [](const std::unique_ptr<OpenLog> &log) {
        const OpenLogEntry *entry = log->entry();
        return !entry || log->searchTextsReady()
            || (!entry->searchTextsTaken.valid() && entry->model->searchTextsReady());
    });
}

OpenLog *OpenLogRegistry::findOrAdd(const QString &folder, const QString &name)
{
    if (OpenLog *open = find(folder, name))
        return open;
    const auto closed
        = std::find_if(parked.begin(), parked.end(), [&](const std::unique_ptr<OpenLog> &log) {
              return log->folder() == folder && log->name() == name;
          });
    if (closed != parked.end()) {
        logs.push_back(std::move(*closed));
        parked.erase(closed);
        return logs.back().get();
    }
    logs.push_back(std::make_unique<OpenLog>(folder, name));
    OpenLog *log = logs.back().get();
    QJSEngine::setObjectOwnership(log, QJSEngine::CppOwnership);
    return log;
}

// The log's rows stay until the pass is in; its search texts are taken on a worker, for which
// the pass waits.
OpenLogRegistry::FilterTarget OpenLogRegistry::targetOf(OpenLog *log, OpenLogEntry &entry)
{
    takeSearchTexts(log, entry, this);
    log->setFilterPending(true);
    return {log, entry.filter.get(), entry.model.get(), entry.searchTextsTaken, {}};
}

void OpenLogRegistry::startLoad(OpenLog *log, const Filter &filter)
{
    auto *job = new LogOpenJob(log->folder(), log->name(), filter, backgroundWork, this);
    QJSEngine::setObjectOwnership(job, QJSEngine::CppOwnership);
    connect(job, &LogOpenJob::finished, this, [this, job] { finishLoad(job); });
    log->followLoad(job);
}

// The new models are bound by the log's receivers before the replaced ones go. applied: the
// filter that refilterLoaded gave the load, which then needs no other pass unless the filter
// changed again (a pass that failed is not run again). A load that no log follows any more
// was dropped: what it built is freed.
void OpenLogRegistry::finishLoad(LogOpenJob *job, const std::optional<Filter> &applied)
{
    const auto owner = std::find_if(logs.begin(), logs.end(),
        [job](const std::unique_ptr<OpenLog> &log) { return log->job() == job; });
    OpenLog *log = owner == logs.end() ? nullptr : owner->get();
    if (log && !(applied == latestFilter) && refilterLoaded(job))
        return;
    job->deleteLater();
    LogOpenJob::Loaded loaded = job->takeResult();
    std::optional<OpenLogEntry> replaced;
    if (!log) {
        if (loaded.entry)
            replaced = std::move(*loaded.entry);
    } else {
        replaced = takeLoaded(log, std::move(loaded), job->elapsedMilliseconds(), true);
    }
    if (replaced) {
        disposeInBackground(std::move(*replaced));
    }
}

// A filter changed while the log loaded reaches it here, so that the window never shows its
// rows under the older one. The job keeps the models until finishLoad takes them; a drop
// meanwhile is seen there.
bool OpenLogRegistry::refilterLoaded(LogOpenJob *job)
{
    OpenLogEntry *entry = job->loadedEntry();
    if (!entry || !latestFilter
        || entry->filter->hasSettings(latestFilter->texts, !latestFilter->containsAll,
            latestFilter->onlyErrors, latestFilter->range))
        return false;
    const LogModel *model = entry->model.get();
    filterWork.start([this, job, model, filter = *latestFilter] {
        makeThisThreadBackground();
        auto pass = std::make_shared<LogFilterModel::Pass>(LogFilterModel::computePass(
            *model, filter.texts, !filter.containsAll, filter.onlyErrors, filter.range));
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

// A load without models leaves the log's models as they were: a failed reload keeps what
// was shown. Saying why takes a little memory as well; without it the log simply says less.
std::optional<OpenLogEntry> OpenLogRegistry::takeLoaded(
    OpenLog *log, LogOpenJob::Loaded &&loaded, double milliseconds, bool takeTexts)
{
    if (!loaded.entry) {
        log->fail(loaded.failure, loaded.refusal);
        return std::nullopt;
    }
    OpenLogEntry &entry = *loaded.entry;
    entry.filter->setParent(modelParent);
    QJSEngine::setObjectOwnership(entry.filter.get(), QJSEngine::CppOwnership);
    if (takeTexts)
        takeSearchTexts(log, entry, this);
    return log->attach(std::move(entry), milliseconds);
}

// On the interface thread: the filter models change their rows in place.
void OpenLogRegistry::prepareFilterChange()
{
    for (const std::unique_ptr<OpenLog> &log : logs) {
        if (const OpenLogEntry *entry = log->entry())
            entry->waitForSearchTexts();
    }
}

void OpenLogRegistry::runPasses(
    int generation, const Filter &filter, std::vector<FilterTarget> &&targets)
{
    filterWork.start([this, generation, filter, targets = std::move(targets)]() mutable {
        makeThisThreadBackground();
        const auto superseded = [&] {
            return filterGeneration != generation;
        };
        for (FilterTarget &target : targets) {
            if (!filter.texts.isEmpty()) {
                while (target.searchTexts.valid()
                    && target.searchTexts.wait_for(supersededCheck) != std::future_status::ready) {
                    if (superseded())
                        return;
                }
            }
            if (superseded())
                return;
            target.pass = LogFilterModel::computePass(
                *target.model, filter.texts, !filter.containsAll, filter.onlyErrors, filter.range);
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, targets = std::move(targets)]() mutable {
                finishPasses(generation, targets);
            },
            Qt::QueuedConnection);
    });
}

// On the interface thread, where the filter models live. A log closed or reloaded during the
// pass is left out.
void OpenLogRegistry::finishPasses(int generation, std::vector<FilterTarget> &targets)
{
    if (generation != filterGeneration)
        return;
    for (FilterTarget &target : targets) {
        if (target.log && target.filter)
            target.log->noteFiltering();
        if (target.filter)
            target.filter->installPass(std::move(target.pass));
        if (target.log) {
            target.log->setFilterPending(false);
            if (target.filter)
                target.log->noteFiltered(generation);
        }
    }
}

void OpenLogRegistry::setFollowing(const QString &folder, const QString &name, bool on)
{
    OpenLog *log = find(folder, name);
    if (!log || (on && !log->entry()))
        return;
    if (!on) {
        followers.erase(log);
    } else if (!followers.count(log)) {
        auto follower = std::make_unique<LogFollower>(log);
        connect(follower.get(), &LogFollower::updated, this,
            [this, log](
                const std::shared_ptr<LogFollower::Update> &update) { takeUpdate(log, *update); });
        followers.emplace(log, std::move(follower));
    }
    log->setFollowing(on);
}

// The new filter model continues the shown one: it takes its rows before the first that the
// update changed. One made under an older filter is dropped, and the files are looked at again.
void OpenLogRegistry::takeUpdate(OpenLog *log, LogFollower::Update &update)
{
    log->setFollowNotice(update.events, update.gone);
    OpenLogEntry *entry = log->entry();
    if (!update.files || !entry || log->job() || entry->model->recordIndex() != update.files->old())
        return;
    OpenLogEntry next {log->folder(), log->name(), std::make_unique<LogModel>(),
        std::make_unique<LogFilterModel>(), entry->notices};
    next.model->setFreeMemory(&MemoryBudget::processAvailableBytes);
    next.model->setIndex(update.files->updated());
    next.filter->setSourceModel(next.model.get());
    const int before = entry->filter->rowCount();
    const UpdatedRows shown(*entry->filter, update.files);
    if (update.pass.failure != Failure::none) {
        next.filter->installPass(std::move(update.pass));
    } else if (!next.filter->continuePass(*entry->filter, std::move(update.pass))) {
        if (const auto follower = followers.find(log); follower != followers.end())
            follower->second->check();
        return;
    }
    next.filter->setParent(modelParent);
    QJSEngine::setObjectOwnership(next.filter.get(), QJSEngine::CppOwnership);
    takeSearchTexts(log, next, this);
    const int arrived = next.filter->rowCount() - before;
    OpenLog::RowMapping rows = shown.through(next.filter.get());
    if (std::optional<OpenLogEntry> replaced = log->takeUpdate(std::move(next), rows, arrived))
        disposeInBackground(std::move(*replaced));
    refilter(log);
}

void OpenLogRegistry::refilter(OpenLog *log)
{
    OpenLogEntry *entry = log->entry();
    if (!entry || !latestFilter)
        return;
    const bool current = entry->filter->passFailure() == Failure::none
        && entry->filter->hasSettings(latestFilter->texts, !latestFilter->containsAll,
            latestFilter->onlyErrors, latestFilter->range);
    if (current)
        return;
    std::vector<FilterTarget> target;
    target.push_back(targetOf(log, *entry));
    runPasses(filterGeneration, *latestFilter, std::move(target));
}

void OpenLogRegistry::park(OpenLog *log)
{
    followers.erase(log);
    log->setFollowing(false);
    const auto found = std::find_if(logs.begin(), logs.end(),
        [log](const std::unique_ptr<OpenLog> &open) { return open.get() == log; });
    if (found == logs.end())
        return;
    log->close();
    parked.push_back(std::move(*found));
    logs.erase(found);
}

// The filter model goes at once, before its source; the record model, which holds the log's
// memory, on a worker, where nothing else can reach it any more.
void OpenLogRegistry::disposeInBackground(OpenLogEntry &&entry)
{
    entry.filter.reset();
    LogModel *model = entry.model.release();
    if (!model)
        return;
    model->moveToThread(nullptr);
    backgroundWork.start([this, model, texts = std::move(entry.searchTextsTaken)] {
        makeThisThreadBackground();
        if (texts.valid())
            texts.wait();
        filterWork.waitForDone();
        delete model;
    });
}

// The filter model goes first: it must never outlive its source model.
void OpenLogRegistry::destroyNow(OpenLogEntry &&entry)
{
    entry.waitForSearchTexts();
    entry.filter.reset();
    entry.model.reset();
}
