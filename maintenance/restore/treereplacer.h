#ifndef TREEREPLACER_H
#define TREEREPLACER_H

#include "maintenance/set/copyproblem.h"
#include "maintenance/fs/uniquefd.h"

#include <QByteArray>
#include <QList>
#include <QString>

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
// had moved. The old tree is removed after the swap, never across a mount. What a restore
// cut short by a power loss left is put right by the next stage(): a tree beside the
// folder while the folder is gone is moved back; a pinned folder whose old entries were
// being moved out gets them back, one whose new entries were being moved in gets the rest.
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
    const ProblemList &problems() const { return m_problems; }

    // What went wrong in plan(), stage() or commit(): an errno and the path it concerns.
    int error() const { return m_error; }
    QByteArray errorPath() const { return m_errorPath; }

    static const char *newName(); // a pinned folder's work folders
    static const char *movingName();
    static const char *oldName();

private:
    bool fail(int error, const QByteArray &path);
    QByteArray besideName(const char *suffix) const;
    QByteArray partPath(const Part &part) const;
    bool stageBeside();
    bool stagePart(Part &part);
    bool recoverPart(Part &part);
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
    int m_error = 0;
    QByteArray m_errorPath;
    ProblemList m_problems;
};

#endif
