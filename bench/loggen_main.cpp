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

// Reads "none", "all" or a share such as "1/200" into options; false when it is none of them.
bool parseShare(const QString &text, LogGeneratorOptions &options)
{
    const QString share = text.trimmed().toLower();
    if (share == QLatin1String("none") || share == QLatin1String("all")) {
        options.nonAsciiShare = share == QLatin1String("all") ? 1 : 0;
        options.nonAsciiOutOf = 1;
        return true;
    }
    const QStringList parts = share.split(QLatin1Char('/'));
    bool numeratorOk = false;
    bool denominatorOk = false;
    options.nonAsciiShare = parts.value(0).toInt(&numeratorOk);
    options.nonAsciiOutOf = parts.value(1).toInt(&denominatorOk);
    return parts.size() == 2 && numeratorOk && denominatorOk && options.nonAsciiShare >= 0
        && options.nonAsciiOutOf > 0 && options.nonAsciiShare <= options.nonAsciiOutOf;
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
    const QCommandLineOption recordsOption(QStringLiteral("records-per-file"),
        QStringLiteral("Exactly this many records in every file; the size is then ignored."),
        QStringLiteral("count"), QStringLiteral("0"));
    const QCommandLineOption nonAsciiOption(QStringLiteral("non-ascii"),
        QStringLiteral("Share of messages with non-ASCII text: none, all or e.g. 1/200."),
        QStringLiteral("share"), QStringLiteral("none"));
    const QCommandLineOption nonAsciiFieldsOption(QStringLiteral("non-ascii-fields"),
        QStringLiteral("Some module, thread and file values are non-ASCII."));
    const QCommandLineOption crlfOption(QStringLiteral("crlf"), QStringLiteral("CR LF line ends."));
    const QCommandLineOption utf16Option(
        QStringLiteral("utf16"), QStringLiteral("UTF-16LE with a byte-order mark."));
    const QCommandLineOption mixedDatesOption(QStringLiteral("mixed-date-shapes"),
        QStringLiteral("One record in ten has a one-digit serial, which moves its date."));
    const QCommandLineOption outOfOrderOption(QStringLiteral("out-of-order"),
        QStringLiteral("Each record's time goes back by up to this many milliseconds."),
        QStringLiteral("ms"), QStringLiteral("0"));
    parser.addOptions(
        {outOption, nameOption, sizeOption, filesOption, seedOption, recordsOption, nonAsciiOption,
            nonAsciiFieldsOption, crlfOption, utf16Option, mixedDatesOption, outOfOrderOption});
    parser.process(app);

    LogGeneratorOptions options;
    options.nonAsciiFields = parser.isSet(nonAsciiFieldsOption);
    options.crlf = parser.isSet(crlfOption);
    options.utf16 = parser.isSet(utf16Option);
    options.recordsPerFile = parser.value(recordsOption).toInt();
    options.mixedDateShapes = parser.isSet(mixedDatesOption);
    options.outOfOrderMs = parser.value(outOfOrderOption).toInt();
    const qint64 size = parseSize(parser.value(sizeOption));
    const int files = parser.value(filesOption).toInt();
    if (!parser.isSet(outOption) || size < 0 || files < 1 || options.recordsPerFile < 0
        || options.outOfOrderMs < 0 || !parseShare(parser.value(nonAsciiOption), options)) {
        std::fputs("usage: kestrune-loggen --out FOLDER [--name N] [--size 100M] [--files 3]\n"
                   "       [--records-per-file N] [--non-ascii none|all|1/200]\n"
                   "       [--non-ascii-fields] [--crlf] [--utf16]\n"
                   "       [--mixed-date-shapes] [--out-of-order MS]\n",
            stderr);
        return 2;
    }
    const QString folder = parser.value(outOption);
    QDir().mkpath(folder);
    LogGenerator generator(parser.value(seedOption).toULongLong(), options);
    const qint64 records = generator.writeLog(folder, parser.value(nameOption), files, size);
    if (records < 0) {
        std::fprintf(stderr, "cannot write into %s\n", qPrintable(folder));
        return 1;
    }
    std::printf("%lld records in %d files\n", static_cast<long long>(records), files);
    return 0;
}
