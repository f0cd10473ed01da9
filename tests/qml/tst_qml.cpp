// Runs the Qt Quick tests against a real core, as the program publishes it.
#include "kestrunecore.h"
#include "testsupport.h"

#include <QQmlContext>
#include <QQmlEngine>
#include <QTemporaryDir>
#include <QtQuickTest>

#include <memory>

class Setup : public QObject
{
    Q_OBJECT

public slots:
    void qmlEngineAvailable(QQmlEngine *engine)
    {
        const QString configDir = qEnvironmentVariable("KESTRUNE_CONFIG_DIR", emptyConfig.path());
        core = std::make_unique<KestruneCore>(configDir);
        engine->rootContext()->setContextProperty(QStringLiteral("kestruneCore"), core.get());
        engine->rootContext()->setContextProperty(QStringLiteral("testSupport"), &support);
        // Documents of the program are reached as "qrc:/Kestrune/qml/...".
        engine->addImportPath(QStringLiteral("qrc:/"));
    }

    void cleanupTestCase() { core.reset(); }

private:
    QTemporaryDir emptyConfig;
    TestSupport support;
    std::unique_ptr<KestruneCore> core;
};

QUICK_TEST_MAIN_WITH_SETUP(kestrune, Setup)
#include "tst_qml.moc"
