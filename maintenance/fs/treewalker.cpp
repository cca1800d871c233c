#include "maintenance/fs/treewalker.h"

#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/uniquefd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

TreeWalker::TreeWalker(int openLevels)
    : m_openLevels(openLevels > 0 ? openLevels : defaultOpenLevels(2))
{
}

TreeWalker::~TreeWalker()
{
    for (Level &level : m_levels)
        closeLevel(level);
}

int TreeWalker::defaultOpenLevels(int filesPerLevel)
{
    struct rlimit limit;
    long available = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        available = long(limit.rlim_cur);
    long open = 0;
    UniqueFd fds(::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    QList<QByteArray> names;
    if (fds.isValid() && posixfs::listNames(fds.get(), &names)) {
        open = names.size();
    } else {
        open = 64;
    }
    // Room for the files being copied, the manifest and whatever the caller keeps open.
    const long spare = available - open - 24;
    return int(std::clamp<long>(spare / std::max(1, filesPerLevel) / 2, 2, 64));
}

void TreeWalker::closeLevel(Level &level)
{
    if (level.dir)
        ::closedir(level.dir);
    else if (level.fd >= 0)
        ::close(level.fd);
    level.dir = nullptr;
    level.fd = -1;
}

bool TreeWalker::open(const QByteArray &path)
{
    return openAt(AT_FDCWD, path.constData());
}

bool TreeWalker::openAt(int dirFd, const char *name)
{
    // A path's last component may be a link (the device's /opt may lead to a data
    // partition); a name inside a folder given by descriptor may not.
    const int flags = dirFd == AT_FDCWD ? 0 : O_NOFOLLOW;
    const int fd = ::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC | flags);
    Level top;
    if (fd < 0 || ::fstat(fd, &top.status) != 0) {
        m_error = errno;
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    top.dir = ::fdopendir(fd);
    if (!top.dir) {
        m_error = errno;
        ::close(fd);
        return false;
    }
    top.fd = fd;
    m_levels.push_back(std::move(top));
    m_path.clear();
    return true;
}

const struct stat &TreeWalker::topStatus() const
{
    static const struct stat none = {};
    return m_levels.empty() ? none : m_levels.front().status;
}

int TreeWalker::parentFd() const
{
    return m_levels.empty() ? -1 : m_levels.back().fd;
}

bool TreeWalker::nextName(Level &level, QByteArray *name)
{
    if (level.dir) {
        for (;;) {
            errno = 0;
            const dirent *entry = ::readdir(level.dir);
            if (!entry) {
                if (errno != 0)
                    level.listError = errno;
                return false;
            }
            const char *text = entry->d_name;
            if (text[0] == '.' && (text[1] == '\0' || (text[1] == '.' && text[2] == '\0')))
                continue;
            *name = QByteArray(text);
            return true;
        }
    }
    if (level.restPos < level.rest.size()) {
        *name = std::move(level.rest[level.restPos++]);
        return true;
    }
    level.rest.clear();
    level.rest.shrink_to_fit();
    return false;
}

TreeWalker::Step TreeWalker::next()
{
    if (m_leavePending) {
        m_leavePending = false;
        pop();
    }
    m_atEntry = false;
    m_listError = 0;
    while (!m_levels.empty()) {
        Level &level = m_levels.back();
        QByteArray entryName;
        if (!nextName(level, &entryName)) {
            m_path.truncate(level.pathLength);
            m_status = level.status;
            m_listError = level.listError;
            m_leavePending = true;
            return Step::Leave;
        }
        m_path.truncate(level.pathLength);
        if (!m_path.isEmpty())
            m_path += '/';
        m_nameStart = m_path.size();
        m_path += entryName;
        m_statusError = 0;
        if (::fstatat(level.fd, entryName.constData(), &m_status, AT_SYMLINK_NOFOLLOW) != 0) {
            m_statusError = errno;
            // Gone since the listing: there is nothing left to copy.
            if (m_statusError == ENOENT)
                continue;
            std::memset(&m_status, 0, sizeof m_status);
        }
        m_atEntry = true;
        return Step::Entry;
    }
    return Step::End;
}

bool TreeWalker::descend()
{
    if (!m_atEntry || !S_ISDIR(m_status.st_mode) || m_statusError != 0) {
        m_error = ENOTDIR;
        return false;
    }
    m_atEntry = false;
    Level child;
    const QByteArray entryName = name();
    const int fd = posixfs::openFolderAt(m_levels.back().fd, entryName.constData(), &child.status);
    if (fd < 0) {
        m_error = errno;
        return false;
    }
    if (!posixfs::sameFile(child.status, m_status)) {
        ::close(fd);
        m_error = ESTALE;
        return false;
    }
    child.dir = ::fdopendir(fd);
    if (!child.dir) {
        m_error = errno;
        ::close(fd);
        return false;
    }
    child.fd = fd;
    child.pathLength = m_path.size();
    m_levels.push_back(std::move(child));
    evict();
    return true;
}

void TreeWalker::evict()
{
    int open = 0;
    for (const Level &level : m_levels)
        open += level.fd >= 0 ? 1 : 0;
    for (size_t i = 0; open > m_openLevels && i + 1 < m_levels.size(); ++i) {
        Level &level = m_levels[i];
        if (level.fd < 0)
            continue;
        // Keep the rest of the listing: the folder is opened again on the way back.
        if (level.dir) {
            std::vector<QByteArray> rest;
            QByteArray entryName;
            while (nextName(level, &entryName))
                rest.push_back(entryName);
            level.rest = std::move(rest);
            level.restPos = 0;
        }
        closeLevel(level);
        level.drained = true;
        --open;
    }
}

void TreeWalker::pop()
{
    Level child = std::move(m_levels.back());
    m_levels.pop_back();
    if (!m_levels.empty() && m_levels.back().fd < 0) {
        Level &parent = m_levels.back();
        struct stat status;
        const int fd = ::openat(child.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 && ::fstat(fd, &status) == 0 && posixfs::sameFile(status, parent.status)) {
            parent.fd = fd;
        } else {
            if (fd >= 0)
                ::close(fd);
            // The folder was moved away while its contents were walked: stop here rather
            // than carry on somewhere else.
            m_brokenOff = true;
            m_error = ESTALE;
            for (Level &level : m_levels)
                closeLevel(level);
            m_levels.clear();
        }
    }
    closeLevel(child);
    if (!m_levels.empty())
        m_path.truncate(m_levels.back().pathLength);
}
