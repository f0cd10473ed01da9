// Times the file view with its record list attached, offscreen: opening logs, switching tabs,
// reloading and changing filters, each until the window has drawn its next frame, next to
// the core's own time for the same work. With --scroll, times the frames of scrolling one log
// by wheel, scroll-bar drag and held Down key instead, and can save images of deep rows.
// Usage: kestrune-bench-ui <folder of a 1 GB log> <log name> <folder of a 100 MB log> <log name>
//        kestrune-bench-ui --scroll <folder of a 1 GB log> <log name> [<image folder>]
#include "benchclock.h"
#include "kestrunecore.h"

#include <QAbstractItemModel>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const char *const windowDocument = R"(
import QtQuick
import QtQuick.Window
import "qrc:/Kestrune/qml"

Window {
    property alias view: view

    width: 1400
    height: 800
    visible: true

    FileView {
        id: view

        anchors.fill: parent
    }
}
)";

struct Timing
{
    double callMs = 0;
    double frameMs = 0;
};

class Bench
{
public:
    Bench(QQuickWindow *window, QObject *view, KestruneCore &core)
        : window(window)
        , view(view)
        , core(core)
    { }

    // Runs work, then waits for the window's next frame; both times from the start.
    template<typename Work>
    Timing untilNextFrame(Work work)
    {
        QElapsedTimer timer;
        timer.start();
        work();
        Timing timing;
        timing.callMs = double(timer.nsecsElapsed()) / 1e6;
        QEventLoop loop;
        QObject::connect(window, &QQuickWindow::frameSwapped, &loop, &QEventLoop::quit);
        // A frame that never comes counts as one of a second.
        QTimer::singleShot(1000, &loop, &QEventLoop::quit);
        window->requestUpdate();
        loop.exec();
        timing.frameMs = double(timer.nsecsElapsed()) / 1e6;
        return timing;
    }

    void call(const char *function, const QVariantList &arguments = {})
    {
        QGenericArgument args[3];
        for (qsizetype i = 0; i < arguments.size() && i < 3; ++i)
            args[i] = Q_ARG(QVariant, arguments[i]);
        QMetaObject::invokeMethod(view, function, args[0], args[1], args[2]);
    }

    // Runs a filter change as the main panel does; prints the time of each step.
    void filterChange(const QStringList &filters)
    {
        const double detach = BenchClock::milliseconds([&] { call("disconnectModel"); });
        const double filter
            = BenchClock::milliseconds([&] { core.containsOnly(QVariant(filters).toList()); });
        const double attach = BenchClock::milliseconds([&] { call("connectModel"); });
        const double restore = BenchClock::milliseconds([&] { call("restoreLineNumber"); });
        std::printf("    detach %.1f ms, core filter %.1f ms, attach %.1f ms, restore %.1f ms\n",
            detach, filter, attach, restore);
    }

    // Sends an input event to the window and times it until the next frame.
    double frameAfter(QEvent &&event)
    {
        return untilNextFrame([&] { QGuiApplication::sendEvent(window, &event); }).frameMs;
    }

    double mouse(QEvent::Type type, QPointF point)
    {
        const Qt::MouseButtons held
            = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton;
        return frameAfter(QMouseEvent(
            type, point, window->mapToGlobal(point), Qt::LeftButton, held, Qt::NoModifier));
    }

    // A wheel that reports pixels as well moves the list at once; one that reports angles
    // only starts an animated flick, whose frames do not follow the events one to one.
    double wheel(QPointF point, int pixels)
    {
        QWheelEvent event(point, window->mapToGlobal(point), QPoint(0, pixels),
            QPoint(0, pixels / 3 * 4), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        // The list ignores a wheel event that seems to come no later than the one before.
        wheelTime += 16;
        event.setTimestamp(wheelTime);
        return frameAfter(std::move(event));
    }

    double key(int key)
    {
        return frameAfter(QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, QString(), true));
    }

    // The rows of the shown log: the list holds only a window of them.
    [[nodiscard]] int rows() const
    {
        const QObject *list = view->findChild<QObject *>(QStringLiteral("logView"));
        const auto *window = list ? list->property("model").value<QObject *>() : nullptr;
        return window ? window->property("sourceCount").toInt() : -1;
    }

    // Runs the event loop until the shown log's load has ended and a frame shows its rows;
    // milliseconds until then.
    double untilLoaded()
    {
        QElapsedTimer timer;
        timer.start();
        const auto loading = [this] {
            const auto *log = view->property("currentLog").value<QObject *>();
            return log && log->property("state").toString() == QLatin1String("loading");
        };
        while (loading() && timer.elapsed() < 120000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        untilNextFrame([] {});
        return double(timer.nsecsElapsed()) / 1e6;
    }

    // Opens the log in the core first, so that its tab shows the rows at once.
    void openInCore(const QString &folder, const QString &name) { core.openLog(folder, name); }

    void findDate(const QString &date)
    {
        QMetaObject::invokeMethod(view->findChild<QObject *>(QStringLiteral("findNextPanel")),
            "findDate", Q_ARG(QString, date));
    }

private:
    QQuickWindow *window;
    QObject *view;
    KestruneCore &core;
    quint64 wheelTime = 0;
};

void report(const char *what, const Timing &timing)
{
    std::printf("%-52s call %9.1f ms   drawn %9.1f ms\n", what, timing.callMs, timing.frameMs);
    std::fflush(stdout);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double percentile90(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() * 9 / 10];
}

void reportFrames(const char *what, const std::vector<double> &frames)
{
    std::printf("%-52s frame median %6.1f ms   90th percentile %6.1f ms   (%zu frames)\n", what,
        median(frames), percentile90(frames), frames.size());
    std::fflush(stdout);
}

// Saves the window's image, when images were asked for, to look at the rows drawn there.
void saveImage(QQuickWindow *window, const QString &folder, const QString &name)
{
    if (!folder.isEmpty())
        window->grabWindow().save(QDir(folder).filePath(name + QStringLiteral(".png")));
}

// Scrolls the log by each of the user's means, far from its start, timing every frame.
int scrollBench(QQuickWindow *window, Bench &bench, const QStringList &arguments)
{
    const QString folder = arguments.value(0);
    const QString name = arguments.value(1);
    const QString images = arguments.value(2);
    bench.openInCore(folder, name);
    bench.untilNextFrame([&] { bench.call("openFile", {folder, name}); });
    std::printf("    %d records\n", bench.rows());
    window->requestActivate();

    // The scroll bar runs along the right edge, from 15 px below the tab bar to 15 px above
    // the bottom.
    const qreal barX = window->width() - 6;
    const qreal barTop = 51 + 15;
    const qreal barBottom = window->height() - 15;
    const int steps = 150;
    std::vector<double> frames;
    frames.push_back(bench.mouse(QEvent::MouseButtonPress, {barX, barTop + 1}));
    for (int step = 1; step <= steps; ++step) {
        const qreal y = barTop + 1 + (barBottom - barTop - 2) * step / steps;
        frames.push_back(bench.mouse(QEvent::MouseMove, {barX, y}));
    }
    bench.mouse(QEvent::MouseButtonRelease, {barX, barBottom - 1});
    reportFrames("drag the scroll bar from top to bottom", frames);
    saveImage(window, images, QStringLiteral("dragged-to-end"));

    const QPointF middle(barX, (barTop + barBottom) / 2);
    bench.mouse(QEvent::MouseButtonPress, middle);
    bench.mouse(QEvent::MouseButtonRelease, middle);
    frames.clear();
    const QPointF rowsPoint(window->width() / 2, window->height() / 2);
    for (int step = 0; step < steps; ++step)
        frames.push_back(bench.wheel(rowsPoint, -90));
    reportFrames("wheel down from the middle, 90 px a frame", frames);
    saveImage(window, images, QStringLiteral("wheeled"));

    bench.mouse(QEvent::MouseButtonPress, {300, 80});
    bench.mouse(QEvent::MouseButtonRelease, {300, 80});
    saveImage(window, images, QStringLiteral("clicked"));
    frames.clear();
    for (int step = 0; step < steps; ++step)
        frames.push_back(bench.key(Qt::Key_Down));
    reportFrames("hold Down, one row a frame", frames);
    saveImage(window, images, QStringLiteral("held-down"));

    bench.untilNextFrame([&] { bench.findDate(QStringLiteral("20:00")); });
    saveImage(window, images, QStringLiteral("date-20-00"));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const bool scroll = argc > 1 && qstrcmp(argv[1], "--scroll") == 0;
    if (argc < (scroll ? 4 : 5)) {
        std::fprintf(stderr,
            "usage: %s <1 GB log folder> <name> <100 MB log folder> <name>\n"
            "       %s --scroll <1 GB log folder> <name> [<image folder>]\n",
            argv[0], argv[0]);
        return 2;
    }
    const QStringList arguments = QCoreApplication::arguments();
    const QString bigFolder = arguments.value(1);
    const QString bigName = arguments.value(2);
    const QString smallFolder = arguments.value(3);
    const QString smallName = arguments.value(4);

    QTemporaryDir config;
    KestruneCore core(config.path());
    QQmlEngine engine;
    engine.rootContext()->setContextProperty(QStringLiteral("kestruneCore"), &core);
    QQmlComponent component(&engine);
    component.setData(windowDocument, QUrl(QStringLiteral("file:///bench/BenchWindow.qml")));
    std::unique_ptr<QObject> root(component.create());
    auto *window = qobject_cast<QQuickWindow *>(root.get());
    if (!window) {
        std::fprintf(stderr, "%s\n", qPrintable(component.errorString()));
        return 1;
    }
    auto *view = root->property("view").value<QObject *>();
    Bench bench(window, view, core);
    bench.untilNextFrame([] {});
    if (scroll)
        return scrollBench(window, bench, QCoreApplication::arguments().mid(2));

    report("open the 1 GB log in a new tab", bench.untilNextFrame([&] {
        bench.call("openFile", {bigFolder, bigName});
    }));
    const int bigRows = bench.rows();
    report("open the 100 MB log in a second tab", bench.untilNextFrame([&] {
        bench.call("openFile", {smallFolder, smallName});
    }));
    std::printf("    %d and %d records\n", bigRows, bench.rows());

    for (int tab : {0, 1}) {
        std::vector<double> calls;
        std::vector<double> frames;
        for (int i = 0; i < 5; ++i) {
            const Timing timing
                = bench.untilNextFrame([&] { bench.call("switchToFileTab", {tab}); });
            calls.push_back(timing.callMs);
            frames.push_back(timing.frameMs);
            bench.untilNextFrame([&] { bench.call("switchToFileTab", {1 - tab}); });
        }
        std::printf("%-52s call %9.1f ms   drawn %9.1f ms   (medians of 5)\n",
            tab == 0 ? "tab switch to the 1 GB log" : "tab switch to the 100 MB log", median(calls),
            median(frames));
    }
    std::printf("    core alone, openLog of an open log: %.3f ms\n",
        BenchClock::milliseconds([&] { core.openLog(bigFolder, bigName); }));

    bench.untilNextFrame([&] { bench.call("switchToFileTab", {0}); });
    std::printf(
        "    core alone, close and open the 100 MB log: %.1f ms\n", BenchClock::milliseconds([&] {
            core.closeLog(smallFolder, smallName);
            core.openLog(smallFolder, smallName);
        }));
    bench.untilNextFrame([&] { bench.call("switchToFileTab", {1}); });
    report("jump to the end of the 100 MB log", bench.untilNextFrame([&] {
        QMetaObject::invokeMethod(
            view->findChild<QObject *>(QStringLiteral("logView")), "positionViewAtEnd");
    }));
    report("reload the 100 MB log (F5)", bench.untilNextFrame([&] { bench.call("reload"); }));
    // The filter changes below run with no load beside them.
    std::printf("    its rows drawn after %.1f ms more\n", bench.untilLoaded());
    bench.untilNextFrame([&] { bench.call("switchToFileTab", {0}); });

    report("first filter change (waits for search texts)",
        bench.untilNextFrame([&] { bench.filterChange({QStringLiteral("camera")}); }));
    std::printf("    %d records shown\n", bench.rows());
    report("filter change on both logs, list attached",
        bench.untilNextFrame([&] { bench.filterChange({QStringLiteral("disk error")}); }));
    std::printf("    %d records shown\n", bench.rows());
    report("filter cleared, list attached", bench.untilNextFrame([&] { bench.filterChange({}); }));

    bench.call("disconnectModel");
    // The proxy maps its rows when they are first asked for, so the core's share of a
    // filter change is the filter call and the first row count together.
    const auto *bigModel
        = qobject_cast<const QAbstractItemModel *>(core.openLog(bigFolder, bigName));
    if (!bigModel) {
        std::printf("    the log could not be opened: %s\n",
            qPrintable(core.logStatus(bigFolder, bigName)));
        return 1;
    }
    for (const QStringList &filters :
        {QStringList {QStringLiteral("disk error")}, QStringList {}}) {
        const double filter
            = BenchClock::milliseconds([&] { core.containsOnly(QVariant(filters).toList()); });
        const double count = BenchClock::milliseconds([&] { (void)bigModel->rowCount(); });
        std::printf("    core alone, filter \"%s\": call %.1f ms, first row count %.1f ms\n",
            qPrintable(filters.join(QLatin1Char(' '))), filter, count);
    }
    bench.call("connectModel");
    return 0;
}
