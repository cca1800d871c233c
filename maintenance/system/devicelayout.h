#ifndef DEVICELAYOUT_H
#define DEVICELAYOUT_H

#include <QByteArray>
#include <QString>
#include <QStringList>

// Where the device keeps what the maintenance actions work on, and how a backup set lies on
// the stick. Every fixed path lies below `root`, the folder that stands for "/" ("" is the
// device's own root).

QStringList maintainedDatabases(); // appdb, Misc

QString optFolder(const QString &root);       // /opt
QString appFolder(const QString &root);       // /opt/Brevin, what Clear Data removes
QString stickFolder(const QString &root);     // /mnt/usb
QString backupFolder(const QString &root);    // the set on the stick
QString newBackupFolder(const QString &root); // the set being written, beside it
QString dumpFile(const QString &root, const QString &database);
QString newDumpFile(const QString &root, const QString &database);
QString diskNode(const QString &root, char letter); // <root>/dev/sd<letter>
// What Restore keeps on the device (the databases' data saved for a roll-back, the loading
// account's option file): Clear Data removes it too.
QString keptDataFolder(const QString &root);

// The names inside the stick's folder and inside a set. Older panels read a set by these
// names, so they never change.
namespace SetLayout {
constexpr char setFolder[] = "BackupData";
constexpr char newSetFolder[] = "BackupData.new"; // the set being written
constexpr char oldSetFolder[] = "BackupData.old"; // the previous set while the new one moves in
constexpr char treeFolder[] = "opt";              // the /opt tree
} // namespace SetLayout

// The file a database's dump has in a set: "appdb.sql".
QByteArray dumpFileName(const QString &database);

#endif
