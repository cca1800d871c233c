#include "maintenance/system/devicelayout.h"

#include <QFile>

QStringList maintainedDatabases()
{
    return {QStringLiteral("appdb"), QStringLiteral("Misc")};
}

QString optFolder(const QString &root)
{
    return root + QLatin1String("/opt");
}

QString appFolder(const QString &root)
{
    return optFolder(root) + QLatin1String("/Brevin");
}

QString stickFolder(const QString &root)
{
    return root + QLatin1String("/mnt/usb");
}

QString backupFolder(const QString &root)
{
    return stickFolder(root) + QLatin1Char('/') + QLatin1String(SetLayout::setFolder);
}

QString newBackupFolder(const QString &root)
{
    return stickFolder(root) + QLatin1Char('/') + QLatin1String(SetLayout::newSetFolder);
}

QByteArray dumpFileName(const QString &database)
{
    return QFile::encodeName(database) + ".sql";
}

QString dumpFile(const QString &root, const QString &database)
{
    return backupFolder(root) + QLatin1Char('/') + QFile::decodeName(dumpFileName(database));
}

QString newDumpFile(const QString &root, const QString &database)
{
    return newBackupFolder(root) + QLatin1Char('/') + QFile::decodeName(dumpFileName(database));
}

QString diskNode(const QString &root, char letter)
{
    return root + QLatin1String("/dev/sd") + QLatin1Char(letter);
}

QString keptDataFolder(const QString &root)
{
    return root + QLatin1String("/var/backups/servicepanel");
}
