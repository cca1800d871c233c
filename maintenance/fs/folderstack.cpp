#include "maintenance/fs/folderstack.h"

#include "maintenance/fs/treewalker.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

FolderStack::FolderStack(int openLevels, Closer closer)
    : m_openLevels(openLevels > 0 ? openLevels : TreeWalker::defaultOpenLevels(2)),
      m_closer(std::move(closer))
{
}

void FolderStack::close(int level, int fd)
{
    if (m_closer)
        m_closer(level, fd);
    else
        ::close(fd);
}

FolderStack::~FolderStack()
{
    clear();
}

void FolderStack::clear()
{
    for (size_t i = m_levels.size(); i-- > 0;) {
        if (m_levels[i].fd >= 0)
            close(int(i), m_levels[i].fd);
    }
    m_levels.clear();
}

void FolderStack::push(int fd)
{
    Level level;
    level.fd = fd;
    struct stat status;
    if (::fstat(fd, &status) == 0) {
        level.dev = status.st_dev;
        level.ino = status.st_ino;
    }
    m_levels.push_back(level);
    int open = 0;
    for (const Level &each : m_levels)
        open += each.fd >= 0 ? 1 : 0;
    for (size_t i = 0; open > m_openLevels && i + 1 < m_levels.size(); ++i) {
        if (m_levels[i].fd < 0)
            continue;
        close(int(i), m_levels[i].fd);
        m_levels[i].fd = -1;
        --open;
    }
}

bool FolderStack::pop()
{
    if (m_levels.empty())
        return true;
    Level child = m_levels.back();
    const int childLevel = int(m_levels.size()) - 1;
    m_levels.pop_back();
    bool ok = true;
    if (!m_levels.empty() && m_levels.back().fd < 0) {
        Level &parent = m_levels.back();
        const int fd = ::openat(child.fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        struct stat status;
        if (fd >= 0 && ::fstat(fd, &status) == 0 && status.st_dev == parent.dev &&
            status.st_ino == parent.ino) {
            parent.fd = fd;
        } else {
            if (fd >= 0)
                ::close(fd);
            errno = ESTALE;
            ok = false;
        }
    }
    if (child.fd >= 0)
        close(childLevel, child.fd);
    return ok;
}
