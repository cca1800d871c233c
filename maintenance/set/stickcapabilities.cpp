#include "maintenance/set/stickcapabilities.h"

#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/uniquefd.h"

#include <QByteArray>
#include <QList>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

const char probeFolder[] = ".servicepanel-probe";

QList<QByteArray> listNames(int dirFd)
{
    QList<QByteArray> names;
    posixfs::listNames(dirFd, &names);
    return names;
}

void emptyFolder(int dirFd)
{
    for (const QByteArray &name : listNames(dirFd)) {
        if (::unlinkat(dirFd, name.constData(), 0) != 0)
            ::unlinkat(dirFd, name.constData(), AT_REMOVEDIR);
    }
}

// True when a file made under `name` shows in the folder under exactly these bytes.
bool holdsName(int dirFd, const QByteArray &name)
{
    const int fd = ::openat(dirFd, name.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    ::close(fd);
    const bool listed = listNames(dirFd).contains(name);
    emptyFolder(dirFd);
    return listed;
}

bool exactMode(int fd, mode_t mode)
{
    struct stat status;
    return ::fchmod(fd, mode) == 0 && ::fstat(fd, &status) == 0 && (status.st_mode & 07777) == mode;
}

} // namespace

StickCapabilities StickCapabilities::everything()
{
    StickCapabilities all;
    all.owners = ::geteuid() == 0;
    return all;
}

bool StickCapabilities::takesName(const QByteArray &name) const
{
    if (name.size() > nameMax)
        return false;
    bool high = false;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            if (m_refused.test(byte))
                return false;
        } else {
            high = true;
        }
    }
    if (!high || (utf8 && invalidUtf8))
        return true;
    if (!utf8)
        return false;
    return posixfs::isValidUtf8(name);
}

StickCapabilities StickCapabilities::probe(int dirFd, int *error)
{
    StickCapabilities caps;
    caps.owners = ::geteuid() == 0;
    if (error)
        *error = 0;
    ::mkdirat(dirFd, probeFolder, 0700);
    UniqueFd folder(posixfs::openFolderAt(dirFd, probeFolder));
    if (!folder.isValid()) {
        if (error)
            *error = errno;
        return caps;
    }
    const int fd = folder.get();
    emptyFolder(fd);

    struct statvfs fs;
    if (::fstatvfs(fd, &fs) == 0 && fs.f_namemax > 0)
        caps.nameMax = long(fs.f_namemax);

    for (int byte = 1; byte < 128; ++byte) {
        const bool special =
            byte < 0x20 || byte == 0x7f || QByteArray(":*?\"<>|\\%~").contains(char(byte));
        if (special && !holdsName(fd, QByteArray("p") + char(byte)))
            caps.refuseByte(static_cast<unsigned char>(byte));
    }
    caps.utf8 = holdsName(fd, "p\xc3\xa9");
    caps.invalidUtf8 = holdsName(fd, "p\xe9");

    {
        UniqueFd file(::openat(fd, "f", O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (file.isValid()) {
            caps.modes = exactMode(file.get(), 0751) && exactMode(file.get(), 04751) &&
                         exactMode(file.get(), 0600);
            if (caps.owners) {
                struct stat status;
                caps.owners = ::fchown(file.get(), 4321, 4322) == 0 &&
                              ::fstat(file.get(), &status) == 0 && status.st_uid == 4321 &&
                              status.st_gid == 4322;
            }
            const off_t gap = 1 << 20;
            struct stat status;
            caps.holes = ::pwrite(file.get(), "x", 1, gap) == 1 &&
                         ::fstat(file.get(), &status) == 0 &&
                         (long long)status.st_blocks * 512 < gap;
            caps.growByTruncate = ::ftruncate(file.get(), 2 * gap) == 0 &&
                                  ::fstat(file.get(), &status) == 0 && status.st_size == 2 * gap;
        } else {
            caps.modes = caps.owners = caps.holes = caps.growByTruncate = false;
        }
    }
    {
        QByteArray target;
        caps.symlinks =
            ::symlinkat("f", fd, "l") == 0 && posixfs::readLink(fd, "l", &target) && target == "f";
    }
    {
        struct stat status;
        caps.hardLinks = ::linkat(fd, "f", fd, "h", 0) == 0 &&
                         ::fstatat(fd, "h", &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                         status.st_nlink == 2;
    }
    {
        struct stat status;
        caps.fifos = ::mkfifoat(fd, "p", 0600) == 0 &&
                     ::fstatat(fd, "p", &status, AT_SYMLINK_NOFOLLOW) == 0 &&
                     S_ISFIFO(status.st_mode);
    }
    emptyFolder(fd);
    {
        const int file =
            ::mkdirat(fd, "r1", 0700) == 0
                ? ::openat(fd, "r1/f", O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600)
                : -1;
        if (file >= 0)
            ::close(file);
        // Listed, not looked up: the kernel's cache of names would still know "r2/f".
        UniqueFd renamed(file >= 0 && ::renameat(fd, "r1", fd, "r2") == 0
                             ? posixfs::openFolderAt(fd, "r2")
                             : -1);
        caps.renamesFolders = renamed.isValid() && listNames(renamed.get()).contains("f");
        ::unlinkat(fd, "r1/f", 0);
        ::unlinkat(fd, "r2/f", 0);
        ::unlinkat(fd, "r1", AT_REMOVEDIR);
        ::unlinkat(fd, "r2", AT_REMOVEDIR);
    }
    emptyFolder(fd);
    folder.reset();
    ::unlinkat(dirFd, probeFolder, AT_REMOVEDIR);
    return caps;
}
