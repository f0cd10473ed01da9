#include "foldercatalogue.h"
#include "kestrunecore.h"

#include <QDebug>
#include <QFileInfo>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QStandardItemModel>
#include <QUrl>

#include <cstdio>

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

// What the command line asks for: the folders and files to list as if dropped on the window,
// the arguments before the document that name neither, and the document to load. Only an
// argument ending in ".qml" or a resource path (":/...") is a document; the arguments after
// it are the document's own and are left alone.
struct CommandLine
{
    QStringList places;
    QStringList missing;
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
        if (info.exists())
            line.places.append(info.absoluteFilePath());
        else
            line.missing.append(argument);
    }
    return line;
}

// Whether "--help" or "-h" comes before any document. Looked for before the application
// object exists, which needs a display.
bool wantsHelp(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromUtf8(argv[i]);
        if (isDocument(argument))
            return false;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return true;
    }
    return false;
}

const char usage[] = R"(Usage: kestrune [folder or file...] [document.qml [argument...]]

Lists each folder and file as if it had been dropped on the window: a folder's .log files
below it, a file whatever its suffix, grouped into logs by the part of the name before the
first "_" (or "-"). A single file named alone opens its log at once. A document ending in
.qml (or a resource path ":/...") is loaded instead of the built-in window, with the
arguments after it as its own. Qt's options, such as -platform offscreen, work as usual.
)";

void warnAtStart(KestruneCore &core, const QString &notice)
{
    qWarning().noquote() << notice;
    core.addStartNotice(notice);
}

// Lists each folder and file as a drop would, a file whatever its suffix. A file named alone
// that makes a log is that log's start log, which the window opens at once.
void listPlaces(KestruneCore &core, const CommandLine &line)
{
    auto *folders = qobject_cast<QStandardItemModel *>(core.folderModel());
    for (const QString &place : line.places) {
        const int rowsBefore = folders->rowCount();
        core.openFolder(QUrl::fromLocalFile(place));
        if (!QFileInfo(place).isFile())
            continue;
        if (folders->rowCount() == rowsBefore) {
            warnAtStart(core,
                QCoreApplication::translate(
                    "main", "not a log file: %1 (its name has no \"_\" or \"-\")")
                    .arg(place));
        } else if (line.places.size() == 1 && line.missing.isEmpty()) {
            const QModelIndex row = folders->index(rowsBefore, 0);
            core.setStartLog(row.data(FolderCatalogue::folderRole).toString(),
                row.data(FolderCatalogue::nameRole).toString());
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (wantsHelp(argc, argv)) {
        fputs(usage, stdout);
        return 0;
    }
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
    for (const QString &argument : commandLine.missing)
        warnAtStart(
            core, QCoreApplication::translate("main", "no such file or folder: %1").arg(argument));
    listPlaces(core, commandLine);
    engine.load(document);

    return QGuiApplication::exec();
}
