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
    : m_openLevels(openLevels > 0 ? openLevels : defaultOpenLevels(2)),
      m_folders(m_openLevels, [this](int level, int fd) { closeFolder(level, fd); })
{
}

TreeWalker::~TreeWalker()
{
    m_discarding = true;
    m_folders.clear();
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

// The stack closes a folder to save descriptors, or when the walk leaves it.
void TreeWalker::closeFolder(int index, int fd)
{
    Level &level = m_levels[size_t(index)];
    if (!level.dir) {
        ::close(fd);
        return;
    }
    // Keep the rest of the listing: the folder is opened again on the way back.
    if (!m_discarding) {
        std::vector<QByteArray> rest;
        QByteArray entryName;
        while (nextName(level, &entryName))
            rest.push_back(entryName);
        level.rest = std::move(rest);
        level.restPos = 0;
    }
    ::closedir(level.dir);
    level.dir = nullptr;
    level.drained = true;
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
    m_levels.push_back(std::move(top));
    m_folders.push(fd);
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
    return m_folders.top();
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
        if (::fstatat(m_folders.top(), entryName.constData(), &m_status, AT_SYMLINK_NOFOLLOW) !=
            0) {
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
    const int fd = posixfs::openFolderAt(m_folders.top(), entryName.constData(), &child.status);
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
    child.pathLength = m_path.size();
    m_levels.push_back(std::move(child));
    m_folders.push(fd);
    return true;
}

void TreeWalker::pop()
{
    // Reopens the parent through ".." when it was closed, checked to be the same folder.
    const bool ok = m_folders.pop();
    m_levels.pop_back();
    if (!ok) {
        // The folder was moved away while its contents were walked: stop here rather
        // than carry on somewhere else.
        m_brokenOff = true;
        m_error = ESTALE;
        m_discarding = true;
        m_folders.clear();
        m_discarding = false;
        m_levels.clear();
    }
    if (!m_levels.empty())
        m_path.truncate(m_levels.back().pathLength);
}
