#ifndef STICKAPART_H
#define STICKAPART_H

#include <QByteArray>
#include <QString>

// Whether what is mounted at the stick folder is a stick of its own, apart from the device's
// /opt: not /opt's own file system (a bind mount of /opt or of any folder of its file system
// keeps the device), not a mount of something below /opt (a file system mounted on a folder
// of /opt, or a folder of one), and not itself a folder of /opt. A Backup onto such a "stick"
// would copy /opt into itself until its partition is full; a Restore would restore the device
// from itself. Both refuse before anything is written.
struct StickApart
{
    enum class Verdict {
        Apart,
        SameFileSystem, // the file system of /opt
        InsideOpt,      // the stick folder lies inside /opt
        MountBelowOpt,  // the file system mounted on `mountPoint` below /opt
    };
    Verdict verdict = Verdict::Apart;
    QByteArray mountPoint; // MountBelowOpt: the mount point, relative to /opt ("Brevin/data")

    bool isApart() const { return verdict == Verdict::Apart; }
};

// Compares the stick folder of `systemRoot` with its /opt, as the kernel sees both now (links
// resolved, bind mounts included). A stick that cannot be looked at, or a missing /opt, counts
// as apart: other checks refuse those.
StickApart checkStickApart(const QString &systemRoot);

#endif
