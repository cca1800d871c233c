#ifndef TREEUSAGE_H
#define TREEUSAGE_H

#include <QtGlobal>

// The bytes a folder tree takes on its file system: the blocks in use of `name` in `dirFd`
// and of everything below it on the same file system (a mount inside the tree is another
// file system's business). Never through a link; 0 when `name` is no folder.
qint64 treeUsage(int dirFd, const char *name);

#endif
