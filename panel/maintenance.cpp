// Data maintenance: the USB stick, backup, restore, clear data and power off.
#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "app/shellcommand.h"
#include "dialogs/messagedialog.h"
#include "dialogs/myprogressdialog.h"
#include "maintenance/mountpoints.h"
#include "maintenance/pathcheck.h"
#include "panel/busyguard.h"
#include "panel/maintenancecommands.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include <cerrno>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A box of ten thousand lines helps nobody: the rest of the entries are counted.
const int shownCopyFailures = 10;

QByteArray linkText(const QString &path)
{
    QByteArray buffer(PATH_MAX, '\0');
    const ssize_t length =
        ::readlink(QFile::encodeName(path).constData(), buffer.data(), buffer.size());
    if (length < 0)
        return QByteArray();
    buffer.truncate(int(length));
    return buffer;
}

bool pathTaken(const QString &path, struct stat *info)
{
    return ::lstat(QFile::encodeName(path).constData(), info) == 0;
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

bool sendordertoprinter_test::runStep(const QByteArray &commandLine, const QString &wantedFolder)
{
    const CommandResult result = runCommand(commandLine);
    if (result.succeeded())
        return true;
    if (!wantedFolder.isEmpty() && QFileInfo(wantedFolder).isDir())
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

// Copies one entry of the walk; false when the target did not end up as the source is.
bool sendordertoprinter_test::copyEntry(const QString &sourcePath, const QString &target)
{
    const QFileInfo entry(sourcePath);
    const QByteArray targetName = QFile::encodeName(target);
    struct stat existing;
    const bool taken = pathTaken(target, &existing);

    if (entry.isSymLink()) {
        // A link stays a link, dangling or not: a restore must give back the same tree.
        const QByteArray text = linkText(sourcePath);
        if (text.isEmpty())
            return false;
        if (taken) {
            const int removed = S_ISDIR(existing.st_mode) ? ::rmdir(targetName.constData())
                                                          : ::unlink(targetName.constData());
            if (removed != 0)
                return false;
        }
        if (::symlink(text.constData(), targetName.constData()) == 0)
            return true;
        if (errno != EPERM && errno != EOPNOTSUPP)
            return false;
        // The stick's file system has no links (FAT): copy what the link points at.
        if (entry.isDir())
            return QDir().mkdir(target) || QFileInfo(target).isDir();
        if (entry.isFile())
            return QFile::copy(sourcePath, target);
        return true;
    }

    if (entry.isDir()) {
        // A link in the way would lead the copy out of the destination tree.
        if (taken && S_ISLNK(existing.st_mode) && ::unlink(targetName.constData()) != 0)
            return false;
        if (QDir().mkdir(target))
            return true;
        return pathTaken(target, &existing) && S_ISDIR(existing.st_mode);
    }

    if (entry.isFile()) {
        if (taken && (S_ISDIR(existing.st_mode) || !QFile::remove(target)))
            return false;
        return QFile::copy(sourcePath, target);
    }

    // Devices, pipes and sockets have no place in a backup.
    return true;
}

bool sendordertoprinter_test::copyDir(QWidget *parent, QString destination, QString source,
                                      QString caption)
{
    MyProgressDialog dialog(caption, parent);
    // No window type among the flags: the dialog is drawn inside the panel.
    dialog.setWindowFlags(Qt::WindowStaysOnTopHint);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setValue(1);
    dialog.show();
    dialog.setAutoFillBackground(true);
    if (parent)
        parent->repaint();

    QDir sourceDir(source);
    const QDir destinationDir(destination);
    if (!sourceDir.exists())
        return false;

    // Hidden entries and dangling links (QDir::System) belong to the tree as well.
    sourceDir.setFilter(QDir::AllEntries | QDir::Hidden | QDir::System);
    QStringList paths;
    QDirIterator walk(sourceDir, QDirIterator::Subdirectories);
    while (walk.hasNext())
        paths << walk.next();
    const int count = paths.size();
    dialog.setMaxNum(count);
    if (parent)
        parent->repaint();

    int failed = 0;
    for (int i = 0; i < count; ++i) {
        dialog.setValue(i);
        const QString target =
            destinationDir.path() + QLatin1Char('/') + sourceDir.relativeFilePath(paths.at(i));
        if (copyEntry(paths.at(i), target))
            continue;
        if (++failed <= shownCopyFailures)
            m_failures << tr("Not copied: %1").arg(target);
    }
    if (failed > shownCopyFailures)
        m_failures << tr("... and %1 more not copied").arg(failed - shownCopyFailures);

    runCommand(syncCommand());
    dialog.setValue(count);
    return true;
}

bool sendordertoprinter_test::backupSetComplete() const
{
    if (!QFileInfo(backupOptFolder(m_systemRoot)).isDir())
        return false;
    for (const QString &database : maintainedDatabases()) {
        if (!dumpIsComplete(dumpFile(m_systemRoot, database)))
            return false;
    }
    return true;
}

void sendordertoprinter_test::on_btn_back_clicked()
{
    if (!getUDisk())
        return;
    const QString root = m_systemRoot;
    BusyGuard busy;
    m_failures.clear();
    runStep(makeBackupFolderCommand(root), backupFolder(root));
    runStep(makeBackupOptFolderCommand(root), backupOptFolder(root));
    if (!copyDir(this, backupOptFolder(root), optFolder(root), tr("Backup...")))
        m_failures << tr("Not copied: %1").arg(optFolder(root));
    for (const QString &database : maintainedDatabases()) {
        if (!runStep(dumpCommand(root, database)))
            QFile::remove(dumpTempFile(root, database));
    }
    runStep(syncCommand());
    busy.finish();
    reportFailures();
}

void sendordertoprinter_test::on_btn_reduction_clicked()
{
    if (!getUDisk())
        return;
    // /opt and the databases go first: never for a set that cannot replace them.
    if (!backupSetComplete()) {
        QMessageBox::warning(nullptr, tr("Fail"), tr("No complete backup on U disk!"));
        return;
    }
    const QString root = m_systemRoot;
    const QStringList databases = maintainedDatabases();
    BusyGuard busy;
    m_failures.clear();
    runStep(removeOptCommand(root));
    runStep(makeOptCommand(root), optFolder(root));
    copyDir(this, optFolder(root), backupOptFolder(root), tr("Restore..."));
    for (const QString &database : databases)
        runStep(dropDatabaseCommand(database));
    for (const QString &database : databases)
        runStep(createDatabaseCommand(database));
    for (const QString &database : databases)
        runStep(loadDumpCommand(root, database));
    runStep(syncCommand());
    busy.finish();
    reportFailures();
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
