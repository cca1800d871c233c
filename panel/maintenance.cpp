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
#include "maintenance/system/deviceidentity.h"
#include "maintenance/system/pathcheck.h"
#include "maintenance/fs/posixfs.h"
#include "panel/actionjournal.h"
#include "panel/busyguard.h"
#include "panel/jobprogressdisplay.h"
#include "panel/maintenancetext.h"
#include "panel/panelboxes.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>

#include <climits>
#include <fcntl.h>
#include <memory>

namespace {

// The progress bar counts in int.
int progressValue(qint64 count)
{
    return int(qMin<qint64>(count, INT_MAX));
}

// What a restore's journal says now, for the action's record.
QString journalLine(const RestoreJournal::State &state)
{
    const char *step = state.step == RestoreJournal::Step::Staging             ? "staging"
                       : state.step == RestoreJournal::Step::Cleanup           ? "cleanup"
                       : state.direction == RestoreJournal::Direction::Forward ? "commit"
                                                                               : "going back";
    return QStringLiteral("restore journal: %1; switched: %2; /opt swap %3")
        .arg(QLatin1String(step), state.switched.join(QLatin1Char(' ')),
             QLatin1String(state.treeSwapBegan ? "began" : "not begun"));
}

// A set's date (UTC in the manifest) as the device's clock shows it.
QString shownDate(const QByteArray &created)
{
    const QDateTime when = QDateTime::fromString(QString::fromLatin1(created), Qt::ISODate);
    return when.isValid()
               ? when.toLocalTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"))
               : QCoreApplication::translate("sendordertoprinter_test", "an unknown date");
}

// A host name may hold any bytes: one line, as names on the stick are shown.
QString shownDevice(const DeviceIdentity &device)
{
    return device.hasName() ? posixfs::displayPath(device.name())
                            : QCoreApplication::translate("sendordertoprinter_test", "unknown");
}

QString shownSetSize(qint64 files, qint64 bytes)
{
    return QCoreApplication::translate("sendordertoprinter_test", "%1 files, %2")
        .arg(files)
        .arg(MaintenanceText::size(bytes));
}

} // namespace

CommandRunner &sendordertoprinter_test::commandRunner()
{
    if (!m_runner) {
        if (!m_systemRunner)
            m_systemRunner = std::make_unique<SystemCommandRunner>();
        m_runner = m_systemRunner.get();
    }
    // Every command a maintenance action runs is a step of its record.
    if (!m_journal || &m_journal->inner() != m_runner)
        m_journal = std::make_unique<JournalingRunner>(*m_runner);
    return *m_journal;
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
    PanelBox::failure(nodeFound ? tr("The U disk is not mounted at %1.").arg(stickFolder(QString()))
                                : tr("Please insert U disk!"));
    return false;
}

bool sendordertoprinter_test::pathAllowed(const QString &path) const
{
    const PathCheck check = checkMaintenancePath(path, m_systemRoot);
    if (!check.ok)
        ActionJournal::step(QStringLiteral("refused: ") + MaintenanceText::pathProblem(check));
    return check.ok;
}

int sendordertoprinter_test::mkPath(const QString &path)
{
    if (!pathAllowed(path))
        return PathRefused;
    if (QDir(path).exists())
        return PathDone;
    return QDir().mkpath(path) ? PathDone : PathFailed;
}

int sendordertoprinter_test::clrPath(const QString &path)
{
    if (!pathAllowed(path))
        return PathRefused;
    const QFileInfo folder(path);
    if (!folder.exists() && !folder.isSymLink())
        return PathDone;
    if (!folder.isDir())
        return PathRefused;
    return runCommand(clearPathCommand(path)).succeeded() ? PathDone : PathFailed;
}

void sendordertoprinter_test::showProgress(MyProgressDialog &dialog, QWidget *parent, int value)
{
    // No window type among the flags: the dialog is drawn inside the panel.
    dialog.setWindowFlags(Qt::WindowStaysOnTopHint);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setValue(value);
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

bool sendordertoprinter_test::takeMaintenanceLock(MaintenanceLock &lock,
                                                  MaintenanceLock::Action action)
{
    if (lock.take(action))
        return true;
    PanelBox::failure(MaintenanceText::lockRefused(lock));
    return false;
}

void sendordertoprinter_test::on_btn_back_clicked()
{
    ActionJournal::begin(QStringLiteral("Backup"));
    if (!getUDisk())
        return;
    // Before the stick is read: another panel's Backup may be changing it.
    MaintenanceLock lock(m_systemRoot);
    if (!takeMaintenanceLock(lock, MaintenanceLock::Action::Backup))
        return;
    DeviceBackup backup(commandRunner(), m_systemRoot);
    bool checked = false;
    {
        // Taps made while the stick is read must not answer the question.
        BusyGuard reading;
        checked = backup.checkStick();
    }
    // Another device's set may be its only backup: it goes only when the technician says so.
    if (checked && backup.replacesOtherDevicesSet() && !confirmReplaceSet(backup.storedSet()))
        return;
    BusyGuard busy;
    if (!checked) {
        busy.finish();
        PanelBox::failure(MaintenanceText::backup(backup).join(QLatin1Char('\n')));
        return;
    }
    {
        MyProgressDialog dialog(tr("Backup..."), this);
        JobProgressDisplay display(dialog);
        showProgress(dialog, this, 0);
        backup.progress = display.callback();
        backup.confirmReplace = [&] {
            {
                // Taps made while /opt was counted must not answer it either.
                BusyGuard counting;
            }
            const bool confirmed = confirmDeleteSetFirst(backup.storedSet());
            // The question's window is gone; the event loop that would draw what it covered
            // does not run again until the job ends.
            repaint();
            return confirmed;
        };
        backup.run();
        backup.progress = nullptr;
        backup.confirmReplace = nullptr;
    }
    busy.finish();
    if (backup.outcome() == DeviceBackup::Outcome::Cancelled)
        return;
    const QString box = MaintenanceText::backup(backup).join(QLatin1Char('\n'));
    if (backup.outcome() == DeviceBackup::Outcome::Done)
        PanelBox::success(tr("Backup"), box);
    else
        PanelBox::failure(box);
}

void sendordertoprinter_test::on_btn_reduction_clicked()
{
    ActionJournal::begin(QStringLiteral("Restore"));
    // Before the journal is read: another panel's Restore may be writing it.
    MaintenanceLock lock(m_systemRoot);
    if (!takeMaintenanceLock(lock, MaintenanceLock::Action::Restore))
        return;
    DeviceRestore restore(commandRunner(), m_systemRoot);
    restore.recorded = [](const RestoreJournal::State &state) {
        ActionJournal::step(journalLine(state));
    };
    // A restore cut short comes first, and needs no stick.
    if (DeviceRestore::isUnfinished(m_systemRoot)) {
        finishUnfinishedRestore(restore);
        return;
    }
    if (!getUDisk())
        return;
    DeviceRestore::Verdict verdict;
    {
        // The set is looked over: taps made meanwhile must not answer the question.
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
        PanelBox::failure(MaintenanceText::restore(restore).join(QLatin1Char('\n')));
        return;
    }
    if (!confirmRestore(restore, verdict == DeviceRestore::Verdict::Good))
        return;

    BusyGuard busy;
    bool restored = false;
    {
        MyProgressDialog dialog(tr("Restore..."), this);
        showProgress(dialog, this);
        JobProgressDisplay display(dialog);
        restore.progress = display.callback();
        repaint();
        restored = restore.restore();
    }
    busy.finish();
    const QString box = MaintenanceText::restore(restore).join(QLatin1Char('\n'));
    if (restored)
        PanelBox::success(tr("Restore"), box);
    else
        PanelBox::failure(box);
}

void sendordertoprinter_test::finishUnfinishedRestore(DeviceRestore &restore)
{
    BusyGuard busy;
    DeviceRestore::Recovery recovery;
    {
        MyProgressDialog dialog(tr("Restore..."), this);
        showProgress(dialog, this);
        recovery = restore.finishUnfinished();
    }
    busy.finish();
    const QString box =
        MaintenanceText::unfinishedRestore(restore, recovery).join(QLatin1Char('\n'));
    if (recovery == DeviceRestore::Recovery::Failed)
        PanelBox::failure(box);
    else
        PanelBox::success(tr("Restore"), box);
}

void sendordertoprinter_test::warnOfUnfinishedRestore()
{
    if (!DeviceRestore::isUnfinished(m_systemRoot))
        return;
    JobProblem unfinished;
    unfinished.kind = JobProblem::Kind::RestoreUnfinished;
    PanelBox::failure(MaintenanceText::line(unfinished));
}

bool sendordertoprinter_test::confirmRestore(const DeviceRestore &restore, bool verified)
{
    const QString what = shownSetSize(restore.treeFiles(), restore.bytes());
    const QString when = shownDate(restore.created());
    const QString device = shownDevice(restore.setDevice());
    // The device's own path: a test or demo root only stands in for "/".
    const QString opt = optFolder(QString());
    // Another device's name goes in a line of its own, not twice.
    const bool otherDevice = restore.fromOtherDevice();
    QString text;
    if (!verified)
        text = tr("Replace %1 and the databases appdb and Misc with an older panel's backup (%2)? "
                  "It cannot be verified.")
                   .arg(opt, what);
    else if (restore.setDevice().hasName() && !otherDevice)
        text = tr("Replace %1 and the databases appdb and Misc with the backup of %2 from %3 "
                  "(%4)? What they hold now will be lost.")
                   .arg(opt, device, when, what);
    else
        text = tr("Replace %1 and the databases appdb and Misc with the backup of %2 (%3)? "
                  "What they hold now will be lost.")
                   .arg(opt, when, what);
    if (otherDevice)
        text += QLatin1Char('\n') + tr("This backup was made on another device: %1.").arg(device);
    return askToGoOn(tr("Restore"), text);
}

bool sendordertoprinter_test::confirmReplaceSet(const StoredSet &stored)
{
    const QString text = tr("The U disk holds the backup of %1 from %2 (%3). Replace it with a "
                            "backup of this device?")
                             .arg(shownDevice(stored.device), shownDate(stored.created),
                                  shownSetSize(stored.treeFiles, stored.bytes));
    return askToGoOn(tr("Backup"), text);
}

bool sendordertoprinter_test::confirmDeleteSetFirst(const StoredSet &stored)
{
    return askToGoOn(tr("Backup"), tr("Replace the backup of %1 on the U disk? It is deleted "
                                      "before the new one is written.")
                                       .arg(shownDate(stored.created)));
}

bool sendordertoprinter_test::askToGoOn(const QString &title, const QString &text)
{
    // As messagedialog::message() shows it: no parent, a window of its own, modal to the whole
    // panel while it asks. Names and sizes of any length must not push lines out of the box.
    messagedialog dialog(title, text, nullptr, tr("Cancel"), tr("Confirm"), true);
    dialog.setFont(QFont(QStringLiteral("DejaVu Sans"), 30));
    dialog.fitText();
    return ActionJournal::answered(text, dialog.exec() == QDialog::Accepted);
}

bool sendordertoprinter_test::confirmClearData()
{
    // The device's own path: a test or demo root only stands in for "/".
    return askToGoOn(
        tr("Clear Data"),
        tr("Delete the databases appdb and Misc and the folder %1? This cannot be undone.")
            .arg(appFolder(QString())));
}

void sendordertoprinter_test::on_btn_clear_clicked()
{
    ActionJournal::begin(QStringLiteral("Clear Data"));
    DeviceClear clear(commandRunner(), m_systemRoot);
    if (!clear.check()) {
        PanelBox::failure(MaintenanceText::lines(clear.problems()).join(QLatin1Char('\n')));
        return;
    }
    if (!confirmClearData())
        return;
    MaintenanceLock lock(m_systemRoot);
    if (!takeMaintenanceLock(lock, MaintenanceLock::Action::ClearData))
        return;
    BusyGuard busy;
    bool cleared = false;
    {
        // Drawn over the question, which would otherwise stay on screen until the end.
        MyProgressDialog dialog(tr("Clear Data..."), this);
        JobProgressDisplay display(dialog);
        showProgress(dialog, this, 0);
        clear.progress = display.callback();
        cleared = clear.run();
    }
    busy.finish();

    if (cleared)
        PanelBox::success(tr("Clear Data"), tr("Clear Data Ok "));
    else
        PanelBox::failure(MaintenanceText::clearData(clear).join(QLatin1Char('\n')));
}

void sendordertoprinter_test::on_btn_exit_clicked()
{
    ActionJournal::begin(QStringLiteral("Power Off"));
    setDisabled(true);
    BusyGuard busy;
    const CommandResult result = runCommand(powerOffCommand());
    busy.finish();
    if (!result.succeeded()) {
        // The device stays on: the technician must be able to try again or do something else.
        setDisabled(false);
        PanelBox::failure(tr("Power off failed: %1").arg(MaintenanceText::commandReason(result)));
        return;
    }
    PanelBox::success(tr("Power Off"), tr("Power Off... "));
}
