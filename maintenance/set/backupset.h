#ifndef BACKUPSET_H
#define BACKUPSET_H

#include "maintenance/set/manifestwriter.h"
#include "maintenance/set/stickcapabilities.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/set/storedset.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>

// The backup set on the stick, checked rather than trusted. The stick must be a mount of
// its own, and BackupData, BackupData/opt and the leftovers of an earlier backup must be
// real folders of the stick's file system (no links, no other mounts), or nothing is done
// at all. A new set is written beside the old one in BackupData.new; only when every entry,
// both dumps and the manifest are written and synced does it take BackupData's place by
// renames, and the old set goes. Until then the previous set stays exactly as it was.
//
//   /mnt/usb/BackupData/opt/...             the /opt tree (what older panels read)
//   /mnt/usb/BackupData/appdb.sql, Misc.sql  the dumps
//   /mnt/usb/BackupData/manifest.mtree       written last: the set is complete
//   /mnt/usb/BackupData/SHA256SUMS           the same checksums for sha256sum -c
class BackupSet
{
public:
    enum class Refusal {
        None,
        NoStick,     // the stick folder cannot be opened
        NotMounted,  // nothing is mounted there
        NotAFolder,  // refusedName() is a link or no folder
        OtherMount,  // refusedName() is another file system
        CannotWrite, // the stick takes nothing (read-only, full): error()
        Io,          // anything else: error()
    };
    struct Room
    {
        bool known = false; // the file system says how much is free
        qint64 needed = 0;
        qint64 available = 0;
        qint64 previous = 0; // what the previous set takes; counted only when needed
        bool fits() const { return !known || needed <= available; }
        // Fits once the previous set is gone.
        bool fitsAlone() const { return known && needed <= available + previous; }
    };

    static const char *setName();        // BackupData
    static const char *newName();        // BackupData.new
    static const char *oldName();        // BackupData.old
    static const char *treeName();       // opt
    static const char *removingMarker(); // in BackupData while a set is removed

    explicit BackupSet(const QString &stickPath);
    ~BackupSet();

    // Opens the stick and checks its layout; writes nothing.
    bool check();
    Refusal refusal() const { return m_refusal; }
    QByteArray refusedName() const { return m_refusedName; }
    int error() const { return m_error; }
    bool hasPreviousSet() const { return m_previousSet; }
    // Also before recover(): whether there is a set a new one replaces (one that recover()
    // puts back or finishes included).
    bool replacesASet() const { return previousFolder()[0] != '\0'; }
    int stickFd() const { return m_stick.get(); }

    // After check(): the set a new one would replace, the one in BackupData or the one that
    // recover() would put back or finish. Reads its manifest only; writes nothing.
    StoredSet storedSet() const;

    // Puts back a set that an interrupted swap left aside and removes half-written leftovers.
    bool recover();
    // What the new set needs beside the old one: the tree (in the stick's blocks), room for
    // the dumps and the manifest. Also before recover(): what it would remove counts as free,
    // and the previous set is the one it would keep.
    Room room(qint64 treeNeeded, qint64 entries) const;
    // After recover(): removes the previous set to make room, its manifest and dumps first,
    // so that what is left never looks like a set. A removal cut short is finished by the next
    // recover().
    bool removePrevious();
    // From the mark on, the previous set is gone, now or with the next recover().
    bool previousRemovalBegun() const { return m_removalBegun; }
    // The size of a dump of the previous set (0 without one), after recover().
    qint64 previousDumpSize(const QByteArray &fileName) const;

    // Makes BackupData.new with its opt folder, finds what the stick can hold and starts the
    // manifest, which names the device backed up.
    bool begin(const QByteArray &source, const DeviceIdentity &device);
    int treeFd() const { return m_tree.get(); }
    QString newSetPath() const;
    QString newTreePath() const;
    const StickCapabilities &capabilities() const { return m_caps; }
    ManifestWriter *manifest() { return &m_manifest; }

    // An empty file for a dump command to fill (never a link: the shell follows links).
    bool prepareDump(const QByteArray &fileName);
    // The size of that file now (it grows while the command writes it); -1 when it is gone.
    qint64 dumpSize(const QByteArray &fileName) const;
    // The start of a file a command wrote into the new set for the job itself (not for the
    // set), which is then removed.
    QByteArray takeFile(const QByteArray &fileName);
    // Checks a dump is complete, takes its checksum and lists it in the manifest.
    bool addDump(const QByteArray &fileName);
    qint64 dumpBytes() const { return m_dumpBytes; }
    // Closes the manifest, with the counts of the tree copied and of the dumps added, and
    // syncs the stick.
    bool finish(qint64 treeEntries, qint64 treeFiles, qint64 treeBytes);
    // Swaps the new set in and removes the old one.
    bool commit();
    // Removes the half-made set; the old one is untouched.
    void abandon();
    // False once commit() has begun to change the old set (it may then have failed later).
    bool previousSetKept() const { return !m_swapStarted; }
    // True while the stick opened by check() is still the one mounted at the stick path.
    bool stillMounted() const;

private:
    bool refuse(Refusal refusal, const QByteArray &name, int error = 0);
    bool checkFolder(int dirFd, const QByteArray &name, const QByteArray &shown, bool *exists);
    bool fail(int error);
    void removeBeside(const char *name);
    bool hasMarker(const char *marker) const;
    // Makes the empty file `marker` in the stick's folder `folder` and syncs the stick.
    bool placeMarker(const char *folder, const char *marker);
    // The swap for a stick whose folders cannot be renamed: the old set goes, then every
    // entry of the new one is moved in by renaming files, the manifest last. Marked on the
    // stick before it starts, so that a pulled stick finishes it next time.
    bool rollForward();
    bool moveContents(int fromFd, int toFd);
    // The folder that holds the set a new one replaces ("" for none), before or after
    // recover(), and the bytes a folder of the stick takes.
    const char *previousFolder() const;
    qint64 usage(const char *name) const;
    bool removeSetFolder();

    QString m_stickPath;
    UniqueFd m_stick;
    struct stat m_stickStatus = {};
    UniqueFd m_new;
    UniqueFd m_tree;
    StickCapabilities m_caps;
    ManifestWriter m_manifest;
    Refusal m_refusal = Refusal::None;
    QByteArray m_refusedName;
    int m_error = 0;
    bool m_previousSet = false;
    bool m_begun = false;
    bool m_swapStarted = false;
    bool m_removalBegun = false;
    qint64 m_dumpBytes = 0;
    qint64 m_dumps = 0;
};

#endif
