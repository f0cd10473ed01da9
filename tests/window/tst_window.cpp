// Drives the real main window as a user does: drops a folder of logs, opens one, filters,
// finds, reloads, closes its tab and zooms, and checks what the window shows.
#include "kestrunecore.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <functional>

namespace {

QQuickItem *findItem(QQuickItem *item, const std::function<bool(QQuickItem *)> &matches)
{
    if (matches(item))
        return item;
    const QList<QQuickItem *> children = item->childItems();
    for (QQuickItem *child : children) {
        if (QQuickItem *found = findItem(child, matches))
            return found;
    }
    return nullptr;
}

QQuickItem *findNamed(QQuickItem *root, const QString &name)
{
    return findItem(root, [&name](QQuickItem *item) { return item->objectName() == name; });
}

QPoint centreOf(QQuickItem *item)
{
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2)).toPoint();
}

bool writeText(const QString &path, const QByteArray &text, QIODevice::OpenMode mode)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | mode) && file.write(text) == text.size();
}

// The program's main window, loaded from its resources with a core of its own.
struct Viewer
{
    explicit Viewer(const QString &configFolder)
        : core(configFolder)
    {
        engine.rootContext()->setContextProperty(QStringLiteral("kestruneCore"), &core);
        engine.load(QUrl(QStringLiteral("qrc:/Kestrune/qml/main.qml")));
        const QList<QObject *> roots = engine.rootObjects();
        window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow *>(roots.first());
    }

    [[nodiscard]] QQuickItem *item(const QString &name) const
    {
        return findNamed(window->contentItem(), name);
    }

    // Declared before the engine, so that the engine goes first and no binding outlives it.
    KestruneCore core;
    QQmlApplicationEngine engine;
    QQuickWindow *window = nullptr;
};

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

private slots:
    void startScaleComesFromTheSettingsWithinBounds_data();
    void startScaleComesFromTheSettingsWithinBounds();

private:
    QTemporaryDir emptyConfig;
};

void TestWindow::startScaleComesFromTheSettingsWithinBounds_data()
{
    QTest::addColumn<QByteArray>("settings");
    QTest::addColumn<double>("scale");
    QTest::newRow("absent") << QByteArray() << 1.0;
    QTest::newRow("1.25") << QByteArray("[General]\nscale=1.25\n") << 1.25;
    QTest::newRow("too large") << QByteArray("scale=7\n") << 3.0;
    QTest::newRow("zero") << QByteArray("scale=0\n") << 0.4;
    QTest::newRow("not a number") << QByteArray("scale=large\n") << 1.0;
}

void TestWindow::startScaleComesFromTheSettingsWithinBounds()
{
    QFETCH(QByteArray, settings);
    QFETCH(double, scale);
    QTemporaryDir config;
    QVERIFY(writeText(config.filePath(QStringLiteral("settings.ini")), settings, {}));
    Viewer viewer(config.path());
    QVERIFY(viewer.window);
    QVERIFY(QTest::qWaitForWindowExposed(viewer.window));
    QCOMPARE(viewer.window->size(), QSize(1536, 864));

    QQuickItem *panel = viewer.item(QStringLiteral("mainPanel"));
    QCOMPARE(panel->scale(), scale);
    QCOMPARE(panel->width(), std::floor(1536 / scale));
    // Drawn at its scale, the panel covers the window to within a pixel.
    QVERIFY(std::abs(panel->width() * scale - 1536) < scale);
    QVERIFY(std::abs(panel->height() * scale - 864) < scale);
    QCOMPARE(viewer.item(QStringLiteral("folderPanel"))->width(), 320.0);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
