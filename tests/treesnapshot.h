#ifndef TREESNAPSHOT_H
#define TREESNAPSHOT_H

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QPair>
#include <QStringList>

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// A path as the snapshot and the POSIX calls take it.
inline QByteArray bytes(const QString &path)
{
    return QFile::encodeName(path);
}

// What a faithful copy of a tree keeps, entry by entry: type, permission bits, owner,
// modification time to the nanosecond, size with the SHA-256 of the data or the link's
// target, and which entries share one inode. Walked with fd-relative calls of its own (not
// the engine's), so it sees trees deeper and paths longer than PATH_MAX.
class TreeSnapshot
{
public:
    struct Options
    {
        bool owners = true;
        bool times = true;
    };

    explicit TreeSnapshot(const QByteArray &top) : TreeSnapshot(top, Options{true, true}) {}
    TreeSnapshot(const QByteArray &top, Options options) : m_options(options)
    {
        const int fd = ::open(top.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0) {
            m_error = "cannot open " + top;
            return;
        }
        struct stat status;
        ::fstat(fd, &status);
        m_entries.insert(".", describe(fd, nullptr, status));
        walk(fd, QByteArray());
        ::close(fd);
        // Entries of one inode name the first of them (in byte order) as their group.
        for (auto it = m_groups.cbegin(); it != m_groups.cend(); ++it) {
            QList<QByteArray> paths = it.value();
            if (paths.size() < 2)
                continue;
            std::sort(paths.begin(), paths.end());
            for (const QByteArray &path : paths)
                m_entries[path] += " linked-with=" + paths.first();
        }
    }

    bool isValid() const { return m_error.isEmpty(); }
    QByteArray error() const { return m_error; }
    const QMap<QByteArray, QByteArray> &entries() const { return m_entries; }
    void remove(const QByteArray &path) { m_entries.remove(path); }

    // The first differences, one line each, or nothing when the trees are the same.
    static QStringList differences(const TreeSnapshot &expected, const TreeSnapshot &actual,
                                   int shown = 12)
    {
        QStringList lines;
        const auto &a = expected.entries();
        const auto &b = actual.entries();
        for (auto it = a.cbegin(); it != a.cend() && lines.size() < shown; ++it) {
            if (!b.contains(it.key()))
                lines << "missing: " + shown_(it.key()) + " (" + it.value() + ")";
            else if (b.value(it.key()) != it.value())
                lines << "differs: " + shown_(it.key()) + "\n   expected " + it.value() +
                             "\n   actual   " + b.value(it.key());
        }
        for (auto it = b.cbegin(); it != b.cend() && lines.size() < shown; ++it) {
            if (!a.contains(it.key()))
                lines << "extra: " + shown_(it.key());
        }
        return lines;
    }

private:
    static QString shown_(const QByteArray &path)
    {
        return QString::fromLatin1(path.left(120).toPercentEncoding("/"));
    }

    QByteArray describe(int dirFd, const char *name, const struct stat &status)
    {
        QByteArray text;
        const mode_t type = status.st_mode & S_IFMT;
        text += type == S_IFDIR    ? "dir"
                : type == S_IFREG  ? "file"
                : type == S_IFLNK  ? "link"
                : type == S_IFIFO  ? "fifo"
                : type == S_IFSOCK ? "socket"
                                   : "other";
        if (type != S_IFLNK)
            text += " mode=" + QByteArray::number(status.st_mode & 07777, 8);
        if (m_options.owners)
            text += " owner=" + QByteArray::number(status.st_uid) + ':' +
                    QByteArray::number(status.st_gid);
        if (m_options.times)
            text += " mtime=" + QByteArray::number(qint64(status.st_mtim.tv_sec)) + '.' +
                    QByteArray::number(qint64(status.st_mtim.tv_nsec));
        if (type == S_IFREG) {
            text += " size=" + QByteArray::number(qint64(status.st_size));
            const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
            QCryptographicHash hash(QCryptographicHash::Sha256);
            char buffer[65536];
            ssize_t got;
            while (fd >= 0 && (got = ::read(fd, buffer, sizeof buffer)) > 0)
                hash.addData(QByteArray::fromRawData(buffer, int(got)));
            if (fd < 0)
                text += " unreadable";
            else
                ::close(fd);
            text += " sha256=" + hash.result().toHex();
        } else if (type == S_IFLNK) {
            QByteArray target(65536, '\0');
            const ssize_t length = ::readlinkat(dirFd, name, target.data(), size_t(target.size()));
            text += " -> " + target.left(int(qMax<ssize_t>(length, 0)));
        }
        return text;
    }

    void walk(int dirFd, const QByteArray &prefix)
    {
        const int listFd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        DIR *dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
        if (!dir) {
            m_error = "cannot list " + prefix;
            return;
        }
        while (const dirent *entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name == "." || name == "..")
                continue;
            const QByteArray path = prefix.isEmpty() ? name : prefix + '/' + name;
            struct stat status;
            if (::fstatat(dirFd, entry->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
                m_error = "cannot examine " + path;
                continue;
            }
            if (S_ISREG(status.st_mode) && status.st_nlink > 1)
                m_groups[qMakePair(quint64(status.st_dev), quint64(status.st_ino))] << path;
            if (S_ISDIR(status.st_mode)) {
                const int child =
                    ::openat(dirFd, entry->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
                if (child < 0) {
                    m_error = "cannot open " + path;
                    continue;
                }
                walk(child, path);
                // The folder's own entry after its contents: reading it changed no time.
                struct stat after;
                ::fstat(child, &after);
                m_entries.insert(path, describe(dirFd, entry->d_name, after));
                ::close(child);
                continue;
            }
            m_entries.insert(path, describe(dirFd, entry->d_name, status));
        }
        ::closedir(dir);
    }

    Options m_options;
    QMap<QByteArray, QByteArray> m_entries;
    QHash<QPair<quint64, quint64>, QList<QByteArray>> m_groups;
    QByteArray m_error;
};

// A snapshot keeps a folder open per level: a tree 1,100 levels deep needs more than a
// user's usual 1,024 descriptors. Raises the soft limit for the rest of the process.
inline void raiseOpenFileLimit(rlim_t wanted = 8192)
{
    struct rlimit files;
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < wanted) {
        files.rlim_cur = std::min<rlim_t>(files.rlim_max, wanted);
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
}

// Root of the machine, not the mapped root of a user namespace (unshare -Ur), which may
// give no file to another owner: only then do owners belong in a snapshot.
inline bool isMachineRoot()
{
    QFile map(QStringLiteral("/proc/self/uid_map"));
    return ::geteuid() == 0 && map.open(QIODevice::ReadOnly) &&
           map.readLine().simplified() == "0 0 4294967295";
}

#endif
