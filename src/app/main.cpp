#include "kestrunecore.h"

#include <QDebug>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QUrl>

#ifndef KESTRUNE_MAIN_URL
#define KESTRUNE_MAIN_URL "qrc:/Kestrune/qml/main.qml"
#endif

namespace {

// The arguments that remain once Qt has taken out its own options.
QStringList remainingArguments(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromUtf8(argv[i]));
    return arguments;
}

// What the command line asks for: the folders to list as if dropped on the window, the
// arguments before the document that are no folders, and the document to load. Only an
// argument ending in ".qml" or a resource path (":/...") is a document; the arguments after
// it are the document's own and are left alone.
struct CommandLine
{
    QStringList folders;
    QStringList notFolders;
    QUrl document;
};

bool isDocument(const QString &argument)
{
    return argument.endsWith(QLatin1String(".qml")) || argument.startsWith(QLatin1String(":/"));
}

QUrl documentUrl(const QString &argument)
{
    if (argument.startsWith(QLatin1String(":/")))
        return QUrl(QStringLiteral("qrc") + argument);
    return QUrl::fromUserInput(argument, QStringLiteral("."), QUrl::AssumeLocalFile);
}

CommandLine readCommandLine(const QStringList &arguments, const QUrl &mainUrl)
{
    CommandLine line {{}, {}, mainUrl};
    for (const QString &argument : arguments) {
        if (isDocument(argument)) {
            line.document = documentUrl(argument);
            break;
        }
        const QFileInfo info(argument);
        if (info.isDir())
            line.folders.append(info.absoluteFilePath());
        else
            line.notFolders.append(argument);
    }
    return line;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Kestrune"));
    QGuiApplication::setOrganizationName(QStringLiteral("Kestrune"));
    QGuiApplication::setOrganizationDomain(QStringLiteral("Kestrune"));

    QQmlApplicationEngine engine;
    const QUrl mainUrl(QStringLiteral(KESTRUNE_MAIN_URL), QUrl::TolerantMode);
    const CommandLine commandLine = readCommandLine(remainingArguments(argc, argv), mainUrl);
    const QUrl document = commandLine.document;
    // A document that cannot create its window ends the process instead of leaving it
    // running without one.
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreated, &app,
        [document](QObject *object, const QUrl &url) {
            if (!object && url == document)
                QCoreApplication::exit(-1);
        },
        Qt::QueuedConnection);

    // Destroyed before the engine: it owns what the documents show.
    KestruneCore core;
    engine.rootContext()->setContextProperty(QStringLiteral("kestruneCore"), &core);
    // The documents call the core from their bindings: the window and the singletons go
    // before the core does, while the event loop ends.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &engine, [&engine] {
        qDeleteAll(engine.rootObjects());
        engine.clearSingletons();
    });
    for (const QString &argument : commandLine.notFolders) {
        const QString notice
            = QCoreApplication::translate("main", "not a folder: %1").arg(argument);
        qWarning().noquote() << notice;
        core.addStartNotice(notice);
    }
    for (const QString &folder : commandLine.folders)
        core.openFolder(QUrl::fromLocalFile(folder));
    engine.load(document);

    return QGuiApplication::exec();
}
