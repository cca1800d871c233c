#ifndef DEVICERESTORE_H
#define DEVICERESTORE_H

#include "maintenance/set/copyproblem.h"
#include "maintenance/system/deviceidentity.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

#include <sys/stat.h>

class CommandRunner;
class DatabaseRestore;
class QTemporaryDir;

// Puts a backup set from the stick back onto the device: the /opt tree and the databases
// appdb and Misc, all of it or nothing. check() looks at the whole set before anything is
// touched; restore() then goes, in this order:
//   1. /opt is planned: a link is followed, mount points at or below it stay in place
//      (TreeReplacer);
//   2. the dumps, the very bytes checked, are vetted and proved to load, and the databases'
//      data is saved on the device (DatabaseRestore::prepare);
//   3. the tree is restored beside /opt (or inside its mount points), the manifest's
//      modes, owners, times and links applied, every file checked against its SHA-256;
//   4. the stick must still be the one checked, mounted where it was;
//   5. the databases are replaced (put back by DatabaseRestore when that fails);
//   6. /opt is swapped for the new tree (the databases are put back when that fails);
//   7. the old tree is removed, and everything is synced.
// A failure in steps 1 to 6 leaves /opt and the databases as they were, and problems()
// says so. Texts are the panel's (translated in its context).
class DeviceRestore
{
public:
    enum class Verdict {
        Good,       // checked against its manifest
        Unverified, // an older panel's set, checked as it stands: no manifest vouches for it
        Refused,    // problems() says why
    };

    DeviceRestore(CommandRunner &runner, const QString &systemRoot);
    ~DeviceRestore();
    DeviceRestore(const DeviceRestore &) = delete;
    DeviceRestore &operator=(const DeviceRestore &) = delete;

    // The number of entries check() goes through, for its progress bar; cheap.
    qint64 checkEntries() const;
    // Checks the set on the stick; nothing on the device changes.
    Verdict check();
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
    // Called after each entry of the tree restored, with the number done.
    std::function<void(qint64)> progress;
    // For the final box.
    qint64 restoredFiles() const { return m_restoredFiles; }
    qint64 restoredBytes() const { return m_restoredBytes; }
    const ProblemList &notRestored() const { return m_notRestored; }
    // Lines after a success that the technician should know (what stayed behind).
    QStringList notes() const { return m_notes; }

    // Why check() refused or restore() failed, one line each, ending with what was left.
    QStringList problems() const { return m_problems; }

private:
    bool stickUnchanged() const;
    void leaveDatabases(DatabaseRestore &databases);
    void addProblemLines(const ProblemList &problems, const QString &base);
    QString legacyFolder() const;
    bool makeLegacyFolder();

    CommandRunner &m_runner;
    QString m_root;
    Verdict m_verdict = Verdict::Refused;
    struct stat m_stick = {};
    bool m_stickKnown = false;
    QByteArray m_created;
    DeviceIdentity m_setDevice;
    QByteArray m_manifestSha256;
    QHash<QByteArray, QByteArray> m_dumpSha256;
    qint64 m_dumpBytes = 0;
    qint64 m_treeEntries = 0;
    qint64 m_treeFiles = 0;
    qint64 m_bytes = 0;
    qint64 m_restoredFiles = 0;
    qint64 m_restoredBytes = 0;
    ProblemList m_notRestored;
    QStringList m_notes;
    QStringList m_problems;
    std::unique_ptr<QTemporaryDir> m_legacy; // the older set's manifest, made by its check
};

#endif
