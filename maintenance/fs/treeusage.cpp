#include "maintenance/fs/treeusage.h"

#include "maintenance/fs/treewalker.h"

qint64 treeUsage(int dirFd, const char *name)
{
    TreeWalker walker;
    if (!walker.openAt(dirFd, name))
        return 0;
    const dev_t device = walker.topStatus().st_dev;
    qint64 bytes = qint64(walker.topStatus().st_blocks) * 512;
    for (;;) {
        const TreeWalker::Step step = walker.next();
        if (step == TreeWalker::Step::End)
            break;
        if (step == TreeWalker::Step::Leave || walker.statusError() != 0)
            continue;
        const struct stat &status = walker.status();
        if (status.st_dev != device)
            continue;
        bytes += qint64(status.st_blocks) * 512;
        if (S_ISDIR(status.st_mode))
            walker.descend();
    }
    return bytes;
}
