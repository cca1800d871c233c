#ifndef JOBPROBLEM_H
#define JOBPROBLEM_H

#include "maintenance/database/dumpvetting.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/stickapart.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One thing a maintenance job (Backup, Restore, Clear Data) could not do, as data: what
// happened, the path as bytes, errno and counts. The panel words it.
struct JobProblem
{
    enum class Kind {
        // The stick and the set on it.
        NoStick,          // nothing usable is mounted at the stick folder
        StickOnDevice,    // path: the stick folder shows the file system of /opt ("") or of a
                          // mount below it (relative to /opt)
        StickInsideOpt,   // the stick folder lies inside /opt
        SetNotAFolder,    // path: a link or no folder; nothing was written
        SetOtherMount,    // path: another file system; nothing was written
        StickNotWritable, // error: the stick takes nothing, or another failure
        NoRoom,           // count bytes needed, available bytes free
        StickRemoved,     // the stick went away during the job
        SwapFailed,       // error: the new set could not replace the previous one
        // Entries of a tree.
        NoSource,       // path: the tree to copy is no folder
        NotCopied,      // path (whole), error
        MoreNotCopied,  // count more entries not copied
        WritingStopped, // path (whole), error: the target took nothing more
        // Commands.
        ServerUnreachable, // result: the database server did not answer; nothing was written
        CommandFailed,     // command, result
        DumpIncomplete,    // name: the database
        NotDropped,        // name: the database, result
        FolderLeft,        // path; result when the removal failed
        NotSynced,         // result of "sync"
        // An earlier restore.
        RestoreUnfinished, // a restore was cut short: Restore must put it right first
        JournalUnusable,   // path: the restore's record cannot be read or written, error
        // The set on the stick, for Restore.
        NoCompleteSet,     // nothing to restore: no set, or one cut short
        NotAFolderOnStick, // path: BackupData or BackupData/opt is a link or no folder
        OtherMountOnStick, // path: ... or another file system
        ManifestUnusable,  // name: the manifest's file, detail: why
        MissingOnStick,    // path (below the stick)
        DamagedOnStick,    // path: not what the manifest says
        UnreadableOnStick, // path, error
        OtherFileSystem,   // path: on another file system than the stick's
        LeadsOutside,      // path: a manifest entry that leads outside the set
        MoreProblems,      // count more of the above or below
        StickChanged,      // the stick is not the one checked before the question
        RemovedDuringRestore,
        // The device, for Restore.
        FolderNotMade,    // path: a folder of the device for the restore's work
        FolderNotWritten, // path, error
        NotRestored,      // path (whole), error
        TreeNotReplaced,  // name: the folder, path: where it failed, error
        LeftBehind,       // path (whole), error: what the restore could not remove after it
        // The dumps, for Restore.
        DumpUnreadable, // path, error
        DumpNotAFile,   // path, count: its file type (the S_IFMT bits of st_mode)
        DumpSwapped,    // path: another file took its place while it was opened
        DumpRefused,    // name: the dump's file, detail: the vetter's reason
        DumpChanged,    // name: its bytes are not those checked
        DumpNotLoaded,  // name: the dump's file, result
        // The database server, for Restore.
        AccountNotReady,     // result, or error when a file of its own could not be written
        StagingNotMade,      // name: the database, result
        NameNotHandled,      // name: the database, path: a name in it the restore cannot quote
        DatabaseNotSaved,    // name, result: what a roll-back needs could not be kept
        DatabaseNotSwitched, // name, result
        DatabaseBack,        // name: the database has its previous data back
        DatabaseGoneAgain,   // name: it did not exist before and is gone again
        DatabaseNotBack,     // name, result
        DatabaseLeftBehind,  // name: a database of the restore's work, result
        RestoredNotSynced,   // result of "sync" after everything was restored
    };

    Kind kind = Kind::NoStick;
    QByteArray path;
    int error = 0;
    qint64 count = 0;
    qint64 available = 0;
    QString name;
    QByteArray command;
    CommandResult result;
    QString detail;              // a reason another part words itself (the manifest reader's)
    DumpVetter::Refusal refusal; // the vetter's

    static JobProblem of(Kind kind, const QByteArray &path = QByteArray(), int error = 0)
    {
        JobProblem problem;
        problem.kind = kind;
        problem.path = path;
        problem.error = error;
        return problem;
    }
    // Why the stick folder shows no stick of its own (checkStickApart()).
    static JobProblem notApart(const StickApart &apart)
    {
        return apart.verdict == StickApart::Verdict::InsideOpt
                   ? of(Kind::StickInsideOpt)
                   : of(Kind::StickOnDevice, apart.mountPoint);
    }
};

using JobProblems = QList<JobProblem>;

#endif
