#include "maintenance/backup/countedcopy.h"

#include "maintenance/backup/treecopier.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"

#include <QFile>
#include <QFileInfo>

bool copyCounted(const QByteArray &source, CommandRunner &runner,
                 const std::function<TreeCopier *(const TreeCount &)> &prepare,
                 const std::function<void(qint64)> &counted,
                 const std::function<void(qint64)> &progress, TreeCopyResult *result)
{
    if (!QFileInfo(QFile::decodeName(source)).isDir())
        return false;
    const TreeCount count = TreeCopier::count(source);
    if (counted)
        counted(count.entries);
    TreeCopier *copier = prepare(count);
    if (!copier)
        return false;
    copier->setProgress(progress);
    *result = copier->copy();
    runner.run(syncCommand());
    return true;
}
