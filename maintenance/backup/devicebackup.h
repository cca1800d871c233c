#ifndef DEVICEBACKUP_H
#define DEVICEBACKUP_H

#include "maintenance/jobproblem.h"
#include "maintenance/jobprogress.h"
#include "maintenance/set/copyproblem.h"
#include "maintenance/set/storedset.h"
#include "maintenance/system/deviceidentity.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class BackupSet;
class CommandRunner;
struct TreeCopyResult;

// Writes the device's data onto the stick as a new backup set: the /opt tree and dumps of
// the databases appdb and Misc. The previous set on the stick stays as it was until the new
// one is whole (BackupSet). In order:
//   checkStick()  no restore may be unfinished on the device, the stick must be mounted,
//                 apart from /opt, and its set's folders real ones; nothing is written;
//   run()         1. /opt is counted and the room checked: the new set must fit beside the
//                    old one; when it fits only once the old one is gone, confirmReplace()
//                    decides (nothing on the stick has changed until then);
//                 2. an earlier backup cut short is put right, the old set removed when
//                    replacing, and the server asked for the size of the databases;
//                 3. the tree is copied into the new set and synced;
//                 4. each database is dumped into the set, only onto the stick checked at
//                    the start, and only a whole dump enters it; a failed one ends the job;
//                 5. the manifest is closed, the new set swapped in, and everything synced.
// `progress` follows it all by bytes: the tree's, then the dumps' (foreseen from the previous
// set's dumps or the server's data length, followed as each file grows). What went wrong is
// in problems(), in the order it happened.
class DeviceBackup
{
public:
    enum class Outcome {
        Done,       // the new set replaced the previous one
        Refused,    // the stick or its set was refused: nothing was written
        NotStarted, // the copy of the tree never began: nothing was written
        Failed,     // the new set was abandoned, or its swap went wrong
        Cancelled,  // the technician kept the old set rather than replace it: nothing changed
    };

    DeviceBackup(CommandRunner &runner, const QString &systemRoot);
    DeviceBackup(const DeviceBackup &) = delete;
    DeviceBackup &operator=(const DeviceBackup &) = delete;
    ~DeviceBackup();

    // Checks the stick and reads the set there; writes nothing.
    bool checkStick();
    // After checkStick(): the set a new one would replace, and whether it is a whole set of
    // another device (not to be replaced unasked).
    const StoredSet &storedSet() const { return m_stored; }
    bool replacesOtherDevicesSet() const { return m_stored.isOfOtherDevice(m_device); }
    // Puts right what an earlier backup left cut short, then writes the new set.
    bool run();

    // Where the job is, by bytes.
    JobProgressCallback progress;
    // Asked when the new set fits only once the previous one is gone; true removes it first.
    std::function<bool()> confirmReplace;

    Outcome outcome() const { return m_outcome; }
    const JobProblems &problems() const { return m_problems; }
    // Sockets and device nodes of the tree, relative to source(): listed, not failures.
    const ProblemList &notCopied() const { return m_notCopied; }
    QByteArray source() const;
    bool hadPreviousSet() const { return m_previousSet; }
    // False once the swap began to change the previous set (and then failed).
    bool previousSetKept() const { return m_previousKept; }
    // The previous set was removed to make room for the new one.
    bool previousSetRemoved() const { return m_previousRemoved; }
    // The tree's files, and the bytes of the tree's files and the dumps.
    qint64 files() const { return m_files; }
    qint64 bytes() const { return m_bytes; }

private:
    JobProblem setProblem() const;
    bool runStep(const QByteArray &commandLine, const CommandIo &io = CommandIo());
    bool refusedForUnfinishedRestore();
    void report(JobProgress::Step step, const QString &name = QString());
    // What the dumps will roughly take, from the previous set or the server's data length.
    void foreseeDumps(const QByteArray &sizes);
    bool copyTree(TreeCopyResult *result);
    bool writeDumps();

    CommandRunner &m_runner;
    QString m_root;
    std::unique_ptr<BackupSet> m_set;
    Outcome m_outcome = Outcome::Refused;
    JobProblems m_problems;
    ProblemList m_notCopied;
    bool m_previousSet = false;
    bool m_previousKept = true;
    bool m_previousRemoved = false;
    qint64 m_files = 0;
    qint64 m_bytes = 0;
    DeviceIdentity m_device;
    StoredSet m_stored;
    // The bytes of the whole job: the tree's work (TreeCount::work), then each dump as
    // foreseen until it is written.
    qint64 m_treeWork = 0;
    qint64 m_treeDone = 0;
    QList<qint64> m_dumpForeseen;
    QList<qint64> m_dumpWritten;
};

#endif
