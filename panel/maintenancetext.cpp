#include "panel/maintenancetext.h"

#include "maintenance/backup/devicebackup.h"
#include "maintenance/system/deviceclear.h"
#include "maintenance/system/devicecommands.h"
#include "maintenance/system/maintenancelock.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/set/copyproblem.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/pathcheck.h"

#include <QFile>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace {

QString shownPath(const QByteArray &base, const QByteArray &relative)
{
    return posixfs::displayPath(relative.isEmpty() ? base : base + '/' + relative);
}

// A file's type where a file should be.
QString fileKind(qint64 type)
{
    switch (type) {
    case S_IFLNK:
        return MaintenanceText::tr("a link");
    case S_IFDIR:
        return MaintenanceText::tr("a folder");
    case S_IFIFO:
        return MaintenanceText::tr("a FIFO");
    case S_IFSOCK:
        return MaintenanceText::tr("a socket");
    case S_IFCHR:
    case S_IFBLK:
        return MaintenanceText::tr("a device");
    default:
        break;
    }
    return MaintenanceText::tr("not a regular file");
}

// Why a step failed: its errno where it has one, else how its command ended.
QString why(const JobProblem &problem)
{
    return problem.error != 0 ? posixfs::errorText(problem.error)
                              : MaintenanceText::commandReason(problem.result);
}

// "what: why", as the box has always joined them.
QString joined(const QString &what, const QString &reason)
{
    return MaintenanceText::tr("%1: %2").arg(what, reason);
}

// Bytes of a dump for a box: printable, short.
QString shownDumpBytes(const QByteArray &text)
{
    QByteArray cut = text.left(40);
    for (char &c : cut) {
        if (static_cast<unsigned char>(c) <= ' ')
            c = ' ';
    }
    QString result = QString::fromUtf8(cut);
    if (text.size() > 40)
        result += QStringLiteral("...");
    return result;
}

} // namespace

QString MaintenanceText::size(qint64 bytes)
{
    // Qt names small sizes in English words; KB, MB and GB read the same in every language.
    if (bytes < 1024)
        return tr("%1 bytes").arg(bytes);
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString MaintenanceText::more(qint64 count, More what)
{
    switch (what) {
    case More::NotCopied:
        return tr("... and %1 more not copied").arg(count);
    case More::NotRestored:
        return tr("... and %1 more not restored").arg(count);
    case More::Plain:
        break;
    }
    return tr("... and %1 more").arg(count);
}

QString MaintenanceText::duration(std::chrono::milliseconds span)
{
    const long long ms = span.count();
    if (ms >= 60000 && ms % 60000 == 0)
        return tr("%1 min").arg(ms / 60000);
    if (ms >= 1000 && ms % 1000 == 0)
        return tr("%1 s").arg(ms / 1000);
    return tr("%1 ms").arg(ms);
}

QString MaintenanceText::commandOutcome(const CommandResult &result)
{
    switch (result.outcome) {
    case CommandResult::Outcome::Exited:
        return tr("exit status %1").arg(result.exitStatus);
    case CommandResult::Outcome::Signalled:
        return tr("ended by signal %1 (%2)")
            .arg(result.signal)
            .arg(QString::fromLocal8Bit(::strsignal(result.signal)));
    case CommandResult::Outcome::TimedOut:
        return tr("stopped after its time limit of %1").arg(duration(result.timeLimit));
    case CommandResult::Outcome::Unknown:
        return tr("ended without an exit status");
    case CommandResult::Outcome::Stopped:
        return tr("stopped before it had read all of its input");
    case CommandResult::Outcome::NotStarted:
        break;
    }
    return tr("could not be started: %1")
        .arg(result.error == 0 ? tr("no shell") : posixfs::errorText(result.error));
}

QString MaintenanceText::commandReason(const CommandResult &result)
{
    const QString outcome = commandOutcome(result);
    const QString last = result.lastErrorLine();
    return last.isEmpty() ? outcome : outcome + QStringLiteral(": ") + last;
}

QString MaintenanceText::commandLine(const QByteArray &commandLine, const CommandResult &result)
{
    QString line = QString::fromLatin1(commandLine);
    // A plain exit status adds nothing to the command; a stop at the time limit does, and so
    // does what the command itself said last ("Can't connect to local server ...").
    if (result.outcome != CommandResult::Outcome::Exited)
        line = tr("%1: %2").arg(line, commandOutcome(result));
    const QString last = result.lastErrorLine();
    return last.isEmpty() ? line : tr("%1: %2").arg(line, last);
}

QString MaintenanceText::pathProblem(const PathCheck &check)
{
    switch (check.kind) {
    case PathCheck::Kind::Allowed:
        break;
    case PathCheck::Kind::Empty:
        return tr("no folder given");
    case PathCheck::Kind::NotAbsolute:
        return tr("%1 is not an absolute path").arg(check.path);
    case PathCheck::Kind::ControlCharacter:
        return tr("%1 holds a control character").arg(check.path);
    case PathCheck::Kind::NotClean:
        return tr("%1 is not a clean path").arg(check.path);
    case PathCheck::Kind::Unresolvable:
        return tr("%1 cannot be resolved").arg(check.path);
    case PathCheck::Kind::RootFolder:
        return tr("%1 is the root folder").arg(check.path);
    case PathCheck::Kind::RootUnusable:
        return tr("the system root %1 is not usable").arg(check.root);
    case PathCheck::Kind::OutsideRoot:
        return tr("%1 is not inside the system root %2").arg(check.path, check.root);
    }
    return QString();
}

QString MaintenanceText::line(const JobProblem &problem)
{
    const QString path = posixfs::displayPath(problem.path);
    const QString error = posixfs::errorText(problem.error);
    switch (problem.kind) {
    case JobProblem::Kind::NoStick:
        return tr("Please insert U disk!");
    case JobProblem::Kind::StickOnDevice: {
        const QByteArray opt = QFile::encodeName(optFolder(QString()));
        return tr("%1 is not a U disk: it is the file system of %2 on the device.\nNothing was "
                  "written.")
            .arg(stickFolder(QString()),
                 posixfs::displayPath(problem.path.isEmpty() ? opt : opt + '/' + problem.path));
    }
    case JobProblem::Kind::StickInsideOpt:
        return tr("%1 is not a U disk: it lies inside %2 on the device.\nNothing was written.")
            .arg(stickFolder(QString()), optFolder(QString()));
    case JobProblem::Kind::SetNotAFolder:
        return tr("%1 on the U disk is not a folder (a link?).\nNothing was written.").arg(path);
    case JobProblem::Kind::SetOtherMount:
        return tr("%1 on the U disk is another file system.\nNothing was written.").arg(path);
    case JobProblem::Kind::StickNotWritable:
        return tr("Cannot write to the U disk: %1").arg(error);
    case JobProblem::Kind::NoRoom:
        return tr("Not enough space on U disk: the backup needs %1, %2 free.")
            .arg(size(problem.count), size(problem.available));
    case JobProblem::Kind::StickRemoved:
        return tr("The U disk was removed during the backup.");
    case JobProblem::Kind::SwapFailed:
        return tr("The new backup could not replace the previous one: %1").arg(error);
    case JobProblem::Kind::NoSource:
        return tr("Not copied: %1 (%2)").arg(QFile::decodeName(problem.path), error);
    case JobProblem::Kind::NotCopied:
        return tr("Not copied: %1 (%2)").arg(path, error);
    case JobProblem::Kind::MoreNotCopied:
        return more(problem.count, More::NotCopied);
    case JobProblem::Kind::WritingStopped:
        return tr("Writing stopped at %1: %2").arg(path, error);
    case JobProblem::Kind::CommandFailed:
        return commandLine(problem.command, problem.result);
    case JobProblem::Kind::DumpIncomplete:
        return tr("Dump of %1 is not complete").arg(problem.name);
    case JobProblem::Kind::NotDropped:
        return tr("Database %1 not dropped: %2").arg(problem.name, commandReason(problem.result));
    case JobProblem::Kind::FolderLeft: {
        const QString folder = QFile::decodeName(problem.path);
        return problem.result.succeeded()
                   ? tr("Folder %1 still there").arg(folder)
                   : tr("Folder %1 still there: %2").arg(folder, commandReason(problem.result));
    }
    case JobProblem::Kind::NotSynced:
        return tr("Data not written to disk (sync): %1").arg(commandReason(problem.result));
    case JobProblem::Kind::RestoreUnfinished:
        return tr("The last restore did not finish. Run Restore first: it puts /opt and the "
                  "databases appdb and Misc right.");
    case JobProblem::Kind::JournalUnusable:
        return tr("The record of the restore (%1) cannot be used: %2").arg(path, error);
    case JobProblem::Kind::NoCompleteSet:
        return tr("No complete backup on U disk!");
    case JobProblem::Kind::NotAFolderOnStick:
        return tr("%1 on the U disk is not a folder (a link?).").arg(path);
    case JobProblem::Kind::OtherMountOnStick:
        return tr("%1 on the U disk is another file system.").arg(path);
    case JobProblem::Kind::ManifestUnusable:
        return tr("The list of the backup (%1) cannot be used: %2")
            .arg(problem.name, problem.detail);
    case JobProblem::Kind::MissingOnStick:
        return tr("Missing on the U disk: %1").arg(path);
    case JobProblem::Kind::DamagedOnStick:
        return tr("Damaged on the U disk: %1").arg(path);
    case JobProblem::Kind::UnreadableOnStick:
        return tr("Cannot be read on the U disk: %1 (%2)").arg(path, error);
    case JobProblem::Kind::OtherFileSystem:
        return tr("Another file system on the U disk: %1").arg(path);
    case JobProblem::Kind::LeadsOutside:
        return tr("Leads outside the backup: %1").arg(path);
    case JobProblem::Kind::MoreProblems:
        return more(problem.count, More::Plain);
    case JobProblem::Kind::StickChanged:
        return tr("The U disk was changed after it was checked.");
    case JobProblem::Kind::RemovedDuringRestore:
        return tr("The U disk was removed during the restore.");
    case JobProblem::Kind::FolderNotMade:
        return tr("The folder %1 cannot be made on the device").arg(path);
    case JobProblem::Kind::FolderNotWritten:
        return tr("The folder %1 cannot be written: %2").arg(path, error);
    case JobProblem::Kind::NotRestored:
        return tr("Not restored: %1 (%2)").arg(path, error);
    case JobProblem::Kind::TreeNotReplaced:
        return tr("%1 cannot be replaced: %2 (%3)").arg(problem.name, path, error);
    case JobProblem::Kind::LeftBehind:
        return tr("Left behind: %1 (%2)").arg(path, error);
    case JobProblem::Kind::DumpUnreadable:
        return tr("%1 cannot be read: %2").arg(path, error);
    case JobProblem::Kind::DumpNotAFile:
        return tr("%1 is %2, not a file").arg(path, fileKind(problem.count));
    case JobProblem::Kind::DumpSwapped:
        return tr("%1 changed while it was opened").arg(path);
    case JobProblem::Kind::DumpRefused:
        return tr("%1 refused: %2").arg(problem.name, vetterRefusal(problem.refusal));
    case JobProblem::Kind::DumpChanged:
        return tr("%1 changed on the U disk after it was checked").arg(problem.name);
    case JobProblem::Kind::DumpNotLoaded:
        return joined(tr("%1 does not load").arg(problem.name), commandReason(problem.result));
    case JobProblem::Kind::ServerUnreachable:
        return joined(tr("The database server cannot be reached"), commandReason(problem.result));
    case JobProblem::Kind::AccountNotReady:
        return tr("The database account for the restore cannot be set up: %1").arg(why(problem));
    case JobProblem::Kind::StagingNotMade:
        return joined(tr("The scratch database %1 cannot be made").arg(problem.name),
                      commandReason(problem.result));
    case JobProblem::Kind::NameNotHandled:
        return tr("The database %1 holds a name the restore cannot handle: %2")
            .arg(problem.name, path);
    case JobProblem::Kind::DatabaseNotSaved:
        return joined(tr("The data of %1 cannot be saved on the device first").arg(problem.name),
                      why(problem));
    case JobProblem::Kind::DatabaseNotSwitched:
        return joined(tr("%1 cannot be replaced").arg(problem.name), why(problem));
    case JobProblem::Kind::DatabaseBack:
        return tr("%1 has its previous data back").arg(problem.name);
    case JobProblem::Kind::DatabaseGoneAgain:
        return tr("%1 is gone again, as before").arg(problem.name);
    case JobProblem::Kind::DatabaseNotBack:
        return joined(tr("The previous data of %1 cannot be put back").arg(problem.name),
                      why(problem));
    case JobProblem::Kind::DatabaseLeftBehind:
        return tr("Left behind: %1 (%2)").arg(problem.name, commandReason(problem.result));
    case JobProblem::Kind::RestoredNotSynced:
        return tr("/opt and the databases were restored, but writing them to disk failed (sync): "
                  "%1")
            .arg(commandReason(problem.result));
    }
    return QString();
}

QString MaintenanceText::step(const JobProgress &progress)
{
    switch (progress.step) {
    case JobProgress::Step::CheckingBackup:
        return tr("Checking the backup");
    case JobProgress::Step::RestoringTree:
        return tr("Restoring %1").arg(progress.name);
    case JobProgress::Step::LoadingDatabase:
        return tr("Loading %1").arg(progress.name);
    case JobProgress::Step::CopyingTree:
        return tr("Copying %1").arg(progress.name);
    case JobProgress::Step::WritingDump:
        return tr("Writing the dump of %1").arg(progress.name);
    case JobProgress::Step::Deleting:
        return progress.name.isEmpty() ? tr("Deleting") : tr("Deleting %1").arg(progress.name);
    case JobProgress::Step::Syncing:
        break;
    }
    return tr("Writing to disk");
}

QString MaintenanceText::timeLeft(qint64 seconds)
{
    // Minutes once there are more than a few; seconds in steps of five below that.
    if (seconds >= 90)
        return tr("About %1 min left").arg((seconds + 30) / 60);
    return tr("About %1 s left").arg(std::max<qint64>(5, (seconds + 4) / 5 * 5));
}

QStringList MaintenanceText::lines(const JobProblems &problems)
{
    QStringList shown;
    for (const JobProblem &problem : problems)
        shown << line(problem);
    return shown;
}

QStringList MaintenanceText::skippedLines(const ProblemList &skipped, const QByteArray &base,
                                          More what)
{
    QStringList shown;
    for (const CopyProblem &entry : skipped.first()) {
        const QString type = entry.typeName == "socket"         ? tr("socket")
                             : entry.typeName == "block device" ? tr("block device")
                                                                : tr("character device");
        const QString path = shownPath(base, entry.path);
        shown << (what == More::NotRestored ? tr("Not restored: %1 (%2)").arg(path, type)
                                            : tr("Not copied: %1 (%2)").arg(path, type));
    }
    const qint64 rest = skipped.count() - skipped.first().size();
    if (rest > 0)
        shown << more(rest, what);
    return shown;
}

QStringList MaintenanceText::backup(const DeviceBackup &backup)
{
    const QString kept =
        backup.previousSetRemoved()
            ? tr("The previous backup was deleted to make room: the U disk holds no backup now.")
        : backup.hadPreviousSet() ? tr("The previous backup on the U disk was left as it was.")
                                  : tr("No backup was written to the U disk.");
    const QStringList skipped = skippedLines(backup.notCopied(), backup.source(), More::NotCopied);
    switch (backup.outcome()) {
    case DeviceBackup::Outcome::Refused:
        return lines(backup.problems());
    case DeviceBackup::Outcome::Cancelled:
        return QStringList();
    case DeviceBackup::Outcome::NotStarted:
        return lines(backup.problems()) << kept;
    case DeviceBackup::Outcome::Failed:
        return lines(backup.problems())
               << skipped
               << (backup.previousSetKept() || backup.previousSetRemoved()
                       ? kept
                       : tr("The backup on the U disk may not be complete: run Backup again."));
    case DeviceBackup::Outcome::Done:
        break;
    }
    return QStringList{tr("Backup Ok"),
                       tr("%1 files, %2").arg(backup.files()).arg(size(backup.bytes()))}
           << skipped;
}

QStringList MaintenanceText::restore(const DeviceRestore &restore)
{
    const QStringList shown = lines(restore.problems());
    switch (restore.outcome()) {
    case DeviceRestore::Outcome::Refused: {
        // A set that is not there, or a restore still to be put right, is all there is to say.
        const JobProblem::Kind first = restore.problems().value(0).kind;
        if (restore.problems().size() == 1 && (first == JobProblem::Kind::NoCompleteSet ||
                                               first == JobProblem::Kind::RestoreUnfinished))
            return shown;
        return shown + QStringList{tr("Nothing on the device was changed.")};
    }
    case DeviceRestore::Outcome::Unchanged:
        return shown +
               QStringList{tr("/opt and the databases appdb and Misc were left as they were.")};
    case DeviceRestore::Outcome::Unfinished:
        return shown + QStringList{tr("The restore did not finish: run Restore again to put it "
                                      "right.")};
    case DeviceRestore::Outcome::NotSynced:
        return shown;
    case DeviceRestore::Outcome::Done:
        break;
    }
    return QStringList{
               tr("Restore Ok"),
               tr("%1 files, %2").arg(restore.restoredFiles()).arg(size(restore.restoredBytes()))}
           << skippedLines(restore.notRestored(), QFile::encodeName(restore.systemRoot()),
                           More::NotRestored)
           << lines(restore.notes());
}

QStringList MaintenanceText::unfinishedRestore(const DeviceRestore &restore,
                                               DeviceRestore::Recovery recovery)
{
    switch (recovery) {
    case DeviceRestore::Recovery::Finished:
        return QStringList{tr("The last restore did not finish. It is finished now: /opt and the "
                              "databases appdb and Misc hold the backup it restored.")}
               << lines(restore.notes());
    case DeviceRestore::Recovery::Undone:
        return QStringList{tr("The last restore did not finish. It is undone now: /opt and the "
                              "databases appdb and Misc are as they were before it.")}
               << lines(restore.notes());
    case DeviceRestore::Recovery::Failed:
    case DeviceRestore::Recovery::None:
        break;
    }
    return QStringList{tr("The last restore did not finish, and it cannot be put right now:")}
           << lines(restore.problems()) << tr("Run Restore again.");
}

QString MaintenanceText::vetterRefusal(const DumpVetter::Refusal &refusal)
{
    using Reason = DumpVetter::Refusal::Reason;
    const QString name = QString::fromUtf8(refusal.name);
    const QString shownName = shownDumpBytes(refusal.name);
    QString why;
    switch (refusal.reason) {
    case Reason::None:
        return QString();
    case Reason::Empty:
        why = tr("the dump is empty");
        break;
    case Reason::EndsInText:
        why = tr("the dump ends inside a quoted text");
        break;
    case Reason::EndsInComment:
        why = tr("the dump ends inside a comment");
        break;
    case Reason::Incomplete:
        why = tr("the dump is incomplete: it does not end with \"-- Dump completed\"");
        break;
    case Reason::NoStatements:
        why = tr("the dump holds no statements");
        break;
    case Reason::NoHeader:
        why = tr("not a dump written by mysqldump: its header is missing");
        break;
    case Reason::NulByte:
        why = tr("a NUL byte, which mysqldump never writes");
        break;
    case Reason::LineTooLong:
        why = tr("a line longer than %1 bytes").arg(refusal.number);
        break;
    case Reason::StatementTooLong:
        why = tr("a statement longer than %1 bytes").arg(refusal.number);
        break;
    case Reason::EndsInStatement:
        why = tr("the dump ends inside a statement");
        break;
    case Reason::BackslashAtLineEnd:
        why = tr("a backslash at the end of a line in a text");
        break;
    case Reason::BackslashCommand:
        why = tr("the mysql client command \\%1").arg(QString::fromLatin1(refusal.name));
        break;
    case Reason::ClientCommand:
        why = tr("the mysql client command %1").arg(name);
        break;
    case Reason::Delimiter:
        why = tr("a delimiter that mysqldump never writes: %1").arg(shownName);
        break;
    case Reason::DashesWithoutBlank:
        why = tr("a -- without a blank after it");
        break;
    case Reason::ControlByte:
        why =
            tr("the control byte 0x%1 outside a text").arg(refusal.number, 2, 16, QLatin1Char('0'));
        break;
    case Reason::ExecutableCommentInside:
        why = tr("an executable comment inside another");
        break;
    case Reason::CommentInsideExecutable:
        why = tr("a comment inside an executable comment");
        break;
    case Reason::CommentNotEnded:
        why = tr("a comment that does not end");
        break;
    case Reason::TextNotEnded:
        why = tr("a quoted text that does not end");
        break;
    case Reason::ExecutableCommentNotEnded:
        why = tr("an executable comment that does not end");
        break;
    case Reason::TooManyWords:
        why = tr("a statement of more than %1 words").arg(refusal.number);
        break;
    case Reason::OtherDatabase:
        why = tr("a name in the database %1, which is not this dump's").arg(name);
        break;
    case Reason::GlobalSetting:
        why = tr("a global server setting");
        break;
    case Reason::SavedSettingUsed:
        why = tr("the saved setting @%1 outside its SET").arg(name);
        break;
    case Reason::ForbiddenWord:
        why = tr("%1, which a dump never holds").arg(name);
        break;
    case Reason::ForbiddenObject:
        why = tr("%1 %2, which a dump of one database never holds")
                  .arg(name, QString::fromUtf8(refusal.value));
        break;
    case Reason::ForbiddenSet:
        why = tr("SET %1, which a dump never holds").arg(name);
        break;
    case Reason::Replication:
        why = tr("replication commands");
        break;
    case Reason::FileDirectory:
        why = tr("%1 DIRECTORY, which puts files outside the server").arg(name);
        break;
    case Reason::StorageEngine:
        why = tr("the storage engine %1").arg(name);
        break;
    case Reason::NotMysqldump:
        why = tr("a statement that mysqldump does not write: %1").arg(shownName);
        break;
    case Reason::CreateNotMysqldump:
        why = tr("CREATE %1, which mysqldump does not write").arg(shownName);
        break;
    case Reason::AlterOtherDatabase:
        why = tr("ALTER DATABASE %1, which is not this dump's").arg(name);
        break;
    case Reason::AlterDatabaseForm:
        why = tr("an ALTER DATABASE that mysqldump does not write");
        break;
    case Reason::SetOfUnknown:
        why = tr("SET of %1, which mysqldump does not write").arg(shownName);
        break;
    case Reason::SetOfUserVariable:
        why = tr("SET of @%1, which mysqldump does not write").arg(shownName);
        break;
    case Reason::SetWithoutValue:
        why = tr("SET without a value");
        break;
    case Reason::SetExpression:
        why = tr("SET with an expression");
        break;
    case Reason::SetByNumber:
        why = tr("%1 set by a number").arg(name);
        break;
    case Reason::SetValue:
        why = tr("%1 set to %2, which mysqldump does not write")
                  .arg(name, shownDumpBytes(refusal.value));
        break;
    case Reason::SetValueBackslash:
        why = tr("a SET value with a backslash");
        break;
    case Reason::SqlMode:
        why = tr("the SQL mode %1").arg(shownName);
        break;
    case Reason::CharacterSet:
        why = tr("the character set %1").arg(shownName);
        break;
    }
    if (refusal.line <= 0)
        return why;
    return tr("line %1: %2").arg(refusal.line).arg(why);
}

QStringList MaintenanceText::clearData(const DeviceClear &clear)
{
    QStringList deleted;
    QStringList left;
    for (const DeviceClear::Target &target : clear.targets())
        (target.deleted ? deleted : left) << target.name;
    QStringList shown = lines(clear.problems());
    shown << (deleted.isEmpty() ? tr("Nothing was deleted.")
                                : tr("Deleted: %1.").arg(deleted.join(tr(", "))));
    if (!left.isEmpty())
        shown << tr("Not deleted: %1.").arg(left.join(tr(", ")));
    return shown;
}

QString MaintenanceText::lockRefused(const MaintenanceLock &lock)
{
    if (lock.state() == MaintenanceLock::State::Failed)
        return tr("The lock %1 cannot be made: %2\nNothing was changed.")
            .arg(MaintenanceLock::lockPath(QString()), posixfs::errorText(lock.error()));
    if (!lock.holderKnown())
        return tr("Another Backup, Restore or Clear Data is running on this device. Try again "
                  "when it has finished.");
    QString action;
    switch (lock.holderAction()) {
    case MaintenanceLock::Action::Backup:
        action = tr("Backup");
        break;
    case MaintenanceLock::Action::Restore:
        action = tr("Restore");
        break;
    case MaintenanceLock::Action::ClearData:
        action = tr("Clear Data");
        break;
    }
    return tr("%1 is running on this device (process %2). Try again when it has finished.")
        .arg(action)
        .arg(lock.holderPid());
}
