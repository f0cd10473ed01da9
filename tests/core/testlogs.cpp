#include "testlogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

bool writeLogFile(const QString &path, const QList<TestRecord> &records)
{
    QByteArray text;
    for (const TestRecord &record : records) {
        text += "<HEAD>[12]" + record.dateTime.toUtf8() + " <LN>" + record.logType.toUtf8()
            + "</LN><TID>7</TID><MNAME>Module</MNAME><FILE>unit.cpp</FILE><LINE>1</LINE>\n"
            + "<CONT>" + record.message.toUtf8() + "</CONT>\n";
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
}

bool touchFile(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}
