// Times how long the interface thread stalls in the real main window while a large log opens,
// reloads, is filtered and closes, all in the background: a 10 ms timer on that thread notes
// the longest gap between its ticks, and each step reports the time until its rows are drawn.
// With --tree, a folder tree is dropped on the folder view instead; with --huge, a log of three
// records whose middle one has a message of 60 MB on one line is written into the folder and
// read, with the peak of anonymous memory beside each step.
// Usage: kestrune-bench-stalls <log folder> <log name>
//        kestrune-bench-stalls --tree <folder>
//        kestrune-bench-stalls --huge <folder>
#include "benchclock.h"
#include "benchmemory.h"
#include "benchwindow.h"
#include "foldercatalogue.h"
#include "kestrunecore.h"
#include "loggenerator.h"

#include <QClipboard>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>

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

// The text the huge message ends with, which the filter and the find look for.
constexpr char hugeNeedle[] = "needle";

// Writes <folder>/Big_1.log: three records, the middle one with a message of 60 MB on one line
// (under the 64 MiB line cap). Returns the file's size, or -1.
qint64 writeHugeLog(const QString &folder)
{
    QFile file(folder + QStringLiteral("/Big_1.log"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    const QByteArray words = "the quick brown fox jumps over the lazy dog ";
    QByteArray message;
    message.reserve(60'000'000);
    while (message.size() + words.size() < 60'000'000 - 10)
        message.append(words);
    message.append(hugeNeedle);
    const QList<QByteArray> messages {"a short first record", message, "a short last record"};
    for (int i = 0; i < int(messages.size()); ++i) {
        LogRecordText record;
        record.dateTime = LogGenerator::formatDateTime(i * 1000);
        record.threadID = "7";
        record.moduleName = "Huge";
        record.cppFileName = "huge.cpp";
        record.cppLine = "1";
        record.message = messages[i];
        file.write(LogGenerator::formatRecord(record));
    }
    return file.size();
}

void sendKey(QWindow *window, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QKeyEvent press(QEvent::KeyPress, key, modifiers);
    QCoreApplication::sendEvent(window, &press);
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QCoreApplication::sendEvent(window, &release);
}

void click(QWindow *window, QPointF pos)
{
    const QPointF global = window->mapToGlobal(pos.toPoint());
    QMouseEvent press(
        QEvent::MouseButtonPress, pos, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &press);
    QMouseEvent release(
        QEvent::MouseButtonRelease, pos, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window, &release);
}

void wheel(QWindow *window, QPointF pos, int degrees)
{
    QWheelEvent event(pos, window->mapToGlobal(pos.toPoint()), QPoint(), QPoint(0, degrees * 8),
        Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(window, &event);
}

// Opens the huge log and works on its middle record as a user would: clicks it, opens its
// detail window and scrolls its message, copies it, filters and finds it.
int benchHuge(Window &window, StallWatch &watch, const QString &folder)
{
    const double logMB = double(writeHugeLog(folder)) / 1e6;
    if (logMB < 0)
        return 1;
    QObject *fileView = window.item("fileView");
    QQuickItem *list = window.item("logView");
    QObject *panel = window.item("folderPanel");
    QClipboard *clipboard = QGuiApplication::clipboard();
    window.idle(300);
    const double baseMB = BenchMemory::anonymousMegabytes();
    BenchMemory::AnonymousPeak stepPeak;
    // The highest of the steps' peaks: the paste checks between them read the clipboard into
    // this process, which a paste into another program would not.
    double sessionPeak = 0;
    std::printf("%s/Big_1.log: %.1f MB; %.0f MB anonymous memory before the open\n",
        qPrintable(folder), logMB, baseMB);

    QElapsedTimer start;
    const auto step = [&](const char *what, auto call, auto done) {
        window.idle(300);
        watch.restart();
        stepPeak.restart();
        start.start();
        const double callMs = BenchClock::milliseconds(call);
        // Not until a frame of the main window: it draws none while the detail window shows.
        while (!done() && start.elapsed() < 60000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double doneMs = done() ? double(start.nsecsElapsed()) / 1e6 : -1;
        // What the step set going, such as a window's first frames, runs in the watch too.
        window.idle(500);
        std::printf("%-34s call %8.1f ms   done %8.1f ms   longest tick gap %7.1f ms   "
                    "anonymous +%5.0f MB at its peak, +%5.0f MB after\n",
            what, callMs, doneMs, watch.longestGapMs(), stepPeak.megabytes() - baseMB,
            BenchMemory::anonymousMegabytes() - baseMB);
        sessionPeak = std::max(sessionPeak, stepPeak.megabytes());
        std::fflush(stdout);
    };
    const auto rowsShown = [&] {
        const OpenLog *log = window.currentLog();
        return log && log->state() != OpenLog::State::loading && window.rows() == 3;
    };
    const auto rowCentre = [&](int row) {
        const double height = list->property("rowHeight").toDouble();
        return list->mapToScene(QPointF(list->width() / 2, height * (row + 0.5)));
    };
    bool copied = false;
    QObject::connect(clipboard, &QClipboard::dataChanged, [&] { copied = true; });
    const auto clipboardChanged = [&] {
        return copied;
    };
    // Read back after the step, as a paste would: converting 60 M characters is no part of
    // the copy.
    const auto reportPaste = [&] {
        const QString text = clipboard->text();
        std::printf("    pasted: %lld characters, \"%s\" near the end: %s\n",
            qlonglong(text.size()), hugeNeedle,
            text.right(64).contains(QLatin1String(hugeNeedle)) ? "yes" : "no");
    };

    step(
        "open the log in a new tab",
        [&] {
            QMetaObject::invokeMethod(fileView, "openFile", Q_ARG(QVariant, folder),
                Q_ARG(QVariant, QStringLiteral("Big")));
        },
        rowsShown);
    step(
        "click the huge row", [&] { click(window.window, rowCentre(1)); },
        [&] { return list->property("currentIndex").toInt() == 1; });
    auto *details = qobject_cast<QQuickWindow *>(
        window.item("fileView")->findChild<QObject *>(QStringLiteral("detailLogWindow")));
    if (!details)
        return 1;
    step(
        "Enter: its detail window", [&] { sendKey(window.window, Qt::Key_Return); },
        [&] { return details->isVisible(); });
    step(
        "scroll its message",
        [&] {
            for (int i = 0; i < 10; ++i)
                wheel(details, QPointF(details->width() / 2, details->height() - 100), -120);
        },
        [] { return true; });
    step(
        "Escape: the detail window closes", [&] { sendKey(details, Qt::Key_Escape); },
        [&] { return !details->isVisible(); });
    // The desktop gives the keys back to the main window once the detail window has gone;
    // the offscreen platform leaves that to its caller.
    window.window->requestActivate();
    clipboard->clear();
    copied = false;
    step(
        "Ctrl+C: copy the record", [&] { sendKey(window.window, Qt::Key_C, Qt::ControlModifier); },
        clipboardChanged);
    reportPaste();
    clipboard->clear();
    copied = false;
    step(
        "\"Copy message\"",
        [&] { QMetaObject::invokeMethod(list, "copyMessage", Q_ARG(QVariant, 1)); },
        clipboardChanged);
    reportPaste();
    clipboard->clear();
    step(
        "filter for its text",
        [&] {
            QMetaObject::invokeMethod(panel, "containsOnly",
                Q_ARG(QVariant, QVariantList {QString::fromLatin1(hugeNeedle)}));
        },
        [&] { return !fileView->property("filterPending").toBool() && window.rows() == 1; });
    step(
        "filter cleared",
        [&] { QMetaObject::invokeMethod(panel, "containsOnly", Q_ARG(QVariant, QVariantList())); },
        [&] { return !fileView->property("filterPending").toBool() && window.rows() == 3; });
    click(window.window, rowCentre(0));
    QObject *findPanel = window.item("findNextPanel");
    step(
        "find its text",
        [&] {
            QMetaObject::invokeMethod(
                findPanel, "findNext", Q_ARG(QString, QString::fromLatin1(hugeNeedle)));
        },
        [&] { return list->property("currentIndex").toInt() == 1; });
    step(
        "close the tab",
        [&] { QMetaObject::invokeMethod(fileView, "closeFileTab", Q_ARG(QVariant, 0)); },
        [&] { return window.rows() == 0; });
    std::printf("peak anonymous memory of the steps +%.0f MB over the %.0f MB before the open: "
                "%.2f times the log's size\n",
        sessionPeak - baseMB, baseMB, (sessionPeak - baseMB) / logMB);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr,
            "usage: %s <log folder> <log name>\n       %s --tree <folder>\n       %s "
            "--huge <folder>\n",
            argv[0], argv[0], argv[0]);
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
    if (folder == QLatin1String("--huge"))
        return benchHuge(window, watch, name);

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
