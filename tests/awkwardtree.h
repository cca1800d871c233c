#ifndef AWKWARDTREE_H
#define AWKWARDTREE_H

#include <QByteArray>
#include <QList>

#include <cerrno>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// Builds, below `top`, a tree with everything a copy can get wrong: names with every
// awkward byte (not UTF-8, newlines, leading dashes, what FAT forbids, names that differ
// only in case), a path of more than 4,000 bytes and one beyond PATH_MAX, 1,100 levels of
// folders, odd modes, other owners (as root), exact times, links (dangling too), hard links,
// a sparse file, a FIFO and a socket. fd-relative throughout; false and `error` on failure.
class AwkwardTree
{
public:
    static QList<QByteArray> awkwardNames()
    {
        return {QByteArray("caf\xe9"),
                QByteArray("line\nbreak"),
                QByteArray("-rf"),
                QByteArray("--help"),
                QByteArray("a:b*c?d\"e<f>g|h\\i"),
                QByteArray("tab\there"),
                QByteArray("\x01\x1f control"),
                QByteArray("\xc3\x86"
                           "ble"),
                QByteArray(" lead space"),
                QByteArray("trail."),
                QByteArray("%41"),
                QByteArray("Data"),
                QByteArray("data"),
                QByteArray("DATA~1"),
                QByteArray(255, 'n')};
    }

    bool build(const QByteArray &top, bool owners)
    {
        m_root = ::open(top.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (m_root < 0)
            return fail("open top");
        bool ok = buildAll(owners);
        ::close(m_root);
        return ok;
    }

    QByteArray error;
    QByteArray socketPath = "sock";
    // fusefat's daemon dies on a path longer than PATH_MAX (the kernel's FAT would not).
    bool beyondPathMax = true;
    QByteArray deepFile;
    QByteArray longFile;
    int depth = 1100;

private:
    bool fail(const QByteArray &what)
    {
        error = what + ": " + QByteArray(::strerror(errno));
        return false;
    }

    bool file(int dirFd, const QByteArray &name, const QByteArray &content, mode_t mode = 0644)
    {
        const int fd =
            ::openat(dirFd, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return fail("create " + name);
        const bool ok =
            ::write(fd, content.constData(), size_t(content.size())) == content.size() &&
            ::fchmod(fd, mode) == 0;
        ::close(fd);
        return ok || fail("write " + name);
    }

    int folder(int dirFd, const QByteArray &name, mode_t mode = 0755)
    {
        if (::mkdirat(dirFd, name.constData(), 0700) != 0 && errno != EEXIST)
            return -1;
        const int fd = ::openat(dirFd, name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0)
            ::fchmod(fd, mode);
        return fd;
    }

    bool buildAll(bool owners)
    {
        const int root = m_root;
        // Names.
        for (const QByteArray &name : awkwardNames()) {
            if (!file(root, name, "named " + name))
                return false;
        }
        int strasse = folder(root, "Stra\xdf"
                                   "e");
        if (strasse < 0 || !file(strasse, "inner.txt", "inside a Latin-1 folder"))
            return fail("Strasse");
        const int upper = folder(root, "DIR");
        const int lower = folder(root, "dir");
        if (upper < 0 || lower < 0 || !file(upper, "same", "upper") ||
            !file(lower, "same", "lower"))
            return fail("DIR/dir");
        ::close(upper);
        ::close(lower);

        // A path of more than 4,000 bytes, then one past PATH_MAX.
        int fd = ::dup(root);
        longFile.clear();
        for (int i = 0; i < (beyondPathMax ? 26 : 21); ++i) {
            const QByteArray name = QByteArray(190, char('a' + i));
            const int next = folder(fd, name);
            ::close(fd);
            if (next < 0)
                return fail("long path");
            fd = next;
            longFile += name + '/';
            if (i == 20 && !file(fd, "at-4000", "4,000 bytes down"))
                return false;
        }
        longFile += "beyond-path-max";
        if (beyondPathMax && !file(fd, "beyond-path-max", "past PATH_MAX"))
            return false;
        ::close(fd);

        // Deeper than the open-file limit.
        fd = ::dup(root);
        deepFile.clear();
        for (int i = 0; i < depth; ++i) {
            const int next = folder(fd, "d");
            ::close(fd);
            if (next < 0)
                return fail("deep");
            fd = next;
            deepFile += "d/";
        }
        deepFile += "bottom";
        if (!file(fd, "bottom", "1,100 levels down"))
            return false;
        ::close(fd);

        // Modes.
        int dir = folder(root, "private", 0700);
        ::close(dir);
        dir = folder(root, "shared-tmp", 01777);
        ::close(dir);
        if (!file(root, "suid-tool", "#!/bin/sh\n", 04755) || !file(root, "sgid", "g", 02750) ||
            !file(root, "read-only", "ro", 0400) || !file(root, "empty", QByteArray()))
            return false;
        dir = folder(root, "locked", 0700);
        if (dir < 0 || !file(dir, "kept", "inside a 0500 folder"))
            return fail("locked");
        ::fchmod(dir, 0500);
        ::close(dir);
        dir = folder(root, "emptydir");
        ::close(dir);

        // Links: relative, absolute, dangling, to a folder.
        if (::symlinkat("Stra\xdf"
                        "e/inner.txt",
                        root, "rel-link") != 0 ||
            ::symlinkat("/etc/passwd", root, "abs-link") != 0 ||
            ::symlinkat("no/such/file", root, "dangling") != 0 ||
            ::symlinkat("DIR", root, "dir-link") != 0 ||
            ::symlinkat("x", root, "caf\xe9-link") != 0)
            return fail("links");

        // Hard links: three names, two folders.
        dir = folder(root, "sub");
        if (dir < 0 || !file(root, "hard1", "one inode, three names") ||
            ::linkat(root, "hard1", dir, "hard2", 0) != 0 ||
            ::linkat(root, "hard1", dir, "hard3", 0) != 0)
            return fail("hard links");
        ::close(dir);

        // A sparse file of 64 MB with data at both ends.
        fd = ::openat(root, "sparse.img", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0640);
        if (fd < 0 || ::pwrite(fd, "head", 4, 0) != 4 ||
            ::pwrite(fd, "tail", 4, (64 << 20) - 4) != 4)
            return fail("sparse");
        ::close(fd);

        if (::mkfifoat(root, "fifo", 0620) != 0)
            return fail("fifo");

        // A socket, as a running application leaves one.
        const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
        struct sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray procPath = "/proc/self/fd/" + QByteArray::number(root) + "/sock";
        if (procPath.size() < int(sizeof address.sun_path))
            ::memcpy(address.sun_path, procPath.constData(), size_t(procPath.size()));
        if (sock < 0 || ::bind(sock, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
            return fail("socket");
        ::close(sock);

        if (owners) {
            if (::fchownat(root, "suid-tool", 0, 0, 0) != 0 ||
                ::fchownat(root, "hard1", 1234, 5678, 0) != 0 ||
                ::fchownat(root, "private", 2345, 3456, 0) != 0 ||
                ::fchownat(root, "rel-link", 4567, 5678, AT_SYMLINK_NOFOLLOW) != 0 ||
                ::fchownat(root, "caf\xe9", 65534, 65534, 0) != 0)
                return fail("owners");
            // chown clears the setuid bit.
            ::fchmodat(root, "suid-tool", 04755, 0);
        }

        // Exact times, the folders' last (their contents are done).
        const struct timespec when[2] = {{1234567890, 123456789}, {1234567890, 123456789}};
        const struct timespec old[2] = {{86400, 1}, {86400, 1}};
        if (::utimensat(root, "empty", when, 0) != 0 ||
            ::utimensat(root, "dangling", old, AT_SYMLINK_NOFOLLOW) != 0 ||
            ::utimensat(root, "private", when, 0) != 0 || ::utimensat(root, "fifo", old, 0) != 0)
            return fail("times");
        return true;
    }

    int m_root = -1;
};

#endif
