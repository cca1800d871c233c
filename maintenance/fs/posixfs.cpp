#include "maintenance/fs/posixfs.h"

#include "maintenance/fs/uniquefd.h"

#include <QList>

#include <algorithm>

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace posixfs {

int openFolderAt(int dirFd, const char *name, struct stat *status)
{
    const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (status && ::fstat(fd, status) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    return fd;
}

int openBeneath(int rootFd, const QByteArray &relativePath, int flags)
{
    QList<QByteArray> names;
    if (!splitRelativePath(relativePath, &names)) {
        errno = EINVAL;
        return -1;
    }
    struct stat root;
    if (::fstat(rootFd, &root) != 0)
        return -1;
    UniqueFd current(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
    if (!current.isValid())
        return -1;
    for (int i = 0; i + 1 < names.size(); ++i) {
        struct stat status;
        UniqueFd next(openFolderAt(current.get(), names.at(i).constData(), &status));
        if (!next.isValid())
            return -1;
        if (status.st_dev != root.st_dev) {
            errno = EXDEV;
            return -1;
        }
        current = std::move(next);
    }
    if (names.isEmpty())
        return current.release();
    const int fd =
        ::openat(current.get(), names.last().constData(), flags | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status;
    if (::fstat(fd, &status) != 0 || status.st_dev != root.st_dev) {
        ::close(fd);
        errno = EXDEV;
        return -1;
    }
    return fd;
}

int openRegularForReading(int dirFd, const char *name, struct stat *status,
                          const struct stat *expected)
{
    struct stat before;
    if (::fstatat(dirFd, name, &before, AT_SYMLINK_NOFOLLOW) != 0)
        return -1;
    if (!S_ISREG(before.st_mode) || (expected && !sameFile(before, *expected))) {
        errno = S_ISREG(before.st_mode) ? ESTALE : EINVAL;
        return -1;
    }
    // O_NONBLOCK: should a FIFO take the file's place in between, opening it does not wait.
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::fstat(fd, status) != 0 || !S_ISREG(status->st_mode) || !sameFile(before, *status)) {
        ::close(fd);
        errno = ESTALE;
        return -1;
    }
    return fd;
}

int openSeenRegular(int dirFd, const char *name, const struct stat &seen, struct stat *status)
{
    if (!S_ISREG(seen.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    const int fd = ::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::fstat(fd, status) != 0 || !S_ISREG(status->st_mode) || !sameFile(seen, *status)) {
        ::close(fd);
        errno = ESTALE;
        return -1;
    }
    return fd;
}

bool sameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool stillSameFile(const QByteArray &path, const struct stat &seen)
{
    struct stat now;
    return ::stat(path.constData(), &now) == 0 && sameFile(now, seen);
}

bool listNames(int dirFd, QList<QByteArray> *names)
{
    const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
        }
        return false;
    }
    bool ok = true;
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            ok = errno == 0;
            break;
        }
        const QByteArray name(entry->d_name);
        if (name != "." && name != "..")
            *names << name;
    }
    const int error = errno;
    ::closedir(dir);
    errno = error;
    return ok;
}

int linkBeneath(int rootFd, const QByteArray &path, int dirFd, const char *name)
{
    if (path.size() < PATH_MAX - 1)
        return ::linkat(rootFd, path.constData(), dirFd, name, 0) == 0 ? 0 : errno;
    UniqueFd file(openBeneath(rootFd, path, O_PATH));
    if (!file.isValid())
        return errno;
    const QByteArray handle = "/proc/self/fd/" + QByteArray::number(file.get());
    return ::linkat(AT_FDCWD, handle.constData(), dirFd, name, AT_SYMLINK_FOLLOW) == 0 ? 0 : errno;
}

mode_t currentUmask()
{
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

bool readTail(int fd, int bytes, QByteArray *tail)
{
    struct stat status;
    if (::fstat(fd, &status) != 0)
        return false;
    const off_t length = std::min<off_t>(status.st_size, bytes);
    tail->resize(int(length));
    off_t done = 0;
    while (done < length) {
        const ssize_t got = preadRetrying(fd, tail->data() + done, size_t(length - done),
                                          status.st_size - length + done);
        if (got < 0)
            return false;
        if (got == 0) {
            errno = EIO;
            return false;
        }
        done += got;
    }
    return true;
}

bool readLink(int dirFd, const char *name, QByteArray *target)
{
    QByteArray buffer(256, '\0');
    for (;;) {
        const ssize_t length = ::readlinkat(dirFd, name, buffer.data(), size_t(buffer.size()));
        if (length < 0)
            return false;
        if (length < buffer.size()) {
            buffer.truncate(int(length));
            *target = buffer;
            return true;
        }
        if (buffer.size() >= (1 << 20)) {
            errno = ENAMETOOLONG;
            return false;
        }
        buffer.resize(buffer.size() * 4);
    }
}

namespace {

// offset < 0: at the file's own position.
bool writeLoop(int fd, const char *data, size_t size, off_t offset)
{
    while (size > 0) {
        const ssize_t written =
            offset < 0 ? ::write(fd, data, size) : ::pwrite(fd, data, size, offset);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (written == 0) {
            errno = EIO;
            return false;
        }
        data += written;
        if (offset >= 0)
            offset += written;
        size -= size_t(written);
    }
    return true;
}

} // namespace

ssize_t readRetrying(int fd, char *buffer, size_t size)
{
    ssize_t got;
    do {
        got = ::read(fd, buffer, size);
    } while (got < 0 && errno == EINTR);
    return got;
}

ssize_t preadRetrying(int fd, char *buffer, size_t size, off_t offset)
{
    ssize_t got;
    do {
        got = ::pread(fd, buffer, size, offset);
    } while (got < 0 && errno == EINTR);
    return got;
}

bool writeAll(int fd, const char *data, size_t size)
{
    return writeLoop(fd, data, size, -1);
}

bool pwriteAll(int fd, const char *data, size_t size, off_t offset)
{
    return offset >= 0 && writeLoop(fd, data, size, offset);
}

bool isFatalTargetError(int error)
{
    switch (error) {
    case EIO:
    case ENOSPC:
    case EDQUOT:
    case EROFS:
    case ENOTCONN:
    case ENODEV:
    case ENXIO:
    case ESTALE:
    case ECONNABORTED:
    case EBADF:
        return true;
    default:
        return false;
    }
}

bool isNameError(int error)
{
    switch (error) {
    case EINVAL:
    case EILSEQ:
    case ENAMETOOLONG:
    case EPERM:
    case ENOENT:
        return true;
    default:
        return false;
    }
}

bool isPlainName(const QByteArray &name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') &&
           !name.contains('\0');
}

bool splitRelativePath(const QByteArray &path, QList<QByteArray> *names)
{
    names->clear();
    if (path.isEmpty() || path.startsWith('/'))
        return false;
    int start = 0;
    while (start <= path.size()) {
        int end = path.indexOf('/', start);
        if (end < 0)
            end = path.size();
        const QByteArray name = path.mid(start, end - start);
        if (!isPlainName(name))
            return false;
        names->append(name);
        start = end + 1;
    }
    return true;
}

// Length of the valid UTF-8 sequence at `text`, 0 when it is not one.
static int utf8Sequence(const unsigned char *text, int available)
{
    const unsigned char lead = text[0];
    int length = 0;
    unsigned minimum = 0;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        minimum = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        minimum = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (available < length)
        return 0;
    unsigned code = lead & (0x7f >> length);
    for (int i = 1; i < length; ++i) {
        if ((text[i] & 0xc0) != 0x80)
            return 0;
        code = (code << 6) | (text[i] & 0x3f);
    }
    if (code < minimum || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;
    return length;
}

bool isValidUtf8(const QByteArray &text)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(text.constData());
    const int size = text.size();
    for (int i = 0; i < size;) {
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        const int length = utf8Sequence(bytes + i, size - i);
        if (length == 0)
            return false;
        i += length;
    }
    return true;
}

QString displayPath(const QByteArray &path)
{
    QString shown;
    const auto *bytes = reinterpret_cast<const unsigned char *>(path.constData());
    const int size = path.size();
    for (int i = 0; i < size;) {
        const unsigned char byte = bytes[i];
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            shown += QLatin1Char(char(byte));
            ++i;
            continue;
        }
        if (byte == '\\') {
            shown += QLatin1String("\\\\");
            ++i;
            continue;
        }
        const int length = byte >= 0x80 ? utf8Sequence(bytes + i, size - i) : 0;
        if (length > 0) {
            shown += QString::fromUtf8(path.constData() + i, length);
            i += length;
            continue;
        }
        shown += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        ++i;
    }
    return shown;
}

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace posixfs
