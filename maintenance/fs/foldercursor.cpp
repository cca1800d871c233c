#include "maintenance/fs/foldercursor.h"

#include "maintenance/fs/posixfs.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

FolderCursor::FolderCursor(int rootFd, int openLevels) : m_stack(openLevels)
{
    struct stat status;
    if (::fstat(rootFd, &status) == 0)
        m_device = status.st_dev;
    m_stack.push(::fcntl(rootFd, F_DUPFD_CLOEXEC, 0));
}

bool FolderCursor::leave()
{
    if (onLeave)
        onLeave(m_stack.top(), int(m_names.size()));
    m_names.pop_back();
    return m_stack.pop();
}

bool FolderCursor::leaveAll()
{
    while (!m_names.empty()) {
        if (!leave())
            return false;
    }
    return true;
}

bool FolderCursor::moveTo(const QList<QByteArray> &folder)
{
    size_t common = 0;
    while (common < m_names.size() && common < size_t(folder.size()) &&
           m_names[common] == folder.at(int(common)))
        ++common;
    while (m_names.size() > common) {
        if (!leave())
            return false;
    }
    for (int i = int(common); i < folder.size(); ++i) {
        struct stat status;
        const int fd = posixfs::openFolderAt(m_stack.top(), folder.at(i).constData(), &status);
        if (fd < 0)
            return false;
        if (status.st_dev != m_device) {
            ::close(fd);
            errno = EXDEV;
            return false;
        }
        m_stack.push(fd);
        m_names.push_back(folder.at(i));
    }
    return true;
}

void FolderCursor::enter(const QByteArray &name, int fd)
{
    m_stack.push(fd);
    m_names.push_back(name);
}
