#ifndef MANIFESTENTRY_H
#define MANIFESTENTRY_H

#include <QByteArray>
#include <QtGlobal>

#include <sys/stat.h>
#include <sys/types.h>

// One line of a backup set's manifest: an entry of the tree or a dump, as it was on the
// device. Paths are relative to BackupData ("opt/Brevin/bin/app", "appdb.sql"), byte for byte.
struct ManifestEntry
{
    enum class Type { File, Folder, Link, Fifo, Socket, CharDevice, BlockDevice };

    QByteArray path;
    QByteArray stored; // where the stick holds it, when the stick could not take the name
    Type type = Type::File;
    quint32 mode = 0; // permission bits, 07777
    quint32 uid = 0;
    quint32 gid = 0;
    qint64 mtime = 0;
    qint64 mtimeNsec = 0;
    qint64 size = 0;
    QByteArray link;   // a link's target text
    QByteArray sha256; // hex, files only
    qint64 group = 0;  // hard-link group, 0 for none
    qint64 nlink = 1;
    quint32 deviceMajor = 0;
    quint32 deviceMinor = 0;
    bool optional = false; // the stick does not hold it: the manifest alone describes it

    // The entry's path, permission bits, owner and time as `status` shows them.
    static ManifestEntry fromStatus(const QByteArray &path, const struct stat &status)
    {
        ManifestEntry entry;
        entry.path = path;
        entry.mode = status.st_mode & 07777;
        entry.uid = status.st_uid;
        entry.gid = status.st_gid;
        entry.mtime = status.st_mtim.tv_sec;
        entry.mtimeNsec = status.st_mtim.tv_nsec;
        return entry;
    }

    QByteArray storedPath() const { return stored.isEmpty() ? path : stored; }
    bool carriesData() const { return type == Type::File; }
};

#endif
