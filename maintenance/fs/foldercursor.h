#ifndef FOLDERCURSOR_H
#define FOLDERCURSOR_H

#include "maintenance/fs/folderstack.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <vector>

#include <sys/stat.h>

// Follows the folders of a list of paths in order (a manifest lists a folder before its
// contents), keeping the current folder open: moving to the next entry's folder closes
// the folders left and opens the ones entered, each with O_NOFOLLOW and on the top's
// file system only. So nothing is reached through a link, and a manifest cannot lead out
// of the tree it describes.
class FolderCursor
{
public:
    // `rootFd` is the top folder (not taken over).
    explicit FolderCursor(int rootFd, int openLevels = 0);

    // Makes `folder` (plain names below the top) the current folder. False with errno set
    // when a folder on the way is missing, a link, or of another file system.
    bool moveTo(const QList<QByteArray> &folder);
    // Enters a folder just made in the current one, already open as `fd` (taken over).
    void enter(const QByteArray &name, int fd);
    int fd() const { return m_stack.top(); }
    int depth() const { return int(m_names.size()); }
    // Leaves every folder below the top.
    bool leaveAll();

    // Called with each folder's descriptor and depth (1 for the top's children) just before
    // it is left.
    std::function<void(int fd, int depth)> onLeave;

private:
    bool leave();

    FolderStack m_stack;
    std::vector<QByteArray> m_names;
    dev_t m_device = 0;
};

#endif
