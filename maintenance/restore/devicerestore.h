#ifndef DEVICERESTORE_H
#define DEVICERESTORE_H

#include "maintenance/jobproblem.h"
#include "maintenance/jobprogress.h"
#include "maintenance/restore/restorejournal.h"
#include "maintenance/set/copyproblem.h"
#include "maintenance/system/deviceidentity.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <functional>
#include <memory>

#include <sys/stat.h>

class CommandRunner;
class DatabaseRestore;
class QTemporaryDir;
class TreeReplacer;

// Puts a backup set from the stick back onto the device: the /opt tree and the databases
// appdb and Misc, all of it or nothing, even when a power loss cuts it short.
//
// check() looks the set over before the question: the manifest whole and sound, every entry
// there with its type and size, the dumps whole (no file's content is read). restore() then
// reads the stick once:
//   1. /opt is planned: a link is followed, mount points at or below it stay (TreeReplacer);
//   2. the journal records that staging began; the staging databases are made;
//   3. the tree is restored beside /opt (or inside its mount points), every file checked
//      against its SHA-256 as it is copied;
//   4. each dump streams from the stick into its staging database, checked as it is read;
//   5. the stick must still be the one checked; the staged tree is synced, and what the
//      switch and its way back need is written on the device (DatabaseRestore);
//   6. the journal records that the commit began: each database is switched, then /opt
//      swapped, each step recorded before it is taken;
//   7. the journal records the cleanup: the old tree and the old data go, everything is
//      synced, the journal goes.
// Up to 5 only the staging databases and the staged tree exist beside the device's data; a
// failure removes them and nothing else changed. A failure in 6 puts everything back.
// Whatever cuts a restore short is put right by finishUnfinished(): before the commit
// began, everything goes back; once it began, everything goes forward, with nothing needed
// from the stick. Until then Backup and Clear Data refuse to run (isUnfinished()).
class DeviceRestore
{
public:
    enum class Verdict {
        Good,       // checked against its manifest
        Unverified, // an older panel's set, checked as it stands: no manifest vouches for it
        Refused,    // problems() says why
    };
    enum class Outcome {
        Done,       // /opt and both databases hold the set
        Refused,    // nothing was done: problems() says why
        Unchanged,  // it failed, and /opt and both databases are as they were
        Unfinished, // it failed and could not be put back: the next Restore puts it right
        NotSynced,  // restored, but writing it to disk failed
    };
    enum class Recovery {
        None,     // nothing was unfinished
        Finished, // the restore cut short was finished: all new
        Undone,   // it was undone: all as before it
        Failed,   // it could not be put right: problems() says why
    };

    DeviceRestore(CommandRunner &runner, const QString &systemRoot);
    ~DeviceRestore();
    DeviceRestore(const DeviceRestore &) = delete;
    DeviceRestore &operator=(const DeviceRestore &) = delete;

    // A restore was cut short on the device below `systemRoot`.
    static bool isUnfinished(const QString &systemRoot);
    // Finishes or undoes it, as its journal says; needs no stick.
    Recovery finishUnfinished();

    // The number of entries check() goes through, for its progress bar; cheap.
    qint64 checkEntries() const;
    // Checks the set on the stick; nothing on the device changes.
    Verdict check();
    // Called as check() goes, with the entries done.
    std::function<void(qint64)> checkProgress;

    // What check() found, for the question.
    QByteArray created() const { return m_created; } // UTC, ISO 8601; empty for older sets
    qint64 treeEntries() const { return m_treeEntries; }
    qint64 treeFiles() const { return m_treeFiles; }
    qint64 bytes() const { return m_bytes; } // the tree's files and the dumps
    // The device the set was made on ("unknown" for older sets), and whether that is known
    // to be another device than this one (the system root's).
    DeviceIdentity setDevice() const { return m_setDevice; }
    bool fromOtherDevice() const { return m_setDevice.isOtherThan(DeviceIdentity::read(m_root)); }

    bool restore();
    // Where restore() is: the step, and the bytes of files and dumps read of bytes().
    JobProgressCallback progress;
    // Each time the journal is written, with what it now says (for the action's record).
    std::function<void(const RestoreJournal::State &)> recorded;

    Outcome outcome() const { return m_outcome; }
    // For the final box.
    qint64 restoredFiles() const { return m_restoredFiles; }
    qint64 restoredBytes() const { return m_restoredBytes; }
    const ProblemList &notRestored() const { return m_notRestored; }
    // What went wrong, in order; after a failure it also says what was put back.
    const JobProblems &problems() const { return m_problems; }
    // After a success: what the technician should know (what stayed behind).
    const JobProblems &notes() const { return m_notes; }
    QString systemRoot() const { return m_root; }

private:
    struct Work;

    Verdict refuse(JobProblem::Kind kind, const QByteArray &path = QByteArray());
    void addProblems(JobProblems *to, const ProblemList &problems);
    bool stickUnchanged() const;
    QString legacyFolder() const;
    bool makeLegacyFolder();
    void report(JobProgress::Step step, const QString &name = QString());

    bool record(Work &work);
    bool restoreTree(Work &work);
    bool loadDumps(Work &work);
    bool readyToCommit(Work &work);
    bool undoStaging(Work &work);
    bool commit(Work &work, bool recovering);
    bool goBack(Work &work);
    bool cleanUp(Work &work);
    bool openWork(Work &work, const QString &folder);
    bool endJournal(Work &work);

    CommandRunner &m_runner;
    QString m_root;
    Verdict m_verdict = Verdict::Refused;
    struct stat m_stick = {};
    bool m_stickKnown = false;
    QByteArray m_created;
    DeviceIdentity m_setDevice;
    QByteArray m_manifestSha256;
    QHash<QByteArray, QByteArray> m_dumpSha256;
    QHash<QByteArray, qint64> m_dumpSize;
    qint64 m_dumpBytes = 0;
    qint64 m_treeEntries = 0;
    qint64 m_treeFiles = 0;
    qint64 m_treeBytes = 0;
    qint64 m_bytes = 0;
    qint64 m_done = 0;
    Outcome m_outcome = Outcome::Refused;
    qint64 m_restoredFiles = 0;
    qint64 m_restoredBytes = 0;
    ProblemList m_notRestored;
    JobProblems m_problems;
    JobProblems m_notes;
    std::unique_ptr<QTemporaryDir> m_legacy; // the older set's manifest, made by its check
};

#endif
