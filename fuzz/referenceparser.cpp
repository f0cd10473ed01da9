#include "referenceparser.h"

#include <QBuffer>
#include <QTextStream>

namespace {

QString tagValue(const QString &line, const QString &open, const QString &close)
{
    const qsizetype o = line.indexOf(open);
    const qsizetype c = line.indexOf(close);
    if (o < 0 && c < 0)
        return {};
    const qsizetype s = o < 0 ? 0 : o + open.size();
    return c >= s ? line.mid(s, c - s) : line.mid(s);
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

bool addBlockLine(QString &message, const QString &line)
{
    const QString open = QStringLiteral("<CONT>");
    const QString close = QStringLiteral("</CONT>");
    const bool hasOpen = line.contains(open);
    const bool hasClose = line.contains(close);
    if (hasOpen && hasClose) {
        message = tagValue(line, open, close);
        return true;
    }
    if (hasOpen) {
        message = line.mid(line.indexOf(open) + open.size()) + QLatin1Char('\n');
        return false;
    }
    if (hasClose) {
        message += line.left(line.indexOf(close));
        return true;
    }
    if (!line.isEmpty())
        message += line + QLatin1Char('\n');
    return false;
}

} // namespace

QStringList ReferenceParser::lines(const QByteArray &data)
{
    QBuffer buffer;
    buffer.setData(data);
    buffer.open(QIODevice::ReadOnly);
    QTextStream stream(&buffer);
    QStringList result;
    QString line;
    while (stream.readLineInto(&line))
        result.append(line);
    return result;
}

std::vector<QarnLogParser::QarnLog> ReferenceParser::parse(const QByteArray &data)
{
    const QStringList all = lines(data);
    std::vector<QarnLogParser::QarnLog> result;
    qsizetype next = 0;
    while (next < all.size()) {
        const QString &line = all.at(next++);
        if (!line.startsWith(QLatin1String("<HEAD>")))
            continue;
        QarnLogParser::QarnLog log = recordFromHeader(line);
        bool ended = false;
        while (!ended && next < all.size())
            ended = addBlockLine(log.message, all.at(next++));
        result.push_back(log);
    }
    return result;
}
