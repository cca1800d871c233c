#ifndef DEVICECOMMANDS_H
#define DEVICECOMMANDS_H

#include "maintenance/system/devicelayout.h"

#include <QByteArray>
#include <QString>

// The command lines of the maintenance actions, on the paths of devicelayout.h. The texts keep
// their doubled and trailing blanks: they are what the device has always run.

// `path` as one shell word: as it stands when it is plain, else in single quotes.
QByteArray shellArgument(const QString &path);

QByteArray clearPathCommand(const QString &path);
QByteArray syncCommand();

// The dump goes into the set being written (routines, events and triggers included); the
// set replaces the previous one only when both dumps are whole.
QByteArray dumpCommand(const QString &root, const QString &database);

// "if exists": a database that is already gone is not a failure, an unreachable server is.
QByteArray dropDatabaseCommand(const QString &database);
QByteArray createDatabaseCommand(const QString &database);

QByteArray removeAppFolderCommand(const QString &root);
QByteArray removeKeptDataCommand(const QString &root);
QByteArray clearSyncCommand();
QByteArray powerOffCommand();

// True when something is mounted on the folder `path` (isMountedFolder(): another file system
// than its parent's, or a mount listed by the kernel, such as a bind mount).
bool isMountPoint(const QString &path);

#endif
