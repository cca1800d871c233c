#ifndef COMMANDLISTS_H
#define COMMANDLISTS_H

#include "maintenance/system/devicecommands.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Every command line of an action in the order the panel runs it, the tree copy's "sync"
// included: what a test expects the runner to have seen.

inline QList<QByteArray> backupCommands(const QString &root)
{
    QList<QByteArray> lines{databaseSizesCommand(root), syncCommand()};
    for (const QString &database : maintainedDatabases())
        lines << dumpCommand(root, database);
    lines << syncCommand();
    return lines;
}

inline QList<QByteArray> clearCommands(const QString &root)
{
    QList<QByteArray> lines;
    for (const QString &database : maintainedDatabases())
        lines << dropDatabaseCommand(database);
    lines << removeAppFolderCommand(root) << removeKeptDataCommand(root) << clearSyncCommand();
    return lines;
}

inline QList<QByteArray> powerOffCommands()
{
    return {powerOffCommand()};
}

#endif
