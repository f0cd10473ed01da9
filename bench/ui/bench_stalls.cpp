// Times how long the interface thread stalls in the real main window while a large log opens,
// reloads, is filtered and closes, all in the background: a 10 ms timer on that thread notes
// the longest gap between its ticks, and each step reports the time until its rows are drawn.
// With --tree, a folder tree is dropped on the folder view instead.
// Usage: kestrune-bench-stalls <log folder> <log name>
//        kestrune-bench-stalls --tree <folder>
#include "benchclock.h"
#include "benchmemory.h"
#include "benchwindow.h"
#include "foldercatalogue.h"
#include "kestrunecore.h"

#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMimeData>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

void report(const char *what, double callMs, double drawnMs, double stallMs)
{
    std::printf("%-44s call %8.1f ms   rows drawn %8.1f ms   longest tick gap %7.1f ms\n", what,
        callMs, drawnMs, stallMs);
    std::fflush(stdout);
}

// Drags a folder onto the folder view and drops it there, as the platform does.
void dropFolder(const Window &window, const QString &folder)
{
    QQuickItem *view = window.item("filesTab");
    const QPoint pos = view->mapToScene(QPointF(view->width() / 2, view->height() / 2)).toPoint();
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(folder)});
    QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.window, &enter);
    QDragMoveEvent move(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.window, &move);
    QDropEvent drop(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.window, &drop);
}

// Drops the tree on the folder view until its rows are drawn, then once more and cancels
// that scan, and scans it through the synchronous core call.
int benchTree(Window &window, StallWatch &watch, const QString &tree)
{
    FolderScan scan;
    const double scanMs
        = BenchClock::milliseconds([&] { scan = FolderCatalogue::scanFolder(tree); });
    qsizetype files = 0;
    for (const auto &log : scan.logs)
        files += log.second.size();
    std::printf("%s: %d logs of %lld files; scanFolder on this thread %.1f ms\n", qPrintable(tree),
        int(scan.logs.size()), qlonglong(files), scanMs);
    QQuickItem *list = window.item("folderListView");
    const auto listed = [&] {
        return list->property("count").toInt();
    };
    const int rows = int(scan.logs.size());

    window.idle(300);
    watch.restart();
    QElapsedTimer start;
    start.start();
    const double dropMs = BenchClock::milliseconds([&] { dropFolder(window, tree); });
    const double drawnMs = window.untilDrawn(start, [&] { return listed() == rows; });
    report("drop the tree on the folder view", dropMs, drawnMs, watch.longestGapMs());

    // Escape calls this while the scan runs.
    window.idle(300);
    watch.restart();
    dropFolder(window, tree);
    window.idle(200);
    QObject *view = window.item("filesTab");
    if (QMetaObject::invokeMethod(view, "cancelScans")) {
        window.idle(1000);
        std::printf("cancelled 200 ms into a second drop: %d rows added, longest tick gap %.1f "
                    "ms\n",
            listed() - rows, watch.longestGapMs());
    }

    window.idle(300);
    watch.restart();
    const double syncMs
        = BenchClock::milliseconds([&] { window.core.openFolder(QUrl::fromLocalFile(tree)); });
    std::printf("core alone, synchronous openFolder: %.1f ms, longest tick gap %.1f ms\n", syncMs,
        watch.longestGapMs());
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <log folder> <log name>\n       %s --tree <folder>\n",
            argv[0], argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QString name = QString::fromLocal8Bit(argv[2]);

    QTemporaryDir config;
    KestruneCore core(config.path());
    QQmlApplicationEngine engine;
    QQuickWindow *quickWindow = loadMainWindow(engine, core);
    if (!quickWindow)
        return 1;
    Window window(quickWindow, core);
    QObject *fileView = window.item("fileView");
    if (!fileView || !window.item("logView") || !window.item("folderPanel"))
        return 1;
    StallWatch watch;
    window.idle(500);
    if (folder == QLatin1String("--tree"))
        return benchTree(window, watch, name);

    QElapsedTimer start;
    // Each step: the call, then the rows drawn once the load or the change is through.
    const auto step = [&](const char *what, auto call, auto done) {
        window.idle(300);
        watch.restart();
        start.start();
        const double callMs = BenchClock::milliseconds(call);
        const double drawnMs = window.untilDrawn(start, done);
        report(what, callMs, drawnMs, watch.longestGapMs());
    };
    // A load starts within the call, so the log loads until its rows are there.
    const auto rowsShown = [&] {
        const OpenLog *log = window.currentLog();
        return log && log->state() != OpenLog::State::loading && window.rows() > 0;
    };

    step(
        "open the log in a new tab",
        [&] {
            QMetaObject::invokeMethod(
                fileView, "openFile", Q_ARG(QVariant, folder), Q_ARG(QVariant, name));
        },
        rowsShown);
    const int records = window.rows();
    std::printf("    %d records, %.0f MB resident\n", records, BenchMemory::residentMegabytes());
    step(
        "reload (F5), the old rows shown meanwhile",
        [&] { QMetaObject::invokeMethod(fileView, "reload"); }, rowsShown);

    QObject *folderPanel = window.item("folderPanel");
    const auto filter = [&](const QVariantList &texts) {
        return [&, texts] {
            QMetaObject::invokeMethod(folderPanel, "containsOnly", Q_ARG(QVariant, texts));
        };
    };
    // A change that waits for the search texts is through once the view no longer says so.
    const auto filtered = [&] {
        return !fileView->property("filterPending").toBool();
    };
    step("first filter change (waits for search texts)", filter({QStringLiteral("camera")}),
        filtered);
    std::printf("    %d records shown\n", window.rows());
    step(
        "reload (F5) under the filter", [&] { QMetaObject::invokeMethod(fileView, "reload"); },
        rowsShown);
    std::printf("    %d records shown\n", window.rows());
    step("filter change", filter({QStringLiteral("disk error")}), filtered);
    step("filter cleared", filter({}), filtered);

    step(
        "close the tab",
        [&] { QMetaObject::invokeMethod(fileView, "closeFileTab", Q_ARG(QVariant, 0)); },
        [&] { return window.rows() == 0; });
    watch.restart();
    window.idle(3000);
    std::printf("    longest tick gap in the 3 s after the close: %.1f ms; %.0f MB resident\n",
        watch.longestGapMs(), BenchMemory::residentMegabytes());

    // Closing the tab while the log loads stops the worker; it frees what it read, then its job
    // goes.
    QMetaObject::invokeMethod(fileView, "openFile", Q_ARG(QVariant, folder), Q_ARG(QVariant, name));
    window.idle(2000);
    const OpenLog *loading = window.currentLog();
    const QPointer<LogOpenJob> job = loading ? loading->job() : nullptr;
    const double readShare = job ? job->bytesRead() / std::max(job->totalBytes(), 1.0) : -1;
    watch.restart();
    QElapsedTimer stopped;
    stopped.start();
    const double closeMs = BenchClock::milliseconds(
        [&] { QMetaObject::invokeMethod(fileView, "closeFileTab", Q_ARG(QVariant, 0)); });
    // The reading has stopped once the byte count no longer moves.
    double lastRead = job ? job->bytesRead() : 0;
    double readingStoppedMs = 0;
    while (job) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 1);
        if (job && job->bytesRead() != lastRead) {
            lastRead = job->bytesRead();
            readingStoppedMs = double(stopped.nsecsElapsed()) / 1e6;
        }
    }
    std::printf("close during the load (%.0f%% read): call %.1f ms, reading stopped after %.1f ms, "
                "worker done and memory freed after %.1f ms, longest tick gap %.1f ms; %.0f MB "
                "resident\n",
        100 * readShare, closeMs, readingStoppedMs, double(stopped.nsecsElapsed()) / 1e6,
        watch.longestGapMs(), BenchMemory::residentMegabytes());

    // The same log through the synchronous core call, for its speed.
    const double syncOpen = BenchClock::milliseconds([&] { core.openLog(folder, name); });
    std::printf("core alone, synchronous openLog: %.1f ms\n", syncOpen);
    return 0;
}
