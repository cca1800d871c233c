#ifndef DEVICEBACKUP_H
#define DEVICEBACKUP_H

#include "maintenance/jobproblem.h"
#include "maintenance/set/copyproblem.h"
#include "maintenance/set/storedset.h"
#include "maintenance/system/deviceidentity.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class BackupSet;
class CommandRunner;

// Writes the device's data onto the stick as a new backup set: the /opt tree and dumps of
// the databases appdb and Misc. The previous set on the stick stays as it was until the new
// one is whole (BackupSet). In order:
//   checkStick()  no restore may be unfinished on the device, the stick must be mounted and
//                 its set's folders real ones; an earlier backup that was cut short is put
//                 right;
//   run()         1. /opt is counted (`counted`), the room for the new set beside the old
//                    one checked, and the tree copied into it (`progress`), then synced
//                    (`treeCopied`);
//                 2. each database is dumped into the set, only onto the stick checked at
//                    the start, and only a whole dump enters it;
//                 3. the manifest is closed, the new set swapped in, and everything synced.
// What went wrong is in problems(), in the order it happened.
class DeviceBackup
{
public:
    enum class Outcome {
        Done,       // the new set replaced the previous one
        Refused,    // the stick or its set was refused: nothing was written
        NotStarted, // the copy of the tree never began: nothing was written
        Failed,     // the new set was abandoned, or its swap went wrong
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

    // Called once the tree is counted, with its number of entries (the progress bar's end).
    std::function<void(qint64)> counted;
    // Called after each entry of the tree copied, with the number done.
    std::function<void(qint64)> progress;
    // Called when the tree is on the stick, before the dumps.
    std::function<void()> treeCopied;

    Outcome outcome() const { return m_outcome; }
    const JobProblems &problems() const { return m_problems; }
    // Sockets and device nodes of the tree, relative to source(): listed, not failures.
    const ProblemList &notCopied() const { return m_notCopied; }
    QByteArray source() const;
    bool hadPreviousSet() const { return m_previousSet; }
    // False once the swap began to change the previous set (and then failed).
    bool previousSetKept() const { return m_previousKept; }
    // The tree's files, and the bytes of the tree's files and the dumps.
    qint64 files() const { return m_files; }
    qint64 bytes() const { return m_bytes; }

private:
    JobProblem setProblem() const;
    bool runStep(const QByteArray &commandLine);
    bool refusedForUnfinishedRestore();

    CommandRunner &m_runner;
    QString m_root;
    std::unique_ptr<BackupSet> m_set;
    Outcome m_outcome = Outcome::Refused;
    JobProblems m_problems;
    ProblemList m_notCopied;
    bool m_previousSet = false;
    bool m_previousKept = true;
    qint64 m_files = 0;
    qint64 m_bytes = 0;
    DeviceIdentity m_device;
    StoredSet m_stored;
};

#endif
