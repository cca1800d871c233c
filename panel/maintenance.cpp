// Data maintenance: the USB stick, backup, restore, clear data and power off.
#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "dialogs/messagedialog.h"
#include "dialogs/myprogressdialog.h"
#include "maintenance/backup/countedcopy.h"
#include "maintenance/backup/devicebackup.h"
#include "maintenance/backup/treecopier.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/restore/devicerestore.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/deviceclear.h"
#include "maintenance/system/devicecommands.h"
#include "maintenance/system/pathcheck.h"
#include "panel/busyguard.h"
#include "panel/maintenancetext.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>

#include <climits>
#include <fcntl.h>
#include <memory>

namespace {

// The progress bar counts in int.
int progressValue(qint64 count)
{
    return int(qMin<qint64>(count, INT_MAX));
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

bool sendordertoprinter_test::copyDir(QWidget *parent, QString destination, QString source,
                                      QString caption)
{
    MyProgressDialog dialog(caption, parent);
    showProgress(dialog, parent);
    UniqueFd target(
        ::open(QFile::encodeName(destination).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    std::unique_ptr<TreeCopier> copier;
    TreeCopyResult result;
    int maximum = 0;
    const bool copied = copyCounted(
        QFile::encodeName(source), commandRunner(),
        [&](const TreeCount &) -> TreeCopier * {
            if (!target.isValid())
                return nullptr;
            TreeCopier::Options options;
            options.mode = TreeCopier::Mode::Merge;
            copier = std::make_unique<TreeCopier>(QFile::encodeName(source), target.get(), options);
            return copier.get();
        },
        [&](qint64 entries) {
            maximum = progressValue(entries);
            dialog.setMaxNum(maximum);
            if (parent)
                parent->repaint();
        },
        [&dialog](qint64 done) { dialog.setValue(progressValue(done)); }, &result);
    if (copied)
        dialog.setValue(maximum);
    // Like the copy of the older panels, it tells nobody what did not land.
    return QFileInfo(source).isDir();
}

void sendordertoprinter_test::on_btn_back_clicked()
{
    if (!getUDisk())
        return;
    BusyGuard busy;
    DeviceBackup backup(commandRunner(), m_systemRoot);
    if (!backup.checkStick()) {
        busy.finish();
        QMessageBox::warning(nullptr, tr("Fail"),
                             MaintenanceText::backup(backup).join(QLatin1Char('\n')));
        return;
    }
    {
        auto dialog = std::make_unique<MyProgressDialog>(tr("Backup..."), this);
        showProgress(*dialog, this);
        int maximum = 0;
        backup.counted = [&](qint64 entries) {
            maximum = progressValue(entries);
            dialog->setMaxNum(maximum);
            repaint();
        };
        backup.progress = [&dialog](qint64 done) { dialog->setValue(progressValue(done)); };
        // The dumps follow without the dialog.
        backup.treeCopied = [&] {
            dialog->setValue(maximum);
            dialog.reset();
        };
        backup.run();
    }
    busy.finish();
    const QString box = MaintenanceText::backup(backup).join(QLatin1Char('\n'));
    if (backup.outcome() == DeviceBackup::Outcome::Done)
        QMessageBox::warning(nullptr, tr(" "), box);
    else
        QMessageBox::warning(nullptr, tr("Fail"), box);
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
        const int maximum = progressValue(restore.checkEntries());
        dialog.setMaxNum(maximum);
        repaint();
        restore.checkProgress = [&dialog](qint64 done) { dialog.setValue(progressValue(done)); };
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
        const int maximum = progressValue(restore.treeEntries());
        dialog.setMaxNum(maximum);
        repaint();
        restore.progress = [&dialog](qint64 done) { dialog.setValue(progressValue(done)); };
        restored = restore.restore();
        dialog.setValue(maximum);
    }
    busy.finish();
    if (!restored) {
        QMessageBox::warning(nullptr, tr("Fail"), restore.problems().join(QLatin1Char('\n')));
        return;
    }
    QStringList lines{tr("Restore Ok"), tr("%1 files, %2")
                                            .arg(restore.restoredFiles())
                                            .arg(MaintenanceText::size(restore.restoredBytes()))};
    lines << MaintenanceText::skippedLines(restore.notRestored(), QFile::encodeName(m_systemRoot),
                                           MaintenanceText::More::NotRestored);
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
        tr("%1 files, %2").arg(restore.treeFiles()).arg(MaintenanceText::size(restore.bytes()));
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
    BusyGuard busy;
    DeviceClear clear(commandRunner(), m_systemRoot);
    const bool cleared = clear.run();
    busy.finish();

    if (cleared)
        QMessageBox::warning(nullptr, tr(" "), tr("Clear Data Ok "));
    else
        QMessageBox::warning(nullptr, tr("Fail"),
                             MaintenanceText::lines(clear.problems()).join(QLatin1Char('\n')));
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
        QMessageBox::warning(
            nullptr, tr("Fail"),
            tr("Power off failed: %1").arg(MaintenanceText::commandReason(result)));
        return;
    }
    QMessageBox::warning(nullptr, tr(" "), tr("Power Off... "));
}
