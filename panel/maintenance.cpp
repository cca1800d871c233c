// Data maintenance: the USB stick, backup, restore, clear data and power off.
#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "maintenance/system/commandrunner.h"
#include "dialogs/messagedialog.h"
#include "dialogs/myprogressdialog.h"
#include "maintenance/set/backupset.h"
#include "maintenance/restore/devicerestore.h"
#include "maintenance/system/mountpoints.h"
#include "maintenance/system/pathcheck.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/backup/treecopier.h"
#include "maintenance/fs/uniquefd.h"
#include "panel/busyguard.h"
#include "maintenance/system/devicecommands.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString shownSize(qint64 bytes)
{
    // Qt names small sizes in English words; KB, MB and GB read the same in every language.
    if (bytes < 1024)
        return QCoreApplication::translate("sendordertoprinter_test", "%1 bytes").arg(bytes);
    return QLocale::c().formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat);
}

QString shownPath(const QString &base, const QByteArray &relative)
{
    const QByteArray path =
        relative.isEmpty() ? QFile::encodeName(base) : QFile::encodeName(base) + '/' + relative;
    return posixfs::displayPath(path);
}

} // namespace

CommandRunner &sendordertoprinter_test::commandRunner()
{
    if (!m_runner) {
        if (!m_systemRunner)
            m_systemRunner = std::make_unique<SystemCommandRunner>();
        m_runner = m_systemRunner.get();
    }
    return *m_runner;
}

CommandResult sendordertoprinter_test::runCommand(const QByteArray &commandLine)
{
    return commandRunner().run(commandLine);
}

QString sendordertoprinter_test::failureReason(const CommandResult &result)
{
    const QString last = result.lastErrorLine();
    return last.isEmpty() ? result.reason() : result.reason() + QStringLiteral(": ") + last;
}

QString sendordertoprinter_test::failureLine(const QByteArray &commandLine,
                                             const CommandResult &result)
{
    const QString line = QString::fromLatin1(commandLine);
    // A plain exit status adds nothing to the command; a stop at the time limit does.
    if (result.outcome == CommandResult::Outcome::Exited)
        return line;
    return tr("%1: %2").arg(line, result.reason());
}

bool sendordertoprinter_test::runStep(const QByteArray &commandLine)
{
    const CommandResult result = runCommand(commandLine);
    if (result.succeeded())
        return true;
    m_failures << failureLine(commandLine, result);
    return false;
}

void sendordertoprinter_test::reportFailures()
{
    if (m_failures.isEmpty())
        return;
    QMessageBox::warning(nullptr, tr("Fail"), m_failures.join(QLatin1Char('\n')));
    m_failures.clear();
}

bool sendordertoprinter_test::getUDisk()
{
    bool nodeFound = false;
    for (char letter = 'a'; letter <= 'z' && !nodeFound; ++letter)
        nodeFound = QFile::exists(diskNode(m_systemRoot, letter));
    // A stick that is plugged in but not mounted would let the backup land on the device.
    if (nodeFound && isMountPoint(stickFolder(m_systemRoot)))
        return true;
    QMessageBox::warning(nullptr, tr("Fail"), tr("Please insert U disk!"));
    return false;
}

int sendordertoprinter_test::mkPath(const QString &path)
{
    if (!checkMaintenancePath(path, m_systemRoot).ok)
        return PathRefused;
    if (QDir(path).exists())
        return PathDone;
    return QDir().mkpath(path) ? PathDone : PathFailed;
}

int sendordertoprinter_test::clrPath(const QString &path)
{
    if (!checkMaintenancePath(path, m_systemRoot).ok)
        return PathRefused;
    const QFileInfo folder(path);
    if (!folder.exists() && !folder.isSymLink())
        return PathDone;
    if (!folder.isDir())
        return PathRefused;
    return runCommand(clearPathCommand(path)).succeeded() ? PathDone : PathFailed;
}

void sendordertoprinter_test::showProgress(MyProgressDialog &dialog, QWidget *parent)
{
    // No window type among the flags: the dialog is drawn inside the panel.
    dialog.setWindowFlags(Qt::WindowStaysOnTopHint);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setValue(1);
    dialog.show();
    dialog.setAutoFillBackground(true);
    if (parent)
        parent->repaint();
}

bool sendordertoprinter_test::copyTree(
    QWidget *parent, const QString &caption, const QString &source,
    const std::function<TreeCopier *(const TreeCount &)> &prepare, TreeCopyResult *result)
{
    MyProgressDialog dialog(caption, parent);
    showProgress(dialog, parent);

    if (!QFileInfo(source).isDir())
        return false;
    // Counted first, copied after: the bar knows its end, and no list of the tree is kept.
    const TreeCount count = TreeCopier::count(QFile::encodeName(source));
    const int maximum = int(qMin<qint64>(count.entries, INT_MAX));
    dialog.setMaxNum(maximum);
    if (parent)
        parent->repaint();
    TreeCopier *copier = prepare(count);
    if (!copier)
        return false;
    copier->setProgress(
        [&dialog](qint64 done) { dialog.setValue(int(qMin<qint64>(done, INT_MAX))); });
    *result = copier->copy();
    runCommand(syncCommand());
    dialog.setValue(maximum);
    return true;
}

QStringList sendordertoprinter_test::notCopiedLines(const TreeCopyResult &result,
                                                    const QString &source) const
{
    QStringList lines;
    for (const CopyProblem &skipped : result.notCopied.first()) {
        const QString type = skipped.typeName == "socket"         ? tr("socket")
                             : skipped.typeName == "block device" ? tr("block device")
                                                                  : tr("character device");
        lines << tr("Not copied: %1 (%2)").arg(shownPath(source, skipped.path), type);
    }
    const qint64 more = result.notCopied.count() - result.notCopied.first().size();
    if (more > 0)
        lines << tr("... and %1 more not copied").arg(more);
    return lines;
}

void sendordertoprinter_test::noteCopyProblems(const TreeCopyResult &result, const QString &source)
{
    for (const CopyProblem &problem : result.failures.first()) {
        m_failures << tr("Not copied: %1 (%2)")
                          .arg(shownPath(source, problem.path), posixfs::errorText(problem.error));
    }
    const qint64 more = result.failures.count() - result.failures.first().size();
    if (more > 0)
        m_failures << tr("... and %1 more not copied").arg(more);
    if (result.fatalError != 0)
        m_failures << tr("Writing stopped at %1: %2")
                          .arg(shownPath(source, result.fatalPath),
                               posixfs::errorText(result.fatalError));
}

bool sendordertoprinter_test::copyDir(QWidget *parent, QString destination, QString source,
                                      QString caption)
{
    UniqueFd target(
        ::open(QFile::encodeName(destination).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    const int targetError = target.isValid() ? 0 : errno;
    std::unique_ptr<TreeCopier> copier;
    TreeCopyResult result;
    const bool copied = copyTree(
        parent, caption, source,
        [&](const TreeCount &) -> TreeCopier * {
            if (!target.isValid())
                return nullptr;
            copier = std::make_unique<TreeCopier>(QFile::encodeName(source), target.get(),
                                                  TreeCopier::Options());
            return copier.get();
        },
        &result);
    if (!QFileInfo(source).isDir())
        return false;
    if (!copied) {
        m_failures << tr("Not copied: %1 (%2)").arg(destination, posixfs::errorText(targetError));
        return true;
    }
    noteCopyProblems(result, source);
    m_failures << notCopiedLines(result, source);
    return true;
}

QString sendordertoprinter_test::refusalText(const BackupSet &set) const
{
    const QString name = posixfs::displayPath(set.refusedName());
    switch (set.refusal()) {
    case BackupSet::Refusal::NotAFolder:
        return tr("%1 on the U disk is not a folder (a link?).\nNothing was written.").arg(name);
    case BackupSet::Refusal::OtherMount:
        return tr("%1 on the U disk is another file system.\nNothing was written.").arg(name);
    case BackupSet::Refusal::NoStick:
    case BackupSet::Refusal::NotMounted:
        return tr("Please insert U disk!");
    case BackupSet::Refusal::CannotWrite:
    case BackupSet::Refusal::Io:
    case BackupSet::Refusal::None:
        break;
    }
    return tr("Cannot write to the U disk: %1").arg(posixfs::errorText(set.error()));
}

void sendordertoprinter_test::on_btn_back_clicked()
{
    if (!getUDisk())
        return;
    const QString root = m_systemRoot;
    BusyGuard busy;
    const QString source = optFolder(root);
    m_failures.clear();

    BackupSet set(stickFolder(root));
    if (!set.check() || !set.recover()) {
        busy.finish();
        QMessageBox::warning(nullptr, tr("Fail"), refusalText(set));
        return;
    }
    const bool previous = set.hasPreviousSet();
    const QString kept = previous ? tr("The previous backup on the U disk was left as it was.")
                                  : tr("No backup was written to the U disk.");

    std::unique_ptr<TreeCopier> copier;
    TreeCopyResult result;
    QString refused;
    const bool copied = copyTree(
        this, tr("Backup..."), source,
        [&](const TreeCount &count) -> TreeCopier * {
            // The old set stays until the new one is whole: both must fit.
            const BackupSet::Room room = set.room(count.needed, count.entries);
            if (!room.fits()) {
                refused = tr("Not enough space on U disk: the backup needs %1, %2 free.")
                              .arg(shownSize(room.needed), shownSize(room.available));
                return nullptr;
            }
            if (!set.begin(QFile::encodeName(source))) {
                refused = refusalText(set);
                return nullptr;
            }
            TreeCopier::Options options;
            options.mode = TreeCopier::Mode::Fresh;
            options.caps = set.capabilities();
            options.manifest = set.manifest();
            options.manifestPrefix = BackupSet::treeName();
            copier = std::make_unique<TreeCopier>(QFile::encodeName(source), set.treeFd(), options);
            return copier.get();
        },
        &result);
    if (!copied) {
        set.abandon();
        if (refused.isEmpty())
            refused = tr("Not copied: %1 (%2)").arg(source, posixfs::errorText(ENOENT));
        busy.finish();
        QMessageBox::warning(nullptr, tr("Fail"), refused + QLatin1Char('\n') + kept);
        return;
    }

    noteCopyProblems(result, source);
    bool whole = result.ok();
    const QStringList databases = maintainedDatabases();
    if (whole) {
        for (const QString &database : databases) {
            const QByteArray fileName = QFile::encodeName(database + QLatin1String(".sql"));
            // The dump command writes by path: only onto the stick checked at the start.
            if (!set.stillMounted()) {
                m_failures << tr("The U disk was removed during the backup.");
                whole = false;
                break;
            }
            if (!set.prepareDump(fileName)) {
                m_failures << refusalText(set);
                whole = false;
                break;
            }
            // A dump that fails or is cut short never enters the set.
            if (!runStep(dumpCommand(root, database))) {
                whole = false;
            } else if (!set.addDump(fileName)) {
                m_failures << tr("Dump of %1 is not complete").arg(database);
                whole = false;
            }
        }
    }
    const qint64 entries = result.entries + 1 + databases.size();
    const qint64 files = result.files + databases.size();
    const qint64 bytes = result.bytes + set.dumpBytes();
    if (whole && !set.finish(entries, files, bytes)) {
        m_failures << refusalText(set);
        whole = false;
    }
    if (whole && !set.commit()) {
        m_failures << (set.error() == ENODEV
                           ? tr("The U disk was removed during the backup.")
                           : tr("The new backup could not replace the previous one: %1")
                                 .arg(posixfs::errorText(set.error())));
        whole = false;
    }
    if (!whole)
        set.abandon();
    runStep(syncCommand());
    busy.finish();
    if (!whole) {
        m_failures << notCopiedLines(result, source)
                   << (set.previousSetKept()
                           ? kept
                           : tr("The backup on the U disk may not be complete: run Backup again."));
        reportFailures();
        return;
    }
    QStringList lines{tr("Backup Ok"), tr("%1 files, %2").arg(result.files).arg(shownSize(bytes))};
    lines << notCopiedLines(result, source);
    QMessageBox::warning(nullptr, tr(" "), lines.join(QLatin1Char('\n')));
}

void sendordertoprinter_test::on_btn_reduction_clicked()
{
    if (!getUDisk())
        return;
    DeviceRestore restore(commandRunner(), m_systemRoot);
    DeviceRestore::Verdict verdict;
    {
        // The whole set is read: taps made meanwhile must not answer the question.
        BusyGuard checking;
        MyProgressDialog dialog(tr("Checking..."), this);
        showProgress(dialog, this);
        const int maximum = int(qMin<qint64>(restore.checkEntries(), INT_MAX));
        dialog.setMaxNum(maximum);
        repaint();
        restore.checkProgress = [&dialog](qint64 done) {
            dialog.setValue(int(qMin<qint64>(done, INT_MAX)));
        };
        verdict = restore.check();
        dialog.setValue(maximum);
        dialog.hide();
        checking.finish();
    }
    if (verdict == DeviceRestore::Verdict::Refused) {
        QMessageBox::warning(nullptr, tr("Fail"), restore.problems().join(QLatin1Char('\n')));
        return;
    }
    if (!confirmRestore(restore, verdict == DeviceRestore::Verdict::Good))
        return;

    BusyGuard busy;
    bool restored = false;
    {
        MyProgressDialog dialog(tr("Restore..."), this);
        showProgress(dialog, this);
        const int maximum = int(qMin<qint64>(restore.treeEntries(), INT_MAX));
        dialog.setMaxNum(maximum);
        repaint();
        restore.progress = [&dialog](qint64 done) {
            dialog.setValue(int(qMin<qint64>(done, INT_MAX)));
        };
        restored = restore.restore();
        dialog.setValue(maximum);
    }
    busy.finish();
    if (!restored) {
        QMessageBox::warning(nullptr, tr("Fail"), restore.problems().join(QLatin1Char('\n')));
        return;
    }
    QStringList lines{
        tr("Restore Ok"),
        tr("%1 files, %2").arg(restore.restoredFiles()).arg(shownSize(restore.restoredBytes()))};
    for (const CopyProblem &skipped : restore.notRestored().first()) {
        const QString type = skipped.typeName == "socket"         ? tr("socket")
                             : skipped.typeName == "block device" ? tr("block device")
                                                                  : tr("character device");
        lines << tr("Not restored: %1 (%2)").arg(shownPath(m_systemRoot, skipped.path), type);
    }
    const qint64 more = restore.notRestored().count() - restore.notRestored().first().size();
    if (more > 0)
        lines << tr("... and %1 more not restored").arg(more);
    lines << restore.notes();
    QMessageBox::warning(nullptr, tr(" "), lines.join(QLatin1Char('\n')));
}

bool sendordertoprinter_test::confirmRestore(const DeviceRestore &restore, bool verified)
{
    const QDateTime created =
        QDateTime::fromString(QString::fromLatin1(restore.created()), Qt::ISODate);
    const QString when = created.isValid()
                             ? created.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"))
                             : tr("an unknown date");
    const QString what =
        tr("%1 files, %2").arg(restore.treeFiles()).arg(shownSize(restore.bytes()));
    // The device's own path: a test or demo root only stands in for "/".
    const QString text =
        verified ? tr("Replace %1 and the databases appdb and Misc with the backup of %2 (%3)? "
                      "What they hold now will be lost.")
                       .arg(optFolder(QString()), when, what)
                 : tr("Replace %1 and the databases appdb and Misc with an older panel's "
                      "backup (%2)? It cannot be verified.")
                       .arg(optFolder(QString()), what);
    const int answer =
        messagedialog::message(nullptr, tr("Restore"), text, tr("Cancel"), tr("Confirm"), true);
    return answer == QDialog::Accepted;
}

bool sendordertoprinter_test::confirmClearData()
{
    // No parent: a window of its own, modal to the whole panel while it asks.
    // The device's own path: a test or demo root only stands in for "/".
    const int answer = messagedialog::message(
        nullptr, tr("Clear Data"),
        tr("Delete the databases appdb and Misc and the folder %1? This cannot be undone.")
            .arg(appFolder(QString())),
        tr("Cancel"), tr("Confirm"), true);
    return answer == QDialog::Accepted;
}

void sendordertoprinter_test::on_btn_clear_clicked()
{
    if (!confirmClearData())
        return;
    const QString root = m_systemRoot;
    BusyGuard busy;
    QStringList left;
    for (const QString &database : maintainedDatabases()) {
        const CommandResult dropped = runCommand(dropDatabaseCommand(database));
        if (!dropped.succeeded())
            left << tr("Database %1 not dropped: %2").arg(database, failureReason(dropped));
    }
    const CommandResult removed = runCommand(removeAppFolderCommand(root));
    const CommandResult keptRemoved = runCommand(removeKeptDataCommand(root));
    if (!keptRemoved.succeeded())
        left << tr("Folder %1 still there: %2")
                    .arg(keptDataFolder(QString()), failureReason(keptRemoved));
    const CommandResult synced = runCommand(clearSyncCommand());
    // rm cannot remove a mount point: when only those stay behind, the data is gone.
    if (!onlyMountPointsLeft(appFolder(root))) {
        left
            << (removed.succeeded()
                    ? tr("Folder %1 still there").arg(appFolder(root))
                    : tr("Folder %1 still there: %2").arg(appFolder(root), failureReason(removed)));
    }
    if (!synced.succeeded())
        left << tr("Data not written to disk (sync): %1").arg(failureReason(synced));
    busy.finish();

    if (left.isEmpty())
        QMessageBox::warning(nullptr, tr(" "), tr("Clear Data Ok "));
    else
        QMessageBox::warning(nullptr, tr("Fail"), left.join(QLatin1Char('\n')));
}

void sendordertoprinter_test::on_btn_exit_clicked()
{
    setDisabled(true);
    BusyGuard busy;
    const CommandResult result = runCommand(powerOffCommand());
    busy.finish();
    if (!result.succeeded()) {
        // The device stays on: the technician must be able to try again or do something else.
        setDisabled(false);
        QMessageBox::warning(nullptr, tr("Fail"),
                             tr("Power off failed: %1").arg(failureReason(result)));
        return;
    }
    QMessageBox::warning(nullptr, tr(" "), tr("Power Off... "));
}
