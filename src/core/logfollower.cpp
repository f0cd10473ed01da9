#include "logfollower.h"

#include "foldercatalogue.h"
#include "openlog.h"
#include "parallelfor.h"

#include <QDir>
#include <QSet>

namespace {

constexpr int pollMilliseconds = 1000;
// Changes that come faster are taken together: each update rebuilds the list's rows.
constexpr int leastMillisecondsBetween = 200;

} // namespace

LogFollower::LogFollower(OpenLog *log, QObject *parent)
    : QObject(parent)
    , log(log)
{
    worker.setMaxThreadCount(1);
    poll.setInterval(pollMilliseconds);
    connect(&poll, &QTimer::timeout, this, &LogFollower::check);
    delay.setSingleShot(true);
    connect(&delay, &QTimer::timeout, this, &LogFollower::check);
    connect(&watcher, &QFileSystemWatcher::fileChanged, this, &LogFollower::check);
    connect(&watcher, &QFileSystemWatcher::directoryChanged, this, &LogFollower::check);
    poll.start();
    check();
}

LogFollower::~LogFollower()
{
    worker.waitForDone();
}

void LogFollower::check()
{
    if (running) {
        checkAgain = true;
        return;
    }
    const qint64 wait = sinceStart.isValid() ? leastMillisecondsBetween - sinceStart.elapsed() : 0;
    if (wait > 0) {
        if (!delay.isActive())
            delay.start(int(wait));
        return;
    }
    start();
}

// The models are read here, on the interface thread; the worker gets their index and rows.
void LogFollower::start()
{
    const OpenLogEntry *entry = log ? log->entry() : nullptr;
    std::shared_ptr<const RecordIndex> index = entry ? entry->model->recordIndex() : nullptr;
    if (!index || log->job())
        return;
    // New files are watched as they join; a file put in place of another is seen through its
    // folder's watch and the polling.
    if (index->fileCount() != watchedFiles)
        watch(*index);
    running = true;
    checkAgain = false;
    sinceStart.start();
    worker.start([this, index = std::move(index), pass = entry->filter->currentPass(),
                     folder = log->folder(), name = log->name()]() mutable {
        makeThisThreadBackground();
        auto update = std::make_shared<Update>();
        (void)failureOf([&] {
            const QStringList paths = filesNow(folder, name, *index);
            auto files = std::make_shared<const RecordIndexUpdate>(std::move(index), paths);
            describe(*files, *update);
            if (!files->changed())
                return;
            // A filter that failed runs again whole, once the update is in.
            update->pass = pass.failure == Failure::none ? LogFilterModel::updatedPass(pass, *files)
                                                         : std::move(pass);
            update->files = std::move(files);
        });
        QMetaObject::invokeMethod(
            this, [this, update] { finish(update); }, Qt::QueuedConnection);
    });
}

void LogFollower::finish(const std::shared_ptr<Update> &update)
{
    running = false;
    emit updated(update);
    if (checkAgain)
        check();
}

void LogFollower::watch(const RecordIndex &index)
{
    QStringList paths;
    for (size_t file = 0; file < index.fileCount(); ++file) {
        const QFileInfo info(index.file(file).bytes->path());
        paths << info.absoluteFilePath() << info.absolutePath();
    }
    paths.removeDuplicates();
    const QStringList files = watcher.files();
    const QStringList folders = watcher.directories();
    QSet<QString> watched(files.begin(), files.end());
    watched.unite(QSet<QString>(folders.begin(), folders.end()));
    QStringList missing;
    for (const QString &path : paths) {
        if (!watched.contains(path) && QFileInfo::exists(path))
            missing.append(path);
    }
    if (!missing.isEmpty())
        watcher.addPaths(missing);
    watchedFiles = index.fileCount();
}

// File names only: the log's files share a folder or a few.
void LogFollower::describe(const RecordIndexUpdate &files, Update &update)
{
    const auto names = [](const QStringList &paths) {
        QStringList list;
        for (const QString &path : paths)
            list.append(QFileInfo(path).fileName());
        return list.join(QStringLiteral(", "));
    };
    QStringList events;
    if (!files.replacedFiles.isEmpty())
        events.append(tr("%1 read again from the start").arg(names(files.replacedFiles)));
    if (!files.addedFiles.isEmpty())
        events.append(tr("%1 joined the log").arg(names(files.addedFiles)));
    update.events = events.join(QStringLiteral(" · "));
    QStringList missing;
    if (!files.goneFiles.isEmpty())
        missing.append(tr("%1 gone: its records stay until F5").arg(names(files.goneFiles)));
    // A file that no longer opens keeps the records it had, and is looked at again.
    if (!files.unreadableFiles.isEmpty())
        missing.append(tr("%1 could not be read").arg(names(files.unreadableFiles)));
    update.gone = missing.join(QStringLiteral(" · "));
}

QStringList LogFollower::filesNow(
    const QString &folder, const QString &name, const RecordIndex &index)
{
    QStringList paths;
    QSet<QString> known;
    QSet<QString> folders;
    for (size_t file = 0; file < index.fileCount(); ++file) {
        paths.append(index.file(file).bytes->path());
        known.insert(paths.constLast());
        folders.insert(QFileInfo(paths.constLast()).absolutePath());
    }
    if (QFileInfo(FolderCatalogue::pathOf(folder)).isFile())
        return paths;
    QList<QFileInfo> listed;
    for (const QString &path : folders) {
        const QFileInfoList entries = QDir(path).entryInfoList(QDir::Files);
        for (const QFileInfo &entry : entries) {
            if (entry.suffix() == QLatin1String("log"))
                listed.append(entry);
        }
    }
    const auto group = FolderCatalogue::groupLogFiles(listed);
    const auto found = group.find(name);
    if (found != group.end()) {
        for (const QFileInfo &file : found->second) {
            if (!known.contains(file.absoluteFilePath()))
                paths.append(file.absoluteFilePath());
        }
    }
    return paths;
}
