// Command-line front end of the log generator: writes one log of a given size into a folder.
#include "loggenerator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

// Accepts a plain byte count or one with a K, M or G suffix (powers of 1000).
qint64 parseSize(const QString &text)
{
    static const QString suffixes = QStringLiteral("KMG");
    qint64 factor = 1;
    QString digits = text.trimmed().toUpper();
    const qsizetype suffix = digits.isEmpty() ? -1 : suffixes.indexOf(digits.back());
    if (suffix >= 0) {
        for (qsizetype i = 0; i <= suffix; ++i)
            factor *= 1000;
        digits.chop(1);
    }
    bool ok = false;
    const qint64 value = digits.toLongLong(&ok);
    return ok && value >= 0 ? value * factor : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a deterministic tagged log."));
    parser.addHelpOption();
    const QCommandLineOption outOption(
        QStringLiteral("out"), QStringLiteral("Target folder."), QStringLiteral("folder"));
    const QCommandLineOption nameOption(QStringLiteral("name"), QStringLiteral("Log name."),
        QStringLiteral("name"), QStringLiteral("Recorder"));
    const QCommandLineOption sizeOption(QStringLiteral("size"),
        QStringLiteral("Total size, e.g. 100M or 1G."), QStringLiteral("bytes"),
        QStringLiteral("10M"));
    const QCommandLineOption filesOption(QStringLiteral("files"),
        QStringLiteral("Number of files of the log."), QStringLiteral("count"),
        QStringLiteral("3"));
    const QCommandLineOption seedOption(QStringLiteral("seed"), QStringLiteral("Random seed."),
        QStringLiteral("seed"), QStringLiteral("1"));
    parser.addOptions({outOption, nameOption, sizeOption, filesOption, seedOption});
    parser.process(app);

    const qint64 size = parseSize(parser.value(sizeOption));
    const int files = parser.value(filesOption).toInt();
    if (!parser.isSet(outOption) || size < 0 || files < 1) {
        std::fputs(
            "usage: kestrune-loggen --out FOLDER [--name N] [--size 100M] [--files 3]\n", stderr);
        return 2;
    }
    const QString folder = parser.value(outOption);
    QDir().mkpath(folder);
    LogGenerator generator(parser.value(seedOption).toULongLong());
    const qint64 records = generator.writeLog(folder, parser.value(nameOption), files, size);
    if (records < 0) {
        std::fprintf(stderr, "cannot write into %s\n", qPrintable(folder));
        return 1;
    }
    std::printf("%lld records in %d files\n", static_cast<long long>(records), files);
    return 0;
}
