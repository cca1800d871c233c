#ifndef JOBPROBLEM_H
#define JOBPROBLEM_H

#include "maintenance/system/commandrunner.h"

#include <QByteArray>
#include <QList>
#include <QString>

// One thing a maintenance job (Backup, Clear Data) could not do, as data: what happened,
// the path as bytes, errno and counts. The panel words it.
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
    };

    Kind kind = Kind::NoStick;
    QByteArray path;
    int error = 0;
    qint64 count = 0;
    qint64 available = 0;
    QString name;
    QByteArray command;
    CommandResult result;
};

using JobProblems = QList<JobProblem>;

#endif
