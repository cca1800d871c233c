#ifndef TREEREPLACER_H
#define TREEREPLACER_H

#include "maintenance/fs/entrymover.h"
#include "maintenance/set/copyproblem.h"
#include "maintenance/fs/uniquefd.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <sys/types.h>
#include <vector>

// Replaces a folder of the device (/opt) by a new tree, and only by a whole one:
//   - /opt a link (to a data partition): the folder it leads to is replaced, the link stays;
//   - nothing mounted at or below the folder: the new tree is made beside it, on the same
//     file system, and swapped in by renames (one atomic exchange where the file system
//     can);
//   - the folder, or folders below it, mount points: those folders and the folders that lead
//     to them ("pinned") stay where they are. The new entries of each go into a work folder
//     inside it, on its own file system, and are swapped in entry by entry.
// Until commit() the folder is exactly as it was; a commit() that fails puts back what it
// had moved. The old tree is removed after the swap, never across a mount.
//
// A restore cut short by a power loss is put right in the direction its journal says:
// finish() brings the folder to the new tree, undo() to the old one, from any state a swap
// can be found in; the staged tree beside the folder is told from the old one by its inode
// (an exchange leaves the old tree under the staged tree's name). Without a journal (an older
// panel's restore), stage() puts leftovers right itself: a tree beside the folder while the
// folder is gone is moved back; a pinned folder whose old entries were being moved out gets
// them back, one whose new entries were being moved in gets the rest.
class TreeReplacer
{
public:
    struct Part
    {
        QList<QByteArray> path;           // below the folder; empty: the folder itself
        QList<QList<QByteArray>> skipped; // pinned folders below it: parts of their own
        bool pinned = false;
        UniqueFd folder;  // the pinned folder
        UniqueFd staging; // where its new entries are restored
        QList<QByteArray> movedOut;
        QList<QByteArray> movedIn;
        bool swapped = false;
    };

    explicit TreeReplacer(const QString &folder);
    ~TreeReplacer();
    TreeReplacer(const TreeReplacer &) = delete;
    TreeReplacer &operator=(const TreeReplacer &) = delete;

    // Finds the folder to replace and its pinned folders from the mounts. Changes nothing.
    bool plan();
    QByteArray target() const { return m_target; }
    // Puts right what an interrupted restore left, then makes the empty work folders.
    bool stage();
    // After stage(), beside the folder: the staged tree's inode, for finish() and undo().
    ino_t stagedInode() const { return m_stagedInode; }
    bool isBeside() const { return !m_parts.empty() && !m_parts.front().pinned; }
    int partCount() const { return int(m_parts.size()); }
    const Part &part(int index) const { return m_parts[size_t(index)]; }
    // Swaps every part in; false when it could not, after putting back what it had moved.
    bool commit();
    // Once commit() failed: the folder is as it was before.
    bool previousKept() const { return m_previousKept; }
    // Removes the work folders before or after a failed commit().
    void discard();
    // After commit(): removes the old tree. Whatever stays is in problems().
    bool removeOld();

    // After plan(), for a restore cut short: the new tree in place, the old one left where
    // removeWork() finds it ...
    bool finish(ino_t stagedInode);
    // ... or the old tree in place and the staged one gone.
    bool undo(ino_t stagedInode);
    // Removes every work folder: the staged tree, the old tree after the swap. Whatever stays
    // is in problems().
    bool removeWork();
    const ProblemList &problems() const { return m_problems; }

    // What went wrong in plan(), stage() or commit(): an errno and the path it concerns.
    int error() const { return m_error; }
    QByteArray errorPath() const { return m_errorPath; }

    static const char *newName(); // a pinned folder's work folders
    static const char *movingName();
    static const char *oldName();
    // One of the names above: never part of the device's data.
    static bool isWorkName(const QByteArray &name);

private:
    bool fail(int error, const QByteArray &path);
    QByteArray besideName(const char *suffix) const;
    QByteArray partPath(const Part &part) const;
    bool stageBeside();
    bool stagePart(Part &part);
    bool recoverPart(Part &part);
    bool openParts();
    bool openPart(Part &part);
    bool finishBeside(ino_t staged);
    bool undoBeside(ino_t staged);
    bool finishPart(Part &part);
    bool undoPart(Part &part);
    bool moveAll(Part &part, const char *from, EntryMover::Existing existing);
    bool moveOut(Part &part, const char *into);
    void removeTree(int dirFd, const QByteArray &name, const QByteArray &shown);
    bool commitBeside();
    bool swapPart(Part &part);
    bool unswapPart(Part &part);
    bool isPinnedChild(const Part &part, const QByteArray &name) const;

    QString m_folder;
    QByteArray m_target; // canonical
    UniqueFd m_parent;
    QByteArray m_name; // the target's name in its parent
    bool m_targetExists = false;
    std::vector<Part> m_parts;
    QByteArray m_leftover; // beside the folder after the swap: the old tree
    bool m_staged = false;
    bool m_committed = false;
    bool m_previousKept = true;
    ino_t m_stagedInode = 0;
    int m_error = 0;
    QByteArray m_errorPath;
    ProblemList m_problems;
};

#endif
