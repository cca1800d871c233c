#ifndef COUNTEDCOPY_H
#define COUNTEDCOPY_H

#include <QByteArray>

#include <functional>

class CommandRunner;
class TreeCopier;
struct TreeCount;
struct TreeCopyResult;

// A tree copy as the technician watches it: the tree at `source` is counted first, so that
// the progress bar knows its end and no list of the tree is kept (`counted` gets the number
// of entries), then `prepare` makes the copier (nullptr: nothing is copied), the copy runs
// (`progress` after each entry) and "sync" goes through `runner`. False when nothing was
// copied: `source` is no folder, or `prepare` made no copier.
bool copyCounted(const QByteArray &source, CommandRunner &runner,
                 const std::function<TreeCopier *(const TreeCount &)> &prepare,
                 const std::function<void(qint64)> &counted,
                 const std::function<void(qint64)> &progress, TreeCopyResult *result);

#endif
