#pragma once

// The real main window for the benchmarks: its items by name, the rows it shows, and a watch
// on the interface thread's stalls.
#include "kestrunecore.h"
#include "openlog.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTimer>

#include <algorithm>

constexpr int tickMs = 10;

// The longest time between two ticks of a 10 ms timer, up to the moment it is read.
class StallWatch
{
public:
    StallWatch()
    {
        clock.start();
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(tickMs);
        QObject::connect(&timer, &QTimer::timeout, [this] { tick(); });
        timer.start();
    }

    void restart()
    {
        longest = 0;
        last = clock.nsecsElapsed();
    }

    [[nodiscard]] double longestGapMs()
    {
        tick();
        return longest;
    }

private:
    void tick()
    {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, double(now - last) / 1e6);
        last = now;
    }

    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    double longest = 0;
};

class Window
{
public:
    Window(QQuickWindow *window, KestruneCore &core)
        : window(window)
        , core(core)
    { }

    [[nodiscard]] QQuickItem *item(const char *name) const
    {
        return window->findChild<QQuickItem *>(QString::fromLatin1(name));
    }

    [[nodiscard]] int rows() const { return item("logView")->property("count").toInt(); }

    // The current tab's log, as the file view has it.
    [[nodiscard]] OpenLog *currentLog() const
    {
        return qobject_cast<OpenLog *>(item("fileView")->property("currentLog").value<QObject *>());
    }

    // Runs the event loop until done() holds at a drawn frame; milliseconds since start.
    template<typename Done>
    double untilDrawn(const QElapsedTimer &start, Done done, int timeoutMs = 120000)
    {
        QEventLoop loop;
        double drawnAt = -1;
        const auto frame = QObject::connect(window, &QQuickWindow::frameSwapped, &loop, [&] {
            if (done()) {
                drawnAt = double(start.nsecsElapsed()) / 1e6;
                loop.quit();
            } else {
                window->requestUpdate();
            }
        });
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        window->requestUpdate();
        loop.exec();
        QObject::disconnect(frame);
        return drawnAt;
    }

    // Lets the event loop run for a while, drawing frames.
    void idle(int ms)
    {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    QQuickWindow *window;
    KestruneCore &core;
};

// Loads the main window into the engine, over the core; null when it did not load.
inline QQuickWindow *loadMainWindow(QQmlApplicationEngine &engine, KestruneCore &core)
{
    engine.rootContext()->setContextProperty(QStringLiteral("kestruneCore"), &core);
    engine.load(QUrl(QStringLiteral("qrc:/Kestrune/qml/main.qml")));
    return engine.rootObjects().isEmpty()
        ? nullptr
        : qobject_cast<QQuickWindow *>(engine.rootObjects().constFirst());
}
