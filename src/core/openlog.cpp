#include "openlog.h"

#include <QCoreApplication>
#include <QJSEngine>
#include <QLocale>

#include <algorithm>

namespace {

QString translated(const char *text)
{
    return QCoreApplication::translate("KestruneCore", text);
}

QString reasonOf(Failure failure)
{
    switch (failure) {
    case Failure::outOfMemory:
        return translated("not enough memory");
    case Failure::fileChanged:
        return translated("a file of this log changed on disk, F5 reads it again");
    default:
        return translated("an unexpected error");
    }
}

// Numbers as the status line writes them: 3,927,867.
QString grouped(double number)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(qint64(number + 0.5));
}

// "filter active", and the dates it keeps when it keeps a range: "filter active from
// 2023/02/28 13:00 to 2023/02/28 14".
QString filterTextOf(const LogFilterModel &filter)
{
    const DateRange &range = filter.dateRangeFilter();
    QString text = translated("filter active");
    if (!range.from().isEmpty())
        text += QLatin1Char(' ') + translated("from %1").arg(range.from());
    if (!range.to().isEmpty())
        text += QLatin1Char(' ') + translated("to %1").arg(range.to());
    return text;
}

} // namespace

OpenLog::OpenLog(const QString &folder, const QString &name)
    : logFolder(folder)
    , logName(name)
{
    QJSEngine::setObjectOwnership(&window, QJSEngine::CppOwnership);
    for (const auto change : {&OpenLog::stateChanged, &OpenLog::progressChanged,
             &OpenLog::countsChanged, &OpenLog::filterPendingChanged, &OpenLog::followingChanged}) {
        connect(this, change, this, &OpenLog::statusTextChanged);
    }
    connect(this, &OpenLog::modelChanged, this, &OpenLog::countsChanged);
    connect(this, &OpenLog::modelChanged, this, &OpenLog::noticeChanged);
    connect(this, &OpenLog::stateChanged, this, &OpenLog::noticeChanged);
}

OpenLog::~OpenLog()
{
    window.setSourceModel(nullptr);
}

QString OpenLog::stateName() const
{
    switch (loadState) {
    case State::loading:
        return QStringLiteral("loading");
    case State::ready:
        return QStringLiteral("ready");
    case State::failed:
        return QStringLiteral("failed");
    case State::cancelled:
        return QStringLiteral("cancelled");
    case State::closed:
        break;
    }
    return QStringLiteral("closed");
}

double OpenLog::bytesRead() const
{
    return readBytes;
}

double OpenLog::totalBytes() const
{
    return allBytes;
}

QObject *OpenLog::model() const
{
    return current ? current->filter.get() : nullptr;
}

int OpenLog::shownRecords() const
{
    return current ? current->filter->rowCount() : 0;
}

int OpenLog::totalRecords() const
{
    return current ? current->model->rowCount() : 0;
}

bool OpenLog::isFiltered() const
{
    return current && current->filter->hasFilter();
}

QString OpenLog::failureReason() const
{
    if (loadState != State::failed)
        return {};
    if (!refusal.isEmpty())
        return refusal;
    return filesMissing ? translated("none of its files were found") : reasonOf(lastFailure);
}

QString OpenLog::notice() const
{
    QString text;
    // Made in a program short of memory, the text itself may fail: then nothing is said.
    (void)failureOf([&] {
        QStringList lines;
        if (current) {
            lines = current->notices;
            if (const Failure failure = current->filter->passFailure(); failure != Failure::none)
                lines.append(translated("The filter could not run: %1. No records are shown.")
                                 .arg(reasonOf(failure)));
            if (current->searchFailure != Failure::none)
                lines.append(translated("The search could not run: %1.")
                                 .arg(reasonOf(current->searchFailure)));
        } else if (loadState == State::failed) {
            lines.append(translated("Could not open this log: %1.").arg(failureReason()));
        }
        text = lines.join(QLatin1Char('\n'));
    });
    return text;
}

// "1,204 of 3,927,867 records · filter active · opened in 1.2 s · 176.4 MiB in memory".
QString OpenLog::statusText() const
{
    QString text;
    (void)failureOf([&] {
        QStringList parts;
        if (current) {
            parts.append(translated("%1 of %2 records")
                             .arg(grouped(shownRecords()), grouped(totalRecords())));
            if (isFiltered())
                parts.append(filterTextOf(*current->filter));
        }
        if (following && current)
            parts.append(translated("following"));
        for (const QString &notice : {followEvents, goneFiles}) {
            if (following && !notice.isEmpty())
                parts.append(notice);
        }
        if (filterPending)
            parts.append(translated("filtering…"));
        if (loadState == State::loading) {
            const double total = std::max(allBytes, 1.0);
            const QString what = current ? translated("reloading") : translated("loading");
            parts.append(translated("%1 %2% (%3 of %4 MiB)")
                             .arg(what, QString::number(qint64(100 * readBytes / total)),
                                 grouped(readBytes / 1048576), grouped(allBytes / 1048576)));
            // Merging and building the models follow the reading.
            if (allBytes > 0 && readBytes >= allBytes)
                parts.append(translated("building the list"));
        } else if (loadState == State::failed && current) {
            parts.append(translated("reload failed: %1").arg(failureReason()));
        } else if (current && openMs >= 0) {
            parts.append(translated("opened in %1 s").arg(openMs / 1000, 0, 'f', 1));
            // What the log holds in memory: its index, as the records stay in their files.
            const double bytes = double(current->model->memoryBytes());
            parts.append(bytes < 1048576
                    ? translated("%1 KiB in memory").arg(bytes / 1024, 0, 'f', 0)
                    : translated("%1 MiB in memory").arg(bytes / 1048576, 0, 'f', 1));
        }
        text = parts.join(QStringLiteral(" · "));
    });
    return text;
}

void OpenLog::followLoad(LogOpenJob *job)
{
    runningJob = job;
    readBytes = 0;
    allBytes = 0;
    connect(job, &LogOpenJob::progressChanged, this, [this, job] {
        if (job != runningJob)
            return;
        readBytes = job->bytesRead();
        allBytes = job->totalBytes();
        emit progressChanged();
    });
    setState(State::loading);
    emit progressChanged();
}

void OpenLog::dropLoad()
{
    if (!runningJob)
        return;
    disconnect(runningJob, nullptr, this, nullptr);
    runningJob = nullptr;
    setState(current ? (lastFailure != Failure::none || filesMissing ? State::failed : State::ready)
                     : State::cancelled);
}

std::optional<OpenLogEntry> OpenLog::attach(OpenLogEntry &&entry, double milliseconds)
{
    const bool reloaded = current.has_value();
    if (runningJob)
        disconnect(runningJob, nullptr, this, nullptr);
    runningJob = nullptr;
    // Moved out whole first: assigning over the entry would destroy its record model before
    // its filter model.
    emit rowsAboutToChange();
    std::optional<OpenLogEntry> replaced(std::move(current));
    current.emplace(std::move(entry));
    lastFailure = Failure::none;
    filesMissing = false;
    openMs = milliseconds;
    textsReady = false;
    updated = {};
    showModels();
    setState(State::ready);
    emit searchTextsReadyChanged();
    emit loadFinished(reloaded);
    return replaced;
}

void OpenLog::fail(Failure failure, const QString &reason)
{
    refusal = reason;
    const bool reloaded = current.has_value();
    if (runningJob)
        disconnect(runningJob, nullptr, this, nullptr);
    runningJob = nullptr;
    lastFailure = failure;
    filesMissing = failure == Failure::none;
    setState(State::failed);
    emit loadFinished(reloaded);
}

std::optional<OpenLogEntry> OpenLog::detach()
{
    if (runningJob)
        disconnect(runningJob, nullptr, this, nullptr);
    runningJob = nullptr;
    std::optional<OpenLogEntry> taken(std::move(current));
    current.reset();
    showModels();
    if (textsReady) {
        textsReady = false;
        emit searchTextsReadyChanged();
    }
    return taken;
}

void OpenLog::close()
{
    if (current || runningJob)
        return;
    lastFailure = Failure::none;
    filesMissing = false;
    openMs = -1;
    setFilterPending(false);
    if (loadState != State::cancelled)
        setState(State::closed);
}

void OpenLog::setFollowing(bool on)
{
    if (on == following)
        return;
    following = on;
    followEvents.clear();
    goneFiles.clear();
    emit followingChanged();
}

std::optional<OpenLogEntry> OpenLog::takeUpdate(
    OpenLogEntry &&entry, RowMapping mapping, int arrived)
{
    emit rowsAboutToChange();
    std::optional<OpenLogEntry> replaced(std::move(current));
    current.emplace(std::move(entry));
    updated = std::move(mapping);
    textsReady = false;
    showModels();
    emit searchTextsReadyChanged();
    emit recordsArrived(arrived);
    return replaced;
}

int OpenLog::rowAfterUpdate(int row) const
{
    return updated.row ? updated.row(row) : row;
}

int OpenLog::lineAfterUpdate(int line) const
{
    return updated.line ? updated.line(line) : line;
}

void OpenLog::setFollowNotice(const QString &events, const QString &gone)
{
    if ((events.isEmpty() || events == followEvents) && gone == goneFiles)
        return;
    if (!events.isEmpty())
        followEvents = events;
    goneFiles = gone;
    emit statusTextChanged();
}

void OpenLog::setFilterPending(bool pending)
{
    if (pending == filterPending)
        return;
    filterPending = pending;
    emit filterPendingChanged();
}

void OpenLog::setSearchTextsReady()
{
    if (textsReady)
        return;
    textsReady = true;
    emit searchTextsReadyChanged();
}

void OpenLog::noteFiltering()
{
    emit rowsAboutToChange();
}

void OpenLog::noteFiltered(int generation)
{
    emit filtered(generation);
}

void OpenLog::noteSearched()
{
    emit noticeChanged();
}

void OpenLog::setState(State state)
{
    loadState = state;
    emit stateChanged();
}

void OpenLog::showModels()
{
    disconnect(filterReset);
    LogFilterModel *filter = current ? current->filter.get() : nullptr;
    window.setSourceModel(filter);
    // A filter change in the core resets the filter model: the counts and what the log says
    // about its filter follow.
    if (filter) {
        filterReset = connect(filter, &QAbstractItemModel::modelReset, this, [this] {
            emit countsChanged();
            emit noticeChanged();
        });
    }
    emit modelChanged();
}
