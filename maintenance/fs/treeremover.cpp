#include "maintenance/fs/treeremover.h"

#include "maintenance/fs/folderstack.h"
#include "maintenance/fs/posixfs.h"

#include <QList>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

// Opens a folder to empty it, giving its owner the rights to do so when they are missing.
int openForRemoval(int dirFd, const char *name, struct stat *status)
{
    int fd = posixfs::openFolderAt(dirFd, name, status);
    struct stat seen;
    // fchmodat follows links: only a name that is a folder itself gets the rights.
    if (fd < 0 && errno == EACCES && ::fstatat(dirFd, name, &seen, AT_SYMLINK_NOFOLLOW) == 0 &&
        S_ISDIR(seen.st_mode) && ::fchmodat(dirFd, name, 0700, 0) == 0) {
        fd = posixfs::openFolderAt(dirFd, name, status);
    }
    if (fd >= 0 && (status->st_mode & 0700) != 0700)
        ::fchmod(fd, (status->st_mode & 07777) | 0700);
    return fd;
}

} // namespace

bool TreeRemover::remove(int dirFd, const QByteArray &name)
{
    m_error = 0;
    struct stat parent;
    struct stat top;
    if (::fstat(dirFd, &parent) != 0) {
        m_error = errno;
        return false;
    }
    if (::fstatat(dirFd, name.constData(), &top, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno == ENOENT)
            return true;
        m_error = errno;
        return false;
    }
    if (!S_ISDIR(top.st_mode)) {
        if (::unlinkat(dirFd, name.constData(), 0) != 0)
            note(errno);
        return m_error == 0;
    }
    if (top.st_dev != parent.st_dev) {
        m_error = EXDEV;
        return false;
    }
    const dev_t device = parent.st_dev;

    struct Level
    {
        QByteArray name;        // of this folder in its parent
        QList<QByteArray> kept; // entries that could not go
    };
    FolderStack folders;
    std::vector<Level> levels;
    struct stat status;
    const int topFd = openForRemoval(dirFd, name.constData(), &status);
    if (topFd < 0) {
        m_error = errno;
        return false;
    }
    folders.push(topFd);
    levels.push_back({name, {}});

    while (!levels.empty()) {
        // List the deepest folder from its start: what was removed is no longer there.
        const int fd = ::openat(folders.top(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
        if (!dir) {
            note(errno);
            if (fd >= 0)
                ::close(fd);
            break;
        }
        bool descended = false;
        for (;;) {
            errno = 0;
            const dirent *entry = ::readdir(dir);
            if (!entry) {
                if (errno != 0)
                    note(errno);
                break;
            }
            const QByteArray child(entry->d_name);
            if (child == "." || child == ".." || levels.back().kept.contains(child))
                continue;
            struct stat info;
            if (::fstatat(folders.top(), child.constData(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
                if (errno != ENOENT) {
                    note(errno);
                    levels.back().kept << child;
                }
                continue;
            }
            if (S_ISDIR(info.st_mode)) {
                if (info.st_dev != device) {
                    note(EXDEV);
                    levels.back().kept << child;
                    continue;
                }
                const int childFd = openForRemoval(folders.top(), child.constData(), &info);
                if (childFd < 0) {
                    note(errno);
                    levels.back().kept << child;
                    continue;
                }
                folders.push(childFd);
                levels.push_back({child, {}});
                descended = true;
                break;
            }
            if (::unlinkat(folders.top(), child.constData(), 0) != 0) {
                note(errno);
                levels.back().kept << child;
            }
        }
        ::closedir(dir);
        if (descended)
            continue;
        // The deepest folder is as empty as it gets: remove it from its parent.
        const Level done = levels.back();
        levels.pop_back();
        if (levels.empty()) {
            folders.clear();
            if (::unlinkat(dirFd, done.name.constData(), AT_REMOVEDIR) != 0)
                note(errno);
            break;
        }
        if (!folders.pop()) {
            note(errno);
            break;
        }
        if (::unlinkat(folders.top(), done.name.constData(), AT_REMOVEDIR) != 0) {
            note(errno);
            levels.back().kept << done.name;
        }
    }
    return m_error == 0;
}
