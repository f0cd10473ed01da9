// Drives the real main window as a user does: drops a folder of logs, opens one, filters,
// finds, reloads, closes its tab and zooms, and checks what the window shows.
#include "kestrunecore.h"
#include "loggenerator.h"
#include "testsupport.h"

#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QMimeData>
#include <QPointer>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
#include <QQuickWindow>
#include <QRegularExpression>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
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

QByteArray record(const char *time, const char *type, const char *message)
{
    return LogGenerator::formatRecord({42, QByteArray("2023/02/28 ") + time, type, "7", "Recorder",
        "recorder.cpp", "12", message});
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

    [[nodiscard]] QQuickItem *withProperty(const char *property, const QVariant &value) const
    {
        return findItem(window->contentItem(), [property, &value](QQuickItem *item) {
            return item->isVisible() && item->property(property) == value;
        });
    }

    [[nodiscard]] int count(const QString &view) const
    {
        return item(view)->property("count").toInt();
    }

    [[nodiscard]] int currentRow() const
    {
        return item(QStringLiteral("logView"))->property("currentIndex").toInt();
    }

    // The messages of the record rows on screen, from the top row down.
    [[nodiscard]] QStringList shownMessages() const
    {
        QQuickItem *list = item(QStringLiteral("logView"));
        QMetaObject::invokeMethod(list, "forceLayout");
        QMap<int, QString> rows;
        const QList<QQuickItem *> children
            = list->property("contentItem").value<QQuickItem *>()->childItems();
        for (QQuickItem *row : children) {
            if (row->isVisible() && row->property("message").isValid())
                rows.insert(row->property("line").toInt(), row->property("message").toString());
        }
        return rows.values();
    }

    void click(QQuickItem *target) const
    {
        QVERIFY(target);
        QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, centreOf(target));
    }

    void clickRow(const QString &message) const
    {
        QMetaObject::invokeMethod(item(QStringLiteral("logView")), "forceLayout");
        click(withProperty("message", message));
    }

    void clickLog(const QString &name) const
    {
        QMetaObject::invokeMethod(item(QStringLiteral("folderListView")), "forceLayout");
        click(findItem(window->contentItem(), [&name](QQuickItem *item) {
            return item->objectName() == QStringLiteral("logButton")
                && item->property("text") == name;
        }));
    }

    void type(const QString &text, Qt::Key end = Qt::Key_Return) const
    {
        for (const QChar character : text)
            QTest::keyClick(window, character.toLatin1());
        QTest::keyClick(window, end);
    }

    // The current tab's log, as the file view has it.
    [[nodiscard]] OpenLog *currentLog() const
    {
        return qobject_cast<OpenLog *>(
            item(QStringLiteral("fileView"))->property("currentLog").value<QObject *>());
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
    void dropOpenFilterFindReloadCloseAndZoom();
    void logsOpenedOrReloadedLaterTakeTheFilter();
    void readWithKeysCopyAndDetails();
    void logsLoadWhileTheWindowGoesOn_data();
    void logsLoadWhileTheWindowGoesOn();
    void moduleListsItsDocumentsInOrder();
    void folderDialogTitleAndQuitKeys();

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
    QTest::newRow("small") << QByteArray("scale=0.1\n") << 0.4;
    QTest::newRow("zero") << QByteArray("scale=0\n") << 1.0;
    QTest::newRow("negative") << QByteArray("scale=-5\n") << 1.0;
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
    // No larger than the screen leaves free (the test's screen is larger).
    QCOMPARE(viewer.window->size(),
        QSize(1536, 864).boundedTo(viewer.window->screen()->availableSize()));

    QQuickItem *panel = viewer.item(QStringLiteral("mainPanel"));
    QCOMPARE(panel->scale(), scale);
    QCOMPARE(panel->width(), std::floor(1536 / scale));
    // Drawn at its scale, the panel covers the window to within a pixel.
    QVERIFY(std::abs(panel->width() * scale - 1536) < scale);
    QVERIFY(std::abs(panel->height() * scale - 864) < scale);
    // The folder panel starts 320 wide, narrower only where the file view would keep less
    // than 480.
    const double folderWidth = std::clamp(panel->width() - 480, 100.0, 320.0);
    QCOMPARE(viewer.item(QStringLiteral("folderPanel"))->width(), folderWidth);
}

void TestWindow::dropOpenFilterFindReloadCloseAndZoom()
{
    QTemporaryDir logs;
    const QString alphaLate = logs.filePath(QStringLiteral("Alpha_2.log"));
    QVERIFY(writeText(logs.filePath(QStringLiteral("Alpha_1.log")),
        record("10:00:00.000", "Info", "service started")
            + record("10:00:02.000", "Error", "queue full on channel 3")
            + record("10:00:04.000", "Info", "elapsed time 20 ms"),
        {}));
    QVERIFY(writeText(alphaLate,
        record("10:00:01.000", "Info", "client connected")
            + record("10:00:03.000", "Error", "disk write failed")
            + record("10:00:05.000", "Info", "queue drained"),
        {}));
    const qint64 betaRecords
        = LogGenerator(7).writeLog(logs.path(), QStringLiteral("Beta"), 2, 40000);
    QVERIFY(betaRecords > 100);

    Viewer viewer(emptyConfig.path());
    QVERIFY(QTest::qWaitForWindowExposed(viewer.window));
    QVERIFY(viewer.item(QStringLiteral("dropHint"))->isVisible());

    TestSupport drops;
    drops.dragUrls(viewer.item(QStringLiteral("filesTab")),
        {QUrl::fromLocalFile(logs.path()).toString()}, true);
    QTRY_COMPARE(viewer.count(QStringLiteral("folderListView")), 2);
    QTRY_VERIFY(!viewer.item(QStringLiteral("dropHint"))->isVisible());

    viewer.clickLog(QStringLiteral("Beta"));
    QTRY_COMPARE(viewer.count(QStringLiteral("logView")), betaRecords);
    viewer.clickLog(QStringLiteral("Alpha"));
    QCOMPARE(viewer.count(QStringLiteral("tabListView")), 2);
    QTRY_COMPARE(viewer.shownMessages(),
        QStringList({"service started", "client connected", "queue full on channel 3",
            "disk write failed", "elapsed time 20 ms", "queue drained"}));

    // A filter change keeps the record clicked last selected wherever it moves.
    viewer.clickRow(QStringLiteral("disk write failed"));
    QCOMPARE(viewer.currentRow(), 3);
    viewer.click(viewer.item(QStringLiteral("btnFilters")));
    viewer.click(viewer.item(QStringLiteral("containsOnlyTextField")));
    viewer.type(QStringLiteral("DISK"));
    QTRY_COMPARE(viewer.shownMessages(), QStringList({"disk write failed"}));
    QCOMPARE(viewer.currentRow(), 0);

    viewer.click(viewer.item(QStringLiteral("errorsOnlyCheckBox")));
    viewer.click(viewer.item(QStringLiteral("btnRemoveFilter")));
    QTRY_COMPARE(
        viewer.shownMessages(), QStringList({"queue full on channel 3", "disk write failed"}));
    QCOMPARE(viewer.currentRow(), 1);
    viewer.click(viewer.item(QStringLiteral("errorsOnlyCheckBox")));
    QTRY_COMPARE(viewer.count(QStringLiteral("logView")), 6);
    QCOMPARE(viewer.currentRow(), 3);

    // Find a text twice (the second search wraps to the top), then a date.
    viewer.clickRow(QStringLiteral("disk write failed"));
    QTest::keyClick(viewer.window, Qt::Key_F, Qt::ControlModifier);
    QVERIFY(viewer.item(QStringLiteral("findNextPanel"))->isVisible());
    viewer.type(QStringLiteral("queue"));
    QTRY_COMPARE(viewer.currentRow(), 5);
    QTest::keyClick(viewer.window, Qt::Key_Return);
    QTRY_COMPARE(viewer.currentRow(), 2);
    viewer.click(viewer.withProperty("placeholderText", QStringLiteral("2023/02/28 12:34:56")));
    viewer.type(QStringLiteral("2023/02/28 10:00:04"));
    QCOMPARE(viewer.currentRow(), 4);

    // F5 reads the files again: a record written since shows at the end.
    QVERIFY(writeText(alphaLate, record("10:00:06.000", "Info", "late record"), QIODevice::Append));
    QTest::keyClick(viewer.window, Qt::Key_F5);
    QTRY_COMPARE(viewer.count(QStringLiteral("logView")), 7);
    QCOMPARE(viewer.shownMessages().constLast(), QStringLiteral("late record"));

    QQuickItem *panel = viewer.item(QStringLiteral("mainPanel"));
    QTest::keyClick(viewer.window, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(viewer.window, Qt::Key_Plus, Qt::ControlModifier);
    QCOMPARE(panel->scale(), 1.4);
    QCOMPARE(panel->width(), 1097.0);
    QTest::keyClick(viewer.window, Qt::Key_Minus, Qt::ControlModifier);
    QCOMPARE(panel->scale(), 1.2);

    // Closing the current tab shows the first one; closing that leaves an empty list.
    QQuickItem *alphaTab = viewer.withProperty("isCurrentIndex", true);
    QVERIFY(alphaTab);
    QCOMPARE(alphaTab->property("text"), QStringLiteral("Alpha"));
    const QPoint closeButton = alphaTab->mapToScene(QPointF(alphaTab->width() - 10, 10)).toPoint();
    QTest::mouseClick(viewer.window, Qt::LeftButton, Qt::NoModifier, closeButton);
    QCOMPARE(viewer.count(QStringLiteral("tabListView")), 1);
    QCOMPARE(viewer.count(QStringLiteral("logView")), betaRecords);
    QQuickItem *betaTab = viewer.withProperty("isCurrentIndex", true);
    QCOMPARE(betaTab->property("text"), QStringLiteral("Beta"));
    QTest::mouseClick(viewer.window, Qt::LeftButton, Qt::NoModifier,
        betaTab->mapToScene(QPointF(betaTab->width() - 10, 10)).toPoint());
    QCOMPARE(viewer.count(QStringLiteral("tabListView")), 0);
    QCOMPARE(viewer.count(QStringLiteral("logView")), 0);
}

void TestWindow::logsOpenedOrReloadedLaterTakeTheFilter()
{
    QTemporaryDir logs;
    const QString alpha = logs.filePath(QStringLiteral("Alpha_1.log"));
    const QString gamma = logs.filePath(QStringLiteral("Gamma_1.log"));
    QVERIFY(writeText(alpha,
        record("10:00:00.000", "Info", "service started")
            + record("10:00:01.000", "Error", "disk write failed")
            + record("10:00:02.000", "Error", "queue full"),
        {}));
    QVERIFY(writeText(gamma,
        record("11:00:00.000", "Error", "disk full") + record("11:00:01.000", "Info", "disk ok")
            + record("11:00:02.000", "Error", "link down"),
        {}));
    Viewer viewer(emptyConfig.path());
    QVERIFY(QTest::qWaitForWindowExposed(viewer.window));
    viewer.core.openFolder(QUrl::fromLocalFile(logs.path()));
    viewer.clickLog(QStringLiteral("Alpha"));
    QTRY_COMPARE(viewer.count(QStringLiteral("logView")), 3);
    viewer.clickRow(QStringLiteral("disk write failed"));

    viewer.click(viewer.item(QStringLiteral("btnFilters")));
    viewer.click(viewer.item(QStringLiteral("errorsOnlyCheckBox")));
    viewer.click(viewer.item(QStringLiteral("containsOnlyTextField")));
    viewer.type(QStringLiteral("disk"));
    QTRY_COMPARE(viewer.shownMessages(), QStringList({"disk write failed"}));

    // A log opened after the filter changed shows what passes it.
    viewer.click(viewer.item(QStringLiteral("btnFiles")));
    viewer.clickLog(QStringLiteral("Gamma"));
    QTRY_COMPARE(viewer.shownMessages(), QStringList({"disk full"}));

    // So does a reload, which selects the record clicked last again where it passes.
    QVERIFY(writeText(gamma, record("11:00:03.000", "Error", "disk gone"), QIODevice::Append));
    viewer.clickRow(QStringLiteral("disk full"));
    QTest::keyClick(viewer.window, Qt::Key_F5);
    QTRY_COMPARE(viewer.shownMessages(), QStringList({"disk full", "disk gone"}));
    viewer.click(viewer.withProperty("text", QStringLiteral("Alpha")));
    viewer.clickRow(QStringLiteral("disk write failed"));
    QVERIFY(writeText(alpha,
        record("10:00:03.000", "Error", "disk slow") + record("10:00:04.000", "Info", "disk"),
        QIODevice::Append));
    QTest::keyClick(viewer.window, Qt::Key_F5);
    QTRY_COMPARE(viewer.shownMessages(), QStringList({"disk write failed", "disk slow"}));

    // F5 pressed again while a reload runs changes nothing: one load, which ends on the
    // record clicked last. The three presses are queued together, so that the later two
    // come before the load can end however fast it is.
    viewer.clickRow(QStringLiteral("disk slow"));
    QVERIFY(writeText(alpha, record("10:00:04.000", "Error", "disk lost"), QIODevice::Append));
    OpenLog *log = viewer.currentLog();
    QVERIFY(log);
    QSignalSpy loads(log, &OpenLog::loadFinished);
    for (int press = 0; press < 3; ++press) {
        QCoreApplication::postEvent(
            viewer.window, new QKeyEvent(QEvent::KeyPress, Qt::Key_F5, Qt::NoModifier));
    }
    QTRY_COMPARE(loads.size(), 1);
    QTRY_VERIFY(log->state() == OpenLog::State::ready);
    QCoreApplication::processEvents();
    QCOMPARE(loads.size(), 1);
    QCOMPARE(viewer.shownMessages(), QStringList({"disk write failed", "disk slow", "disk lost"}));
    QCOMPARE(viewer.currentRow(), 1);
}

void TestWindow::readWithKeysCopyAndDetails()
{
    QTemporaryDir logs;
    const QByteArray trace = record("10:00:01.000", "Error", "crash\n  at parse()\n  at main()");
    const QByteArray records[] = {record("10:00:00.000", "Info", "service started"), trace,
        record("10:00:02.000", "Info", "queue drained"), record("10:00:03.000", "Info", "idle")};
    QVERIFY(writeText(logs.filePath(QStringLiteral("Gamma_1.log")),
        records[0] + records[1] + records[2] + records[3], {}));
    Viewer viewer(emptyConfig.path());
    QVERIFY(QTest::qWaitForWindowExposed(viewer.window));
    viewer.core.openFolder(QUrl::fromLocalFile(logs.path()));
    viewer.clickLog(QStringLiteral("Gamma"));
    QTRY_COMPARE(viewer.count(QStringLiteral("logView")), 4);
    viewer.clickRow(QStringLiteral("queue drained"));

    QTest::keyClick(viewer.window, Qt::Key_End);
    QCOMPARE(viewer.currentRow(), 3);
    QTest::keyClick(viewer.window, Qt::Key_Home);
    QCOMPARE(viewer.currentRow(), 0);
    // Shift+Down twice selects three records; they are copied as the file holds them.
    QTest::keyClick(viewer.window, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(viewer.window, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(viewer.window, Qt::Key_C, Qt::ControlModifier);
    // The four characters after the head mark are not kept in a record.
    const auto asCopied = [](QByteArray text) {
        return text.replace("[42]", "[00]");
    };
    QTRY_COMPARE(QGuiApplication::clipboard()->text().toUtf8(),
        asCopied(records[0] + records[1] + records[2]));

    // Enter shows the current record with its line breaks; Escape closes the window.
    QTest::keyClick(viewer.window, Qt::Key_Up);
    QCOMPARE(viewer.currentRow(), 1);
    QTest::keyClick(viewer.window, Qt::Key_C, Qt::ControlModifier);
    QTRY_COMPARE(QGuiApplication::clipboard()->text().toUtf8(), asCopied(trace));
    QTest::keyClick(viewer.window, Qt::Key_Return);
    auto *details = viewer.window->findChild<QQuickWindow *>(QStringLiteral("detailLogWindow"));
    QVERIFY(details);
    QTRY_VERIFY(details->isVisible());
    QCOMPARE(details->property("message").toString(),
        QStringLiteral("crash\n  at parse()\n  at main()"));
    QVERIFY(QTest::qWaitForWindowActive(details));
    QTest::keyClick(details, Qt::Key_Escape);
    QTRY_VERIFY(!details->isVisible());

    // A copy owns what it copies: the tab closed at once, its text still comes.
    viewer.clickRow(QStringLiteral("idle"));
    QTest::keyClick(viewer.window, Qt::Key_Home, Qt::ControlModifier);
    QTest::keyClick(viewer.window, Qt::Key_End, Qt::ShiftModifier);
    QTest::keyClick(viewer.window, Qt::Key_C, Qt::ControlModifier);
    QTest::keyClick(viewer.window, Qt::Key_W, Qt::ControlModifier);
    QTRY_COMPARE(viewer.count(QStringLiteral("tabListView")), 0);
    QTRY_COMPARE(QGuiApplication::clipboard()->text().toUtf8(),
        asCopied(records[0] + records[1] + records[2] + records[3]));

    // A copied message pastes as it was read: characters beyond ASCII, and the lone surrogate
    // of a damaged UTF-16 file, which UTF-8 cannot carry.
    QVERIFY(writeText(logs.filePath(QStringLiteral("Eight_1.log")),
        record("10:00:00.000", "Info",
            "gr\xC3\xB6\xC3\x9F"
            "e \xE2\x9C\x93 \xF0\x9D\x84\x9E"),
        {}));
    QString damaged = QString::fromUtf8(record("10:00:00.000", "Info", "cut LONE here"));
    damaged.replace(QStringLiteral("LONE"), QChar(0xD800));
    QVERIFY(writeText(logs.filePath(QStringLiteral("Sixteen_1.log")),
        QByteArray("\xFF\xFE")
            + QByteArray(reinterpret_cast<const char *>(damaged.utf16()), damaged.size() * 2),
        {}));
    const auto pasted = [] {
        const QMimeData *data = QGuiApplication::clipboard()->mimeData();
        return data ? data->text() : QString();
    };
    for (const QString name : {"Eight", "Sixteen"}) {
        QVERIFY(viewer.core.openLog(logs.path(), name));
        const QString message
            = viewer.core.recordAt(logs.path(), name, 0).value("messageRole").toString();
        QCOMPARE(QStringView(message).isValidUtf16(), name == QLatin1String("Eight"));
        QVERIFY(viewer.core.copyMessage(logs.path(), name, 0));
        QTRY_COMPARE(pasted(), message);
    }
}

void TestWindow::logsLoadWhileTheWindowGoesOn_data()
{
    QTest::addColumn<QString>("during");
    QTest::newRow("nothing") << QString();
    QTest::newRow("Escape") << QStringLiteral("Escape");
    QTest::newRow("close the tab") << QStringLiteral("close");
    QTest::newRow("filter change") << QStringLiteral("filter");
    QTest::newRow("F5") << QStringLiteral("F5");
    QTest::newRow("two filter changes as the rows arrive") << QStringLiteral("filters");
}

// What the user does happens at the load's first progress report, inside it, so that the
// worker is still reading or its result still waits to be registered.
void TestWindow::logsLoadWhileTheWindowGoesOn()
{
    QFETCH(QString, during);
    QTemporaryDir logs;
    const qint64 records
        = LogGenerator(11).writeLog(logs.path(), QStringLiteral("Big"), 3, 16 << 20);
    QVERIFY(records > 10000);
    Viewer viewer(emptyConfig.path());
    QVERIFY(QTest::qWaitForWindowExposed(viewer.window));
    TestSupport drops;
    drops.dragUrls(viewer.item(QStringLiteral("filesTab")),
        {QUrl::fromLocalFile(logs.path()).toString()}, true);
    QTRY_COMPARE(viewer.count(QStringLiteral("folderListView")), 1);
    QQuickItem *status = viewer.item(QStringLiteral("recordStatus"));

    const auto filter = [&](const QString &text) {
        QMetaObject::invokeMethod(viewer.item(QStringLiteral("filtersTab")), "containsOnly",
            Q_ARG(QVariant, QVariantList {text}));
    };
    viewer.clickLog(QStringLiteral("Big"));
    // The tab is there at once, with its progress, before any row.
    QCOMPARE(viewer.count(QStringLiteral("tabListView")), 1);
    QQuickItem *tab = viewer.withProperty("isCurrentIndex", true);
    QVERIFY(tab);
    QVERIFY(tab->property("progress").toDouble() >= 0);
    QCOMPARE(viewer.count(QStringLiteral("logView")), 0);
    QVERIFY(status->property("text").toString().startsWith(QStringLiteral("loading ")));
    const QPointer<OpenLog> log = viewer.currentLog();
    QVERIFY(log && log->state() == OpenLog::State::loading);
    const QPointer<LogOpenJob> job = log->job();
    QVERIFY(job);

    QList<double> shares;
    QStringList statusTexts;
    connect(log, &OpenLog::progressChanged, &viewer.core, [&] {
        shares.append(tab->property("progress").toDouble());
        statusTexts.append(status->property("text").toString());
        if (shares.size() > 1)
            return;
        if (during == QStringLiteral("Escape") || during == QStringLiteral("F5"))
            QTest::keyClick(
                viewer.window, during == QStringLiteral("Escape") ? Qt::Key_Escape : Qt::Key_F5);
        else if (during == QStringLiteral("close"))
            QTest::mouseClick(viewer.window, Qt::LeftButton, Qt::NoModifier,
                tab->mapToScene(QPointF(tab->width() - 10, 10)).toPoint());
        else if (during == QStringLiteral("filter"))
            filter(QStringLiteral("error"));
    });
    // The search texts are still being built then, so the changes wait, the later one in place
    // of the earlier.
    if (during == QStringLiteral("filters")) {
        connect(log, &OpenLog::loadFinished, &viewer.core, [&] {
            filter(QStringLiteral("camera"));
            filter(QStringLiteral("disk error"));
        });
    }
    // A filter changed during the load is the log's filter from the moment its rows show.
    QVariantMap countsWhenLoaded;
    connect(log, &OpenLog::loadFinished, &viewer.core, [&] {
        countsWhenLoaded = viewer.core.logRecordCounts(logs.path(), QStringLiteral("Big"));
    });
    QTRY_VERIFY_WITH_TIMEOUT(job.isNull(), 120000);
    QCoreApplication::processEvents();
    QTRY_VERIFY_WITH_TIMEOUT(
        !status->property("text").toString().contains(QStringLiteral("filtering")), 120000);
    if (during == QStringLiteral("filters")) {
        KestruneCore reference(emptyConfig.path());
        const auto *model = qobject_cast<const QAbstractItemModel *>(
            reference.openLog(logs.path(), QStringLiteral("Big")));
        reference.containsOnly({QStringLiteral("disk error")});
        QCOMPARE(viewer.count(QStringLiteral("logView")), model->rowCount());
        QVERIFY(model->rowCount() < records);
        // Later changes keep the rows shown, and say so, until the latest one's pass is in.
        filter(QStringLiteral("camera"));
        filter(QStringLiteral("queue"));
        QVERIFY(status->property("text").toString().contains(QStringLiteral("filtering…")));
        const int diskErrors = model->rowCount();
        QCOMPARE(viewer.count(QStringLiteral("logView")), diskErrors);
        reference.containsOnly({QStringLiteral("queue")});
        QVERIFY(model->rowCount() != diskErrors);
        QTRY_COMPARE(viewer.count(QStringLiteral("logView")), model->rowCount());
        QVERIFY(!status->property("text").toString().contains(QStringLiteral("filtering")));
    }

    QVERIFY(!shares.isEmpty());
    if (during == QStringLiteral("Escape") || during == QStringLiteral("close")) {
        // Stopped: no tab, no rows, nothing registered, now or later.
        QCOMPARE(viewer.count(QStringLiteral("tabListView")), 0);
        QCOMPARE(viewer.count(QStringLiteral("logView")), 0);
        QVERIFY(viewer.core.logRecordCounts(logs.path(), QStringLiteral("Big")).isEmpty());
        QCOMPARE(status->property("text").toString(), QString());
        return;
    }
    for (qsizetype i = 1; i < shares.size(); ++i)
        QVERIFY(shares[i] >= shares[i - 1]);
    QCOMPARE(shares.constLast(), 1.0);
    // A filter change made meanwhile may still say "filtering…" before it.
    QVERIFY(statusTexts.constLast().contains(QStringLiteral("loading 100%")));
    QCOMPARE(tab->property("progress").toDouble(), -1.0);

    // The rows and the line that counts them agree with what the core holds.
    const QVariantMap counts = viewer.core.logRecordCounts(logs.path(), QStringLiteral("Big"));
    QCOMPARE(counts.value(QStringLiteral("total")).toLongLong(), records);
    const int shown = counts.value(QStringLiteral("shown")).toInt();
    QCOMPARE(viewer.count(QStringLiteral("logView")), shown);
    // A filter changed during the load reaches the log once it is in.
    if (during == QStringLiteral("filter")) {
        QVERIFY(counts.value(QStringLiteral("filtered")).toBool() && shown < records);
        QCOMPARE(countsWhenLoaded, counts);
    }
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    QString expected = QStringLiteral("%1 of %2 records · ")
                           .arg(english.toString(shown), english.toString(records));
    if (counts.value(QStringLiteral("filtered")).toBool())
        expected += QStringLiteral("filter active · ");
    QVERIFY2(
        status->property("text").toString().startsWith(expected + QStringLiteral("opened in ")),
        qPrintable(status->property("text").toString()));
    // The index that the log holds in memory, not its records, which stay in the files.
    QVERIFY(QRegularExpression(QStringLiteral("opened in [0-9.]+ s · [0-9.]+ [KM]iB in memory$"))
                .match(status->property("text").toString())
                .hasMatch());
}

// The module's declaration lists the original documents in their fixed order, the fonts as
// ordinary types and the documents added since after them; no document imports the module
// by name.
void TestWindow::moduleListsItsDocumentsInOrder()
{
    QFile qmldir(QStringLiteral(":/Kestrune/qmldir"));
    QVERIFY(qmldir.open(QIODevice::ReadOnly));
    const QStringList lines
        = QString::fromUtf8(qmldir.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QStringList expected {"module Kestrune", "typeinfo Kestrune.qmltypes", "prefer :/Kestrune/"};
    for (const char *type : {"MainPanel", "FolderPanel", "fonts/GlobalFont", "FolderTabButton",
             "FolderView", "CommonButton", "FileView", "FileTab", "LogDelegate", "AddFolderButton",
             "LogDetailWindow", "LogDetailRow", "FilterView", "FindNextPanel",
             "FolderDelegateButton", "CheckBox2", "VerticalScrollBar", "ImageButton",
             "fonts/LogFont"}) {
        const QString path = QString::fromLatin1(type);
        expected.append(QStringLiteral("%1 1.0 qml/%2.qml").arg(path.section('/', -1), path));
    }
    QVERIFY(lines.size() > expected.size());
    QCOMPARE(lines.mid(0, expected.size()), expected);
    for (const QString &line : lines.mid(expected.size()))
        QVERIFY2(QRegularExpression(QStringLiteral("^[A-Z]\\w* 1\\.0 qml/\\w+\\.qml$"))
                     .match(line)
                     .hasMatch(),
            qPrintable(line));
    QDirIterator documents(QStringLiteral(":/Kestrune/qml"), {QStringLiteral("*.qml")}, QDir::Files,
        QDirIterator::Subdirectories);
    int count = 0;
    while (documents.hasNext()) {
        QFile document(documents.next());
        QVERIFY(document.open(QIODevice::ReadOnly));
        ++count;
        QVERIFY2(!QRegularExpression(
                     QStringLiteral("^import Kestrune\\b"), QRegularExpression::MultilineOption)
                      .match(QString::fromUtf8(document.readAll()))
                      .hasMatch(),
            qPrintable(document.fileName()));
    }
    QCOMPARE(count, lines.size() - 3 + 1);
}

#if defined(__SANITIZE_ADDRESS__)
// Full stacks in leak reports, which the suppressions of Qt's own image caches need.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
#endif

// Ctrl+O and the "Add folder…" button ask for a folder, whose logs are listed; the title
// names the current log; Ctrl+Q quits.
void TestWindow::folderDialogTitleAndQuitKeys()
{
    QTemporaryDir logs;
    QVERIFY(writeText(logs.filePath(QStringLiteral("Server_1.log")),
        record("10:00:00.000", "Info", "service started"), {}));
    Viewer viewer(emptyConfig.path());
    QVERIFY(QTest::qWaitForWindowExposed(viewer.window));
    QCOMPARE(viewer.window->title(), QStringLiteral("Kestrune"));
    auto *dialog = viewer.window->findChild<QObject *>(QStringLiteral("folderDialog"));
    QVERIFY(dialog);
    viewer.click(viewer.item(QStringLiteral("btnFilters")));
    QTest::keyClick(viewer.window, Qt::Key_O, Qt::ControlModifier);
    QTRY_VERIFY(dialog->property("visible").toBool());
    QVERIFY(viewer.item(QStringLiteral("filesTab"))->isVisible());
    dialog->setProperty("selectedFolder", QUrl::fromLocalFile(logs.path()));
    QMetaObject::invokeMethod(dialog, "accept");
    QTRY_COMPARE(viewer.count(QStringLiteral("folderListView")), 1);
    QTRY_VERIFY(!dialog->property("visible").toBool());
    viewer.click(viewer.item(QStringLiteral("addFolderButton")));
    QTRY_VERIFY(dialog->property("visible").toBool());
    QMetaObject::invokeMethod(dialog, "reject");
    QTRY_VERIFY(!dialog->property("visible").toBool());

    viewer.clickLog(QStringLiteral("Server"));
    QCOMPARE(viewer.window->title(), QStringLiteral("Server — Kestrune"));
    QSignalSpy quit(&viewer.engine, &QQmlEngine::quit);
    QTest::keyClick(viewer.window, Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(quit.count(), 1);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
