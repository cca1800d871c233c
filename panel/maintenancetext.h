#ifndef MAINTENANCETEXT_H
#define MAINTENANCETEXT_H

#include "maintenance/database/dumpvetting.h"
#include "maintenance/jobproblem.h"
#include "maintenance/jobprogress.h"
#include "maintenance/restore/devicerestore.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <chrono>

class DeviceBackup;
class DeviceClear;
class MaintenanceLock;
class ProblemList;
struct CommandResult;
struct PathCheck;

// The box lines of the backup page: what the engine reports as data, worded for the
// technician, in one place and one translation context.
class MaintenanceText
{
    Q_DECLARE_TR_FUNCTIONS(MaintenanceText)

public:
    enum class More { Plain, NotCopied, NotRestored };

    // "812 bytes", "1.5 MB".
    static QString size(qint64 bytes);
    // "... and 3 more", "... and 3 more not copied", "... and 3 more not restored".
    static QString more(qint64 count, More what);
    // How a command ended: "exit status 1", "stopped after its time limit of 15 min", ...
    static QString commandOutcome(const CommandResult &result);
    // Why a command failed, with its last error line: "exit status 1: ERROR 2002 ...".
    static QString commandReason(const CommandResult &result);
    // A command that failed: its line, why when it did not simply exit, and its last line of
    // error output.
    static QString commandLine(const QByteArray &commandLine, const CommandResult &result);

    // Why a folder is refused to a maintenance action: "/ is the root folder".
    static QString pathProblem(const PathCheck &check);

    static QString line(const JobProblem &problem);
    static QStringList lines(const JobProblems &problems);
    // The sockets and device nodes of a tree below `base`, which carry nothing to copy.
    static QStringList skippedLines(const ProblemList &skipped, const QByteArray &base, More what);

    // The line of the progress dialog that says what a job is doing: "Copying /opt",
    // "Writing the dump of Misc", "Deleting /opt/Brevin".
    static QString step(const JobProgress &progress);
    // "About 3 min left", "About 40 s left".
    static QString timeLeft(qint64 seconds);

    // The lines of the box after a backup, for each of its outcomes.
    static QStringList backup(const DeviceBackup &backup);
    // The lines of the Fail box after Clear Data: what failed, what was deleted and what not.
    static QStringList clearData(const DeviceClear &clear);
    // The box of an action that found another one running on the device.
    static QString lockRefused(const MaintenanceLock &lock);
    // ... after Restore's check refused the set, or after the restore.
    static QStringList restore(const DeviceRestore &restore);
    // ... after Restore put right a restore that was cut short.
    static QStringList unfinishedRestore(const DeviceRestore &restore,
                                         DeviceRestore::Recovery recovery);

    // Why a dump from the stick is refused: "line 12: the mysql client command \!".
    static QString vetterRefusal(const DumpVetter::Refusal &refusal);

private:
    // "15 min", "5 s", "250 ms".
    static QString duration(std::chrono::milliseconds span);
};

#endif
