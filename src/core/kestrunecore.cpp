#include "kestrunecore.h"

#include <QCoreApplication>

namespace {
enum FolderRoles { folderRole = Qt::UserRole + 1, nameRole = Qt::UserRole + 2 };
} // namespace

KestruneCore::KestruneCore()
    : KestruneCore(QCoreApplication::applicationDirPath())
{ }

KestruneCore::KestruneCore(const QString &configFolder)
    : QObject(nullptr)
    , folders(nullptr)
    , settings(configFolder + QStringLiteral("/settings.ini"), QSettings::IniFormat)
    , style(configFolder + QStringLiteral("/style/default.ini"), QSettings::IniFormat)
{
    folders.setItemRoleNames({{folderRole, "folderRole"}, {nameRole, "nameRole"}});
}

KestruneCore::~KestruneCore() = default;

void KestruneCore::openFolder(QUrl url)
{
    Q_UNUSED(url) // filled in with the folder catalogue
}

QObject *KestruneCore::folderModel()
{
    return &folders;
}

QObject *KestruneCore::openLog(QString folder, QString serverName)
{
    Q_UNUSED(folder) // filled in with the open-log registry
    Q_UNUSED(serverName)
    return nullptr;
}

void KestruneCore::closeLog(QString folder, QString serverName)
{
    Q_UNUSED(folder) // filled in with the open-log registry
    Q_UNUSED(serverName)
}

void KestruneCore::containsOnly(QVariantList filters)
{
    Q_UNUSED(filters) // filled in with the open-log registry
}

void KestruneCore::containsAll(QVariantList filters)
{
    Q_UNUSED(filters) // filled in with the open-log registry
}

void KestruneCore::showOnlyErrors(bool onlyErrors)
{
    Q_UNUSED(onlyErrors) // filled in with the open-log registry
}

int KestruneCore::findNext(QString folder, QString serverName, int startsAt, QString str) const
{
    Q_UNUSED(folder) // filled in with the open-log registry
    Q_UNUSED(serverName)
    Q_UNUSED(startsAt)
    Q_UNUSED(str)
    return -1;
}

int KestruneCore::findDate(QString folder, QString serverName, QString str) const
{
    Q_UNUSED(folder) // filled in with the open-log registry
    Q_UNUSED(serverName)
    Q_UNUSED(str)
    return -1;
}

int KestruneCore::getIndex(QString folder, QString serverName, int lineNumber) const
{
    Q_UNUSED(folder) // filled in with the open-log registry
    Q_UNUSED(serverName)
    Q_UNUSED(lineNumber)
    return -1;
}

QVariant KestruneCore::getSetting(QString key, QVariant defaultValue) const
{
    return settings.value(key, defaultValue);
}

QVariant KestruneCore::getStyle(QString key, QVariant defaultValue) const
{
    return style.value(key, defaultValue);
}
