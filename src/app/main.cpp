#include "kestrunecore.h"

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

// The arguments that name existing folders: they are listed as if dropped on the window.
QStringList folderArguments(const QStringList &arguments)
{
    QStringList folders;
    for (const QString &argument : arguments) {
        const QFileInfo info(argument);
        if (info.isDir())
            folders.append(info.absoluteFilePath());
    }
    return folders;
}

// The document to load: the first argument that is not a folder, else the built-in one.
// A resource path (":/...") is taken as such, anything else as a local file path.
QUrl documentUrl(const QStringList &arguments, const QUrl &mainUrl)
{
    for (const QString &argument : arguments) {
        if (QFileInfo(argument).isDir())
            continue;
        if (argument.startsWith(QLatin1Char(':')))
            return QUrl(QStringLiteral("qrc") + argument);
        return QUrl::fromUserInput(argument, QStringLiteral("."), QUrl::AssumeLocalFile);
    }
    return mainUrl;
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
    const QStringList arguments = remainingArguments(argc, argv);
    const QUrl document = documentUrl(arguments, mainUrl);
    // A document that cannot create its window ends the process instead of leaving it
    // running without one.
    QObject::connect(
        &engine, &QQmlApplicationEngine::objectCreated, &app,
        [document](QObject *object, const QUrl &url) {
            if (!object && url == document)
                QCoreApplication::exit(-1);
        },
        Qt::QueuedConnection);

    KestruneCore core;
    engine.rootContext()->setContextProperty(QStringLiteral("kestruneCore"), &core);
    for (const QString &folder : folderArguments(arguments))
        core.openFolder(QUrl::fromLocalFile(folder));
    engine.load(document);

    return QGuiApplication::exec();
}
