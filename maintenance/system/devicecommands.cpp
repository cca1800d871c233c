#include "maintenance/system/devicecommands.h"

#include "maintenance/system/mountpoints.h"

#include <QFile>
#include <QRegularExpression>

QByteArray shellArgument(const QString &path)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9/._-]+$"));
    const QByteArray bytes = QFile::encodeName(path);
    if (plain.match(path).hasMatch() && !path.startsWith(QLatin1Char('-')))
        return bytes;
    QByteArray quoted = bytes;
    quoted.replace('\'', "'\\''");
    return '\'' + quoted + '\'';
}

QByteArray clearPathCommand(const QString &path)
{
    // The glob stays outside the quotes: it is what empties the folder.
    return "rm  -rf " + shellArgument(path) + "/*";
}

QByteArray syncCommand()
{
    return "sync";
}

QByteArray dumpCommand(const QString &root, const QString &database)
{
    return "mysqldump --routines --events --triggers " + database.toLatin1() + " > " +
           shellArgument(newDumpFile(root, database));
}

QByteArray dropDatabaseCommand(const QString &database)
{
    return QStringLiteral("mysql -e  \"drop database if exists %1;\"").arg(database).toLatin1();
}

QByteArray createDatabaseCommand(const QString &database)
{
    return QStringLiteral("mysql -e  \"create database %1;\"").arg(database).toLatin1();
}

QByteArray removeAppFolderCommand(const QString &root)
{
    return "rm -rf " + shellArgument(appFolder(root)) + "  ";
}

QByteArray removeKeptDataCommand(const QString &root)
{
    return "rm -rf " + shellArgument(keptDataFolder(root));
}

QByteArray clearSyncCommand()
{
    return "sync ";
}

QByteArray powerOffCommand()
{
    return "poweroff";
}

bool isMountPoint(const QString &path)
{
    return isMountedFolder(path);
}
