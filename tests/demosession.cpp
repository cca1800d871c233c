// A short scripted session on the simulated device of scripts/demo: it opens the panel as
// the program does, checks the sandbox, clicks through the printer page, a backup and a
// restore (confirming its question), saves a picture of each page and powers off. Each
// finding is one line of $PANEL_DEMO_OUT/results: "ok <what>" or "FAIL <what>: <why>".
#include "app/mainwindow.h"
#include "app/startup.h"
#include "panel/sendordertoprinter_test.h"

#include "modalcloser.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextEdit>
#include <QTextStream>
#include <QtTest>

#include <cstdio>

namespace {

QFile results;
int failures = 0;

void report(bool ok, const QString &what, const QString &why = QString())
{
    QTextStream out(&results);
    if (ok) {
        out << "ok " << what << '\n';
    } else {
        out << "FAIL " << what << ": " << why << '\n';
        ++failures;
    }
    out.flush();
    results.flush();
}

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

bool isMountPoint(const QString &path)
{
    const QStringList lines = readAll(QStringLiteral("/proc/self/mountinfo")).split('\n');
    for (const QString &line : lines) {
        if (line.section(' ', 4, 4) == path)
            return true;
    }
    return false;
}

QString mysqlValue(const QString &query)
{
    QProcess mysql;
    mysql.start(QStringLiteral("mysql"), {QStringLiteral("-N"), QStringLiteral("-e"), query});
    mysql.waitForFinished(30000);
    return QString::fromUtf8(mysql.readAllStandardOutput()).trimmed();
}

class Session
{
public:
    Session(sendordertoprinter_test *panel, const QString &root, const QString &out)
        : m_panel(panel), m_root(root), m_out(out)
    {
    }

    void run()
    {
        waitForViewer();
        checkSandbox();
        printerPage();
        backupAndRestore();
        pictures();
        clearData();
        powerOff();
    }

private:
    template <typename T> T *child(const char *name)
    {
        return m_panel->findChild<T *>(QLatin1String(name));
    }
    QString result() { return child<QTextEdit>("textEdit")->toPlainText(); }
    void click(const char *name)
    {
        QPushButton *button = child<QPushButton>(name);
        if (!button) {
            report(false, QStringLiteral("button %1").arg(QLatin1String(name)), "missing");
            return;
        }
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // The demo script connects a VNC client first; the event loop must run for the greeting.
    void waitForViewer()
    {
        if (!qEnvironmentVariable("QT_QPA_PLATFORM").startsWith("vnc"))
            return;
        const QString greeting = m_out + "/vnc-greeting";
        QElapsedTimer waited;
        waited.start();
        while (QFileInfo(greeting).size() < 12 && waited.elapsed() < 20000)
            QTest::qWait(50);
        report(QFileInfo(greeting).size() == 12, "viewer greeted", "no greeting sent");
    }

    void checkSandbox()
    {
        report(isMountPoint(m_root + "/mnt/usb"), "stick mounted", "mnt/usb is no mount point");
        report(QFileInfo::exists(m_root + "/dev/sda"), "stick node", "no dev/sda");
        const QString plu = mysqlValue("select count(*) from appdb.plu");
        report(plu == "3", "database seeded", "appdb.plu has " + plu + " rows");
    }

    void printerPage()
    {
        m_panel->setCurrentPage(1);
        click("light_sensitive_status");
        const QString paper = result();
        report(paper == "Paper Detected" || paper == "Paper Not Detected", "printer answers",
               paper);
        child<QComboBox>("comboBox")->setCurrentIndex(0);
        child<QLineEdit>("combox_lab_data")->setText("300");
        click("combox_send");
        report(result() == "Start Position: 300", "start position set", result());
        click("parameter_query");
        report(result().contains("start Print Location:300"), "settings report", result());
    }

    void backupAndRestore()
    {
        m_panel->setCurrentPage(2);
        const QString stick = m_root + "/mnt/usb/BackupData";
        {
            ModalCloser closer;
            click("btn_back");
            const QString text = closer.boxes.isEmpty() ? QString() : closer.boxes.first().text;
            report(closer.boxes.size() == 1 && text.startsWith("Backup Ok\n"), "backup ok box",
                   text);
        }
        report(QFileInfo(stick + "/manifest.mtree").isFile(), "backup set has its manifest",
               "missing");
        report(QFileInfo(stick + "/opt/Brevin/config/.settings").isFile(),
               "backup holds the hidden settings", "missing");
        report(QFileInfo(stick + "/opt/Brevin/default.fmt").isSymLink(), "backup keeps the link",
               "not a link");
        report(readAll(stick + "/appdb.sql").contains("-- Dump completed"), "appdb dumped",
               "no complete dump");
        report(readAll(stick + "/Misc.sql").contains("Frische Ware"), "Misc dumped",
               "no Misc rows in the dump");

        QFile::remove(m_root + "/opt/Brevin/config/scale.ini");
        mysqlValue("delete from appdb.plu where id = 3");
        {
            ModalCloser closer;
            closer.questionPicture = m_out + "/restore-question.png";
            click("btn_reduction");
            const QString asked =
                closer.questions.isEmpty() ? QString() : closer.questions.first().text;
            report(closer.questions.size() == 1 && asked.contains("appdb and Misc") &&
                       !asked.contains("cannot be verified"),
                   "restore asks first, naming the set", asked);
            const QString text = closer.boxes.isEmpty() ? QString() : closer.boxes.first().text;
            report(closer.boxes.size() == 1 && text.startsWith("Restore Ok\n"), "restore ok box",
                   text);
        }
        report(QFileInfo(m_root + "/opt/Brevin/config/scale.ini").isFile(),
               "restore brings the file back", "missing");
        report(mysqlValue("select name from appdb.plu where id = 3") == "Käse",
               "restore brings the row back", "row missing");
    }

    void pictures()
    {
        const char *names[] = {"start", "printer", "backup"};
        for (int page = 0; page < 3; ++page) {
            m_panel->setCurrentPage(page);
            const QString path = m_out + "/page-" + names[page] + ".png";
            report(m_panel->grab().save(path), "picture of the " + QString(names[page]) + " page",
                   path);
        }
        m_panel->setCurrentPage(2);
    }

    // Clear Data asks first: Cancel keeps everything, Confirm clears.
    void clearData()
    {
        m_panel->setCurrentPage(2);
        const QString app = m_root + "/opt/Brevin";
        {
            ModalCloser closer;
            closer.answer = ModalCloser::Answer::Cancel;
            closer.questionPicture = m_out + "/clear-data-question.png";
            click("btn_clear");
            report(closer.questions.size() == 1, "clear data asks first", "no question");
            report(closer.boxes.isEmpty() && QFileInfo::exists(app) &&
                       mysqlValue("select count(*) from appdb.plu") == "3",
                   "cancel keeps the data", "something was cleared");
        }
        {
            ModalCloser closer;
            click("btn_clear");
            const QString text = closer.boxes.isEmpty() ? QString() : closer.boxes.first().text;
            report(text == "Clear Data Ok ", "clear data confirmed", text);
            report(!QFileInfo::exists(app) &&
                       !mysqlValue("show databases").split('\n').contains("appdb"),
                   "clear data removes the data", "data left");
        }
    }

    void powerOff()
    {
        const QString poweroff = QStandardPaths::findExecutable("poweroff");
        const QString stub = QDir::cleanPath(QFileInfo(m_root).dir().path() + "/bin/poweroff");
        if (poweroff != stub) {
            report(false, "poweroff stub first on PATH", poweroff);
            return;
        }
        report(true, "poweroff stub first on PATH");
        report(failures == 0, "session", QString::number(failures) + " failures");
        // The stub ends this process as the device going down would.
        click("btn_exit");
        report(false, "power off", "still running after the poweroff command");
    }

    sendordertoprinter_test *m_panel;
    QString m_root;
    QString m_out;
};

} // namespace

int main(int argc, char **argv)
{
    const QString out = qEnvironmentVariable("PANEL_DEMO_OUT");
    const SystemRootCheck root =
        checkSystemRoot(qgetenv("PANEL_SYSROOT"), qEnvironmentVariableIsSet("PANEL_SYSROOT"));
    // Never against the machine's own root.
    if (out.isEmpty() || !root.ok || root.root.isEmpty()) {
        std::fprintf(stderr, "demosession: needs PANEL_DEMO_OUT and a sandbox PANEL_SYSROOT\n");
        return 2;
    }
    results.setFileName(out + "/results");
    if (!results.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 2;

    // As the panel itself draws in the demo.
    drawAsDevice(qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    installApplicationFont();
    MainWindow window;
    window.panel()->setSystemRoot(root.root);
    Session session(window.panel(), root.root, out);
    QTimer::singleShot(0, [&session] {
        session.run();
        QCoreApplication::exit(failures == 0 ? 0 : 1);
    });
    return app.exec();
}
