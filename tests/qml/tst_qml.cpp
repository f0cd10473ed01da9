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

#if defined(__SANITIZE_ADDRESS__)
// Full stacks in leak reports: fast unwinding stops inside Qt's libraries, and the
// suppressions of Qt's own image caches need the Qt functions further up the stack.
extern "C" const char *__asan_default_options()
{
    return "fast_unwind_on_malloc=0";
}
#endif

QUICK_TEST_MAIN_WITH_SETUP(kestrune, Setup)
#include "tst_qml.moc"
