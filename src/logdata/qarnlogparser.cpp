#include "qarnlogparser.h"

#include <QIODevice>
#include <QTextStream>

#include <memory>

namespace {

const QString headTag = QStringLiteral("<HEAD>");
const QString contOpen = QStringLiteral("<CONT>");
const QString contClose = QStringLiteral("</CONT>");

QString tagValue(const QString &line, const QString &open, const QString &close)
{
    const qsizetype o = line.indexOf(open);
    const qsizetype c = line.indexOf(close);
    if (o < 0 && c < 0)
        return {};
    const qsizetype s = o < 0 ? 0 : o + open.size();
    if (c >= s)
        return line.mid(s, c - s);
    return line.mid(s);
}

QarnLogParser::QarnLog recordFromHeader(const QString &line)
{
    QarnLogParser::QarnLog log;
    log.dateTime = line.mid(10, 23);
    log.logType = tagValue(line, QStringLiteral("<LN>"), QStringLiteral("</LN>"));
    log.threadID = tagValue(line, QStringLiteral("<TID>"), QStringLiteral("</TID>"));
    log.moduleName = tagValue(line, QStringLiteral("<MNAME>"), QStringLiteral("</MNAME>"));
    log.cppFileName = tagValue(line, QStringLiteral("<FILE>"), QStringLiteral("</FILE>"));
    log.cppLine = tagValue(line, QStringLiteral("<LINE>"), QStringLiteral("</LINE>"));
    return log;
}

// Applies one line of a message block; returns true when the line ends the block.
bool addBlockLine(QString &message, const QString &line)
{
    const qsizetype open = line.indexOf(contOpen);
    const qsizetype close = line.indexOf(contClose);
    if (open >= 0 && close >= 0) {
        message = tagValue(line, contOpen, contClose);
        return true;
    }
    if (open >= 0) {
        message = line.mid(open + contOpen.size()) + QLatin1Char('\n');
        return false;
    }
    if (close >= 0) {
        message += line.left(close);
        return true;
    }
    if (!line.isEmpty())
        message += line + QLatin1Char('\n');
    return false;
}

} // namespace

std::vector<QarnLogParser::QarnLog> QarnLogParser::parse(QIODevice *device)
{
    std::unique_ptr<QIODevice> owned(device);
    std::vector<QarnLog> result;
    QTextStream stream(owned.get());
    QString line;
    bool haveLine = stream.readLineInto(&line);
    while (haveLine) {
        if (!line.startsWith(headTag)) {
            haveLine = stream.readLineInto(&line);
            continue;
        }
        QarnLog log = recordFromHeader(line);
        bool ended = false;
        while (!ended && stream.readLineInto(&line))
            ended = addBlockLine(log.message, line);
        result.push_back(std::move(log));
        haveLine = ended && stream.readLineInto(&line);
    }
    return result;
}
