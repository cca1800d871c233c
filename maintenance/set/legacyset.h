#ifndef LEGACYSET_H
#define LEGACYSET_H

#include "maintenance/set/copyproblem.h"
#include "maintenance/set/manifestentry.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// A backup set that an older panel wrote: no manifest, only BackupData/opt and the dumps.
// It can be restored only as the stick holds it, so the check looks at all of it first:
// BackupData and BackupData/opt are real folders of the stick, both dumps are regular files
// that end with mysqldump's closing line, and every entry of the tree can be read, never
// through a link and never on another file system. While it walks, it writes a manifest of
// what it found (with every file's SHA-256) into a folder of the device, so that TreeRestorer
// restores the tree from that manifest like any other set and puts back exactly the bytes
// that were checked. As an older panel restored it, a file gets its permission bits only
// (no setuid, setgid or sticky bit, whatever the stick says), a folder the mode mkdir gives
// it, and both the panel's own owner; modification times come from the stick.
class LegacySet
{
public:
    enum class Verdict {
        Good,
        NoSet,      // no BackupData, no opt folder, or a dump missing or cut short
        NotAFolder, // refusedName() is a link or no folder
        OtherMount, // ... or another file system
        Damaged,    // entries that cannot be read or lie on another file system: problems()
        NotWritten, // the manifest could not be written on the device: error()
    };

    LegacySet(const QString &stickPath, const QList<QByteArray> &dumps);

    // Walks the set and writes manifest.mtree (and its SHA256SUMS) into `workFd`.
    Verdict check(int workFd);
    QByteArray refusedName() const { return m_refusedName; }
    const ProblemList &problems() const { return m_problems; }
    int error() const { return m_error; }
    // The dump's SHA-256 (hex) as checked.
    QByteArray dumpSha256(const QByteArray &name) const { return m_dumps.value(name); }
    qint64 treeEntries() const { return m_entries; } // below opt
    qint64 treeFiles() const { return m_files; }
    qint64 bytes() const { return m_bytes; } // the tree's files and the dumps
    qint64 dumpBytes() const;
    qint64 dumpSize(const QByteArray &name) const { return m_dumpSizes.value(name); }
    // Called after each entry of the tree with the number done.
    std::function<void(qint64)> progress;

    // Counts the entries of the tree without reading any file: the progress bar's end.
    static qint64 countEntries(const QString &stickPath);

private:
    bool checkDump(int setFd, const QByteArray &name);
    void problem(CopyProblem::Kind kind, const QByteArray &path, int error = 0);

    QString m_stickPath;
    QList<QByteArray> m_dumpNames;
    QHash<QByteArray, QByteArray> m_dumps;
    QHash<QByteArray, qint64> m_dumpSizes;
    QByteArray m_refusedName;
    ProblemList m_problems;
    int m_error = 0;
    qint64 m_entries = 0;
    qint64 m_files = 0;
    qint64 m_bytes = 0;
};

#endif
