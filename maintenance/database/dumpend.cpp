#include "maintenance/database/dumpend.h"

#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/sha256.h"

#include <cerrno>

bool dumpEndsWhole(int fd)
{
    QByteArray tail;
    return posixfs::readTail(fd, dumpTailBytes, &tail) && endsLikeWholeDump(tail);
}

bool hashWholeDump(int fd, QByteArray *sha256, qint64 *size)
{
    QByteArray tail;
    if (!sha256OfFile(fd, sha256, size, &tail, dumpTailBytes))
        return false;
    if (!endsLikeWholeDump(tail)) {
        errno = ENODATA;
        return false;
    }
    return true;
}
