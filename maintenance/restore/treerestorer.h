#ifndef TREERESTORER_H
#define TREERESTORER_H

#include "maintenance/set/copyproblem.h"
#include "maintenance/set/manifestentry.h"
#include "maintenance/fs/sha256.h"
#include "maintenance/fs/uniquefd.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <vector>

class FolderCursor;

// Puts a backup set's tree back into an empty folder as its manifest describes it: the
// original names (also of entries the stick holds under a safe name), folders, files (runs
// of zeros become holes again), links, FIFOs, hard links, permission bits, owners (as
// root) and times. The data comes from the stick, read once with its checksum checked on
// the way; nothing on the stick is followed through a link. Sockets and device nodes are
// listed as not restored. The target's own modes and times are set last, from the "opt"
// entry.
class TreeRestorer
{
public:
    // `stickPath` is where the stick is mounted; `targetFd` an empty folder (not taken over).
    TreeRestorer(const QString &stickPath, int targetFd);
    ~TreeRestorer();

    // Restores only the part of the tree below `top` (names below opt; empty: all of it) into
    // the target, which then stands for `top`, and leaves out the folders in `skipped` (below
    // `top`) with everything in them: those stay where they are on the device, each
    // restored on its own. A skipped folder the manifest lists as anything but a folder is
    // a problem. `top`'s own modes and times go to the target only when `applyTop` is set.
    void setPart(const QList<QByteArray> &top, const QList<QList<QByteArray>> &skipped,
                 bool applyTop);
    // Reads the manifest from this folder instead of from the set (not taken over).
    void setManifestFolder(int dirFd);
    // Restores nothing unless the manifest read is this one (its SHA-256).
    void expectManifest(const QByteArray &sha256) { m_expectedManifest = sha256; }

    bool restore();
    // The manifest's entry for `top`, once restore() has met it.
    bool hasTop() const { return m_haveTop; }
    ManifestEntry topEntry() const { return m_top; }
    // Gives `fd` the entry's owner, permission bits and modification time; 0 or an errno.
    static int applyMetadataTo(int fd, const ManifestEntry &entry);

    const ProblemList &problems() const { return m_problems; }
    const ProblemList &notRestored() const { return m_notRestored; }
    QByteArray manifestError() const { return m_manifestError; }
    qint64 entries() const { return m_entries; }
    qint64 files() const { return m_files; }
    qint64 bytes() const { return m_bytes; }
    // Called after each entry with the number done.
    std::function<void(qint64)> progress;
    // Called as files are copied, with the bytes of the files copied so far.
    std::function<void(qint64)> byteProgress;
    int openLevels = 0;

private:
    struct Metadata
    {
        bool known = false;
        ManifestEntry entry;
    };

    void restoreEntry(const ManifestEntry &entry, const QList<QByteArray> &real,
                      const QList<QByteArray> &stored);
    bool restoreFile(const ManifestEntry &entry, int dirFd, const char *name,
                     const QList<QByteArray> &real, const QList<QByteArray> &stored);
    bool copyData(int in, int out, const ManifestEntry &entry, int *readError, int *writeError,
                  bool *mismatch);
    void applyMetadata(int fd, const ManifestEntry &entry, const QByteArray &path);
    void applyMetadataAt(int dirFd, const char *name, const ManifestEntry &entry);
    void problem(CopyProblem::Kind kind, const QByteArray &path, int error = 0);

    QString m_stickPath;
    UniqueFd m_target;
    UniqueFd m_manifestFolder;
    QByteArray m_expectedManifest;
    QList<QByteArray> m_part;
    QList<QList<QByteArray>> m_skipped;
    bool m_applyTop = true;
    bool m_haveTop = false;
    ManifestEntry m_top;
    FolderCursor *m_targetCursor = nullptr;
    FolderCursor *m_stickCursor = nullptr;
    std::vector<Metadata> m_folderMetadata; // by depth below the target
    QHash<qint64, QByteArray> m_groups;     // hard-link group: the first path restored
    Sha256 m_hash;
    std::vector<char> m_buffer;
    ProblemList m_problems;
    ProblemList m_notRestored;
    QByteArray m_manifestError;
    qint64 m_entries = 0;
    qint64 m_files = 0;
    qint64 m_bytes = 0;
};

#endif
