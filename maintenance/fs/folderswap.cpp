#include "maintenance/fs/folderswap.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>

bool FolderSwap::fail(int error)
{
    m_error = error;
    return false;
}

bool FolderSwap::swap(int dirFd, const QByteArray &fresh, const QByteArray &name,
                      const QByteArray &aside)
{
    m_error = 0;
    m_leftover.clear();
    m_previousInPlace = true;
    struct stat status;
    if (::fstatat(dirFd, name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
        if (::renameat(dirFd, fresh.constData(), dirFd, name.constData()) != 0)
            return fail(errno);
        return true;
    }
    if (::renameat2(dirFd, fresh.constData(), dirFd, name.constData(), RENAME_EXCHANGE) == 0) {
        m_leftover = fresh;
        return true;
    }
    if (m_fallback == Fallback::WhereUnsupported && errno != EINVAL && errno != ENOSYS &&
        errno != EOPNOTSUPP)
        return fail(errno);
    if (::renameat(dirFd, name.constData(), dirFd, aside.constData()) != 0)
        return fail(errno);
    if (::renameat(dirFd, fresh.constData(), dirFd, name.constData()) != 0) {
        fail(errno);
        m_previousInPlace = ::renameat(dirFd, aside.constData(), dirFd, name.constData()) == 0;
        return false;
    }
    m_leftover = aside;
    return true;
}
