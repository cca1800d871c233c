#ifndef SENDORDERTOPRINTER_TEST_H
#define SENDORDERTOPRINTER_TEST_H

#include "maintenance/system/maintenancelock.h"

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>

namespace Ui {
class sendordertoprinter_test;
}

class CommandRunner;
class DeviceRestore;
class JournalingRunner;
class MyProgressDialog;
class PrinterLink;
struct StoredSet;
struct CommandResult;

class sendordertoprinter_test : public QWidget
{
    Q_OBJECT

public:
    explicit sendordertoprinter_test(QWidget *parent = nullptr);
    ~sendordertoprinter_test() override;

    static QString mTempSendCommder;

    // Where printer commands go; nullptr restores the serial link. Not owned.
    void setPrinterLink(PrinterLink *link);
    // Who runs the maintenance command lines; nullptr restores system(). Not owned.
    void setCommandRunner(CommandRunner *runner);
    // The folder that stands for "/" in every maintenance path ("" is the device's root).
    void setSystemRoot(const QString &root);
    QString systemRoot() const { return m_systemRoot; }
    // Shows page 0 (start), 1 (printer test) or 2 (backup).
    void setCurrentPage(int index);
    // At start: a box when a restore was cut short on the device, which Restore must put right
    // before anything else is done.
    void warnOfUnfinishedRestore();

    QStringList sendReceive(QString command);
    void getCurrSitCmd(QString code);
    void sendInsideOptoValue(QString code);

    // What mkPath and clrPath did. A folder that clrPath finds missing holds nothing: done.
    enum PathResult { PathDone = 0, PathRefused = -1, PathFailed = -2 };

    bool getUDisk();
    // Each refuses (PathRefused) a path that is empty, relative, not clean, "/" once links are
    // resolved, or outside the system root.
    int mkPath(const QString &path);
    int clrPath(const QString &path);
    bool copyDir(QWidget *parent, QString destination, QString source, QString caption);

signals:
    void sendPrinterSignal();
    void sendFeedSignal();

private slots:
    void on_send_2_clicked();
    void on_parameter_reset_clicked();
    void on_paper_reset_clicked();
    void on_parameter_query_clicked();
    void on_paper_clicked();
    void on_label_paper_clicked();
    void on_recieve_down_paper_clicked();
    void on_nrecieve_down_paper_clicked();
    void on_light_sensitive_status_clicked();
    void on_combox_send_clicked();
    void on_comboBox_currentIndexChanged(int index);
    void on_Print_clicked();
    void on_feed_clicked();
    void on_print_format_clicked();
    void on_print_soft_version_clicked();
    void getCurrReapeatHeatLocation(QString Location);
    void on_have_or_not_paper_clicked();
    void on_have_paper_reset_clicked();
    void testprinter(QString text);
    void on_btn_openBackUp_clicked();
    void on_btn_openPrinter_clicked();
    void on_btn_back_clicked();
    void on_btn_reduction_clicked();
    void on_btn_exit_clicked();
    void on_btn_clear_clicked();

private:
    // True when the link gave nothing at all; the result box then says so.
    bool showIfNoAnswer(const QStringList &reply);
    // Sends a mode command and confirms it when the printer echoes its code and value.
    void setPrinterMode(const QString &command, const QString &code, const QString &value,
                        const QString &confirmed, const QString &description);
    // The runner of every maintenance command, with its time limit; also the one to hand to
    // the window-free classes (DatabaseRestore) so that tests can replace it.
    CommandRunner &commandRunner();
    CommandResult runCommand(const QByteArray &commandLine);
    // Whether mkPath and clrPath may act on `path`; a refusal goes into the action's record.
    bool pathAllowed(const QString &path) const;
    // The panel's own question (Cancel/Confirm); true after Confirm.
    static bool askToGoOn(const QString &title, const QString &text);
    bool confirmClearData();
    bool confirmRestore(const DeviceRestore &restore, bool verified);
    void finishUnfinishedRestore(DeviceRestore &restore);
    // Asks before a backup replaces the set of another device.
    bool confirmReplaceSet(const StoredSet &stored);
    // Asks before a backup deletes the set on the stick to make room for the new one.
    bool confirmDeleteSetFirst(const StoredSet &stored);
    // Takes the lock that keeps maintenance actions apart; says so in a box when another one
    // holds it.
    bool takeMaintenanceLock(MaintenanceLock &lock, MaintenanceLock::Action action);
    // Brings the progress dialog on screen over `parent` at `value` (1 % of the bar's first
    // range), drawn by repaints. A job's dialog starts at 0: its display sets the range.
    static void showProgress(MyProgressDialog &dialog, QWidget *parent, int value = 1);

    Ui::sendordertoprinter_test *ui;
    int testMethod = 1;

    PrinterLink *m_link = nullptr;
    std::unique_ptr<PrinterLink> m_serialLink;
    CommandRunner *m_runner = nullptr;
    std::unique_ptr<CommandRunner> m_systemRunner;
    std::unique_ptr<JournalingRunner> m_journal;
    QString m_systemRoot;
};

#endif
