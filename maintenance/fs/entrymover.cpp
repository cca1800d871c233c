#include "maintenance/fs/entrymover.h"

#include "maintenance/fs/folderstack.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/treewalker.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

bool EntryMover::fail(int error, const QByteArray &name)
{
    m_error = error;
    m_errorName = name;
    return false;
}

bool EntryMover::move(int fromFd, int toFd)
{
    m_error = 0;
    m_errorName.clear();
    m_moved.clear();
    return m_folders == Folders::Rename ? moveByRenames(fromFd, toFd)
                                        : moveRebuilding(fromFd, toFd);
}

bool EntryMover::moveByRenames(int fromFd, int toFd)
{
    QList<QByteArray> names;
    if (!posixfs::listNames(fromFd, &names))
        return fail(errno);
    for (const QByteArray &name : qAsConst(names)) {
        if (skipped(name))
            continue;
        struct stat status;
        if (m_existing != Existing::Replace &&
            ::fstatat(toFd, name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            if (m_existing == Existing::Skip)
                continue;
            return fail(EEXIST, name);
        }
        if (::renameat(fromFd, name.constData(), toFd, name.constData()) != 0)
            return fail(errno, name);
        m_moved << name;
    }
    return true;
}

bool EntryMover::moveRebuilding(int fromFd, int toFd)
{
    struct stat target;
    if (::fstat(toFd, &target) != 0)
        return fail(errno);
    TreeWalker walker;
    if (!walker.openAt(fromFd, "."))
        return fail(walker.error());
    FolderStack targets;
    targets.push(::fcntl(toFd, F_DUPFD_CLOEXEC, 0));
    for (;;) {
        const TreeWalker::Step step = walker.next();
        if (step == TreeWalker::Step::End)
            break;
        if (step == TreeWalker::Step::Leave) {
            if (walker.depth() > 1 && !targets.pop())
                return fail(errno);
            continue;
        }
        const QByteArray name = walker.name();
        const bool top = walker.depth() == 1;
        if (top && skipped(name))
            continue;
        struct stat status;
        if (m_existing != Existing::Replace &&
            ::fstatat(targets.top(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            if (m_existing == Existing::Refuse)
                return fail(EEXIST, top ? name : QByteArray());
            if (!S_ISDIR(walker.status().st_mode))
                continue;
        }
        if (S_ISDIR(walker.status().st_mode)) {
            if (::mkdirat(targets.top(), name.constData(), 0755) != 0 && errno != EEXIST)
                return fail(errno, top ? name : QByteArray());
            const int fd = posixfs::openFolderAt(targets.top(), name.constData(), &status);
            if (fd < 0)
                return fail(errno, top ? name : QByteArray());
            if (status.st_dev != target.st_dev || !walker.descend()) {
                ::close(fd);
                return fail(EXDEV, top ? name : QByteArray());
            }
            targets.push(fd);
            if (top)
                m_moved << name;
            continue;
        }
        if (::renameat(walker.parentFd(), name.constData(), targets.top(), name.constData()) != 0)
            return fail(errno, top ? name : QByteArray());
        if (top)
            m_moved << name;
    }
    return walker.error() == 0 || fail(walker.error());
}
