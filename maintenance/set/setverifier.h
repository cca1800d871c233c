#ifndef SETVERIFIER_H
#define SETVERIFIER_H

#include "maintenance/set/copyproblem.h"
#include "maintenance/set/manifestentry.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/system/deviceidentity.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <functional>

// Checks a backup set on the stick against its manifest before anything on the device is
// touched: BackupData and BackupData/opt are real folders of the stick, the manifest is
// whole, no entry leads outside BackupData, every file is there with its size and
// checksum, every folder is a folder, the links and FIFOs the stick holds are what the
// manifest says, and the dumps are complete and match. Links on the stick are never
// followed, and nothing is opened before its type is checked.
//
// The quick check reads no file's content, only the manifest (and the end of each dump): it
// is what Restore asks its question after, and the restore itself then compares every file
// with its checksum as it copies it, and each dump as it loads it.
class SetVerifier
{
public:
    enum class Verdict {
        Good,
        NoSet,       // no BackupData, or no stick
        NotAFolder,  // BackupData or BackupData/opt is a link or no folder
        OtherMount,  // ... or another file system
        NoManifest,  // a set an older panel wrote: nothing to check it against
        BadManifest, // cut short, unreadable or not ours: manifestError()
        Damaged,     // entries missing or different: problems()
    };
    struct Summary
    {
        QByteArray created;    // UTC, ISO 8601
        DeviceIdentity device; // the device backed up, as the manifest names it
        qint64 entries = 0;
        qint64 files = 0;
        qint64 bytes = 0;       // the tree's files and the dumps
        qint64 treeEntries = 0; // below opt
        qint64 treeFiles = 0;
    };

    enum class Depth {
        Whole, // every file's content against its checksum
        Quick, // every entry's type and size, the dumps' last line
    };

    // `stickPath` is where the stick is mounted; `dumps` are the dump files the set must hold.
    SetVerifier(const QString &stickPath, const QList<QByteArray> &dumps,
                Depth depth = Depth::Whole);

    Verdict verify();
    Verdict verdict() const { return m_verdict; }
    const ProblemList &problems() const { return m_problems; }
    QByteArray manifestError() const { return m_manifestError; }
    Summary summary() const { return m_summary; }
    // BackupData or BackupData/opt, when the verdict is NotAFolder or OtherMount.
    QByteArray refusedName() const { return m_refusedName; }
    // The SHA-256 of the manifest as checked: the restore must read the same one.
    QByteArray manifestSha256() const { return m_manifestSha256; }
    // A dump's entry in the manifest (its size and SHA-256), once the set is Good.
    ManifestEntry dump(const QByteArray &name) const { return m_dumpEntries.value(name); }
    // Called after each entry checked, with the number done.
    std::function<void(qint64)> progress;

    // Opens BackupData on the stick after checking it and its opt folder; -1 with `verdict`
    // (and `refused`, the folder at fault) set otherwise.
    static int openSet(const QString &stickPath, Verdict *verdict, QByteArray *refused = nullptr);
    // The number of entries the manifest's closing line announces, read from its end alone:
    // enough for a progress bar before the check, 0 when there is none. Not to be trusted.
    static qint64 announcedEntries(const QString &stickPath);
    // Splits a manifest path of the tree ("opt" or "opt/...") into plain names; false for
    // anything that could lead elsewhere.
    static bool treePath(const QByteArray &path, QList<QByteArray> *names);
    static const char *typeName(ManifestEntry::Type type);

private:
    void problem(CopyProblem::Kind kind, const QByteArray &path, int error = 0);

    QString m_stickPath;
    QList<QByteArray> m_dumps;
    Depth m_depth = Depth::Whole;
    Verdict m_verdict = Verdict::NoSet;
    ProblemList m_problems;
    QByteArray m_manifestError;
    Summary m_summary;
    QByteArray m_refusedName;
    QByteArray m_manifestSha256;
    QHash<QByteArray, ManifestEntry> m_dumpEntries;
};

#endif
