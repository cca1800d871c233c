#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"
#include "panel/sendordertoprinter_test.h"

#include "commandlists.h"
#include "journallines.h"
#include "modalcloser.h"
#include "postclick.h"
#include "recordingrunner.h"
#include "systemroot.h"
#include "testutil.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <memory>

// Clear Data and Power Off on the backup page: Clear Data asks first and counts folders that
// are mount points as cleared; Power Off says when poweroff failed and gives the panel back;
// taps made while either runs are dropped, never replayed afterwards.

using std::chrono::milliseconds;

namespace {

// Runs the file commands for real and answers the database ones itself: these tests have no
// server, and rm must meet real mount points.
class FilesOnlyRunner : public CommandRunner
{
public:
    CommandResult run(const QByteArray &commandLine) override
    {
        lines << commandLine;
        if (commandLine.startsWith("mysql"))
            return CommandResult::fromWaitStatus(0);
        return m_real.run(commandLine);
    }
    QList<QByteArray> lines;

private:
    SystemCommandRunner m_real{std::chrono::seconds(60)};
};

bool runs(const QString &program, const QStringList &arguments)
{
    return QProcess::execute(program, arguments) == 0;
}

} // namespace

class tst_clearpoweroff : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void clearAsksFirst_data();
    void clearAsksFirst();
    void clearWithMountPoints_data();
    void clearWithMountPoints();
    void powerOff_data();
    void powerOff();
    void queuedTapsAreDropped_data();
    void queuedTapsAreDropped();

private:
    QPushButton *button(const char *name);
    void writeFile(const QString &relative);
    bool mountTmpfs(const QString &relative);
    QString stubPowerOff(const QByteArray &script);

    std::unique_ptr<TestSystemRoot> m_root;
    std::unique_ptr<sendordertoprinter_test> m_panel;
    RecordingRunner m_runner;
    QStringList m_mounts;
    QTemporaryDir m_bin;
    QByteArray m_path;
};

void tst_clearpoweroff::init()
{
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid());
    m_runner = RecordingRunner();
    m_panel = makeRootedPanel(*m_root, &m_runner);
    m_path = qgetenv("PATH");
}

void tst_clearpoweroff::cleanup()
{
    qputenv("PATH", m_path);
    m_panel.reset();
    // Deepest first.
    for (auto mount = m_mounts.crbegin(); mount != m_mounts.crend(); ++mount)
        runs(QStringLiteral("umount"), {*mount});
    m_mounts.clear();
    m_root.reset();
}

QPushButton *tst_clearpoweroff::button(const char *name)
{
    return m_panel->findChild<QPushButton *>(QLatin1String(name));
}

void tst_clearpoweroff::writeFile(const QString &relative)
{
    const QString path = m_root->file(relative);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("data");
}

bool tst_clearpoweroff::mountTmpfs(const QString &relative)
{
    if (!TestSystemRoot::namespaceProblem().isEmpty())
        return false;
    const QString path = m_root->file(relative);
    QDir().mkpath(path);
    if (!runs(QStringLiteral("mount"),
              {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("paneltest"), path}))
        return false;
    m_mounts << path;
    return true;
}

// A poweroff first on PATH, checked to be the one the shell finds before anything is clicked.
QString tst_clearpoweroff::stubPowerOff(const QByteArray &script)
{
    const QString stub = m_bin.filePath("poweroff");
    QFile file(stub);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return QString();
    file.write("#!/bin/sh\n" + script + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    qputenv("PATH", QFile::encodeName(m_bin.path()) + ':' + m_path);
    QProcess shell;
    shell.start(QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("command -v poweroff")});
    shell.waitForFinished();
    const QString resolved = QString::fromLocal8Bit(shell.readAllStandardOutput().trimmed());
    if (resolved != stub || QStandardPaths::findExecutable(QStringLiteral("poweroff")) != stub) {
        qputenv("PATH", m_path);
        qFatal("poweroff does not resolve to the stub (%s): not clicking Power Off",
               qPrintable(resolved));
    }
    return stub;
}

void tst_clearpoweroff::clearAsksFirst_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::newRow("cancel") << false;
    QTest::newRow("confirm") << true;
}

void tst_clearpoweroff::clearAsksFirst()
{
    QFETCH(bool, confirm);
    JournalLines journal;
    ModalCloser closer;
    closer.answer = confirm ? ModalCloser::Answer::Confirm : ModalCloser::Answer::Cancel;
    closer.questionPicture =
        qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath()) + "/clear-data-question.png";
    clickMaintenance(m_panel.get(), "btn_clear");

    QCOMPARE(closer.questions.size(), 1);
    const ModalCloser::Box question = closer.questions.first();
    QCOMPARE(question.title, QStringLiteral("Clear Data"));
    for (const QString &named :
         {QStringLiteral("appdb"), QStringLiteral("Misc"), QStringLiteral("/opt/Brevin")})
        QVERIFY2(question.text.contains(named), qPrintable(question.text));
    // The record: the start, the question and its answer, then each command and the outcome.
    const QStringList record = journal.lines();
    QVERIFY(record.size() >= 3);
    QCOMPARE(record.first(), QStringLiteral("servicepanel: Clear Data: started"));
    QVERIFY2(record.at(1).startsWith(QLatin1String("servicepanel: Clear Data: step: asked: Delete "
                                                   "the databases appdb and Misc")),
             qPrintable(record.at(1)));
    QVERIFY(
        record.at(1).endsWith(confirm ? QLatin1String(": Confirm") : QLatin1String(": Cancel")));
    if (!confirm) {
        QVERIFY(m_runner.lines.isEmpty());
        QVERIFY(closer.boxes.isEmpty());
        QCOMPARE(record.mid(2),
                 QStringList{"servicepanel: Clear Data: cancelled: nothing was changed"});
        return;
    }
    QCOMPARE(m_runner.lines, clearCommands(m_root->path()));
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().text, QStringLiteral("Clear Data Ok "));
    QCOMPARE(closer.boxes.first().heading, QStringLiteral("Clear Data"));
    QVERIFY(!closer.boxes.first().failure);
    QCOMPARE(record.size(), 2 + m_runner.lines.size() + 1);
    for (int i = 0; i < m_runner.lines.size(); ++i) {
        const QString step = record.at(2 + i);
        QVERIFY2(step.startsWith(QLatin1String("servicepanel: Clear Data: step: ") +
                                 QString::fromLocal8Bit(m_runner.lines.at(i)) +
                                 QLatin1String(": exit status 0 (")),
                 qPrintable(step));
    }
    QCOMPARE(record.last(), QStringLiteral("servicepanel: Clear Data: done: Clear Data Ok "));
}

void tst_clearpoweroff::clearWithMountPoints_data()
{
    QTest::addColumn<QStringList>("mounts");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("staying");
    QTest::newRow("plain folder") << QStringList() << false << " "
                                  << "Clear Data Ok " << QStringList();
    QTest::newRow("Brevin is a mount point") << QStringList{"opt/Brevin"} << false << " "
                                             << "Clear Data Ok " << QStringList{"opt/Brevin"};
    QTest::newRow("a folder in Brevin is a mount point")
        << QStringList{"opt/Brevin/data"} << false << " "
        << "Clear Data Ok " << QStringList{"opt/Brevin", "opt/Brevin/data"};
    QTest::newRow("both") << QStringList{"opt/Brevin", "opt/Brevin/data/labels"} << false << " "
                          << "Clear Data Ok "
                          << QStringList{"opt/Brevin", "opt/Brevin/data/labels"};
    QTest::newRow("read-only mount point keeps its files")
        << QStringList{"opt/Brevin/data"} << true << "Fail"
        << "Folder %1/opt/Brevin still there: exit status 1: rm: cannot remove"
        << QStringList{"opt/Brevin/data/labels/label-1.prn"};
}

// rm cannot remove a mount point: the data on it is gone all the same.
void tst_clearpoweroff::clearWithMountPoints()
{
    QFETCH(QStringList, mounts);
    QFETCH(bool, readOnly);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(QStringList, staying);
    for (const QString &mount : mounts) {
        if (!mountTmpfs(mount))
            QSKIP("needs a private mount namespace: run through tests/mountns.sh");
    }
    writeFile("opt/Brevin/bin/scale-app");
    writeFile("opt/Brevin/.settings");
    writeFile("opt/Brevin/data/labels/label-1.prn");
    writeFile("opt/other-vendor/readme.txt");
    if (readOnly)
        QVERIFY(runs(QStringLiteral("mount"), {QStringLiteral("-o"), QStringLiteral("remount,ro"),
                                               m_root->file(mounts.first())}));
    FilesOnlyRunner runner;
    m_panel->setCommandRunner(&runner);

    ModalCloser closer;
    clickMaintenance(m_panel.get(), "btn_clear");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, title);
    QVERIFY2(closer.boxes.first().text.startsWith(text.arg(m_root->path())),
             qPrintable(closer.boxes.first().text));
    QVERIFY(QFile::exists(m_root->file("opt/other-vendor/readme.txt")));
    QVERIFY(!QFile::exists(m_root->file("opt/Brevin/bin/scale-app")));
    QVERIFY(!QFile::exists(m_root->file("opt/Brevin/.settings")));
    for (const QString &path : staying)
        QVERIFY2(QFileInfo::exists(m_root->file(path)), qPrintable(path));
    if (staying.isEmpty())
        QVERIFY(!QFileInfo::exists(m_root->file("opt/Brevin")));
}

void tst_clearpoweroff::powerOff_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("goes down") << QByteArray("exit 0") << " "
                               << "Power Off... " << false;
    QTest::newRow("fails") << QByteArray(
                                  "echo 'Call to PowerOff failed: Access denied' >&2; exit 1")
                           << "Fail"
                           << "Power off failed: exit status 1: Call to PowerOff failed: "
                              "Access denied"
                           << true;
    QTest::newRow("hangs") << QByteArray("sleep 60") << "Fail"
                           << "Power off failed: stopped after its time limit of 500 ms" << true;
}

void tst_clearpoweroff::powerOff()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, title);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    const QString marker = m_bin.filePath("ran");
    QFile::remove(marker);
    QVERIFY(!stubPowerOff("touch '" + QFile::encodeName(marker) + "'\n" + script).isEmpty());
    SystemCommandRunner runner(milliseconds(500), milliseconds(200));
    m_panel->setCommandRunner(&runner);

    JournalLines journal;
    ModalCloser closer;
    clickMaintenance(m_panel.get(), "btn_exit");
    QVERIFY(QFile::exists(marker));
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, title);
    QCOMPARE(closer.boxes.first().text, text);
    // Said in the box itself: the device draws no title bar.
    QCOMPARE(closer.boxes.first().heading,
             enabled ? QStringLiteral("Fail") : QStringLiteral("Power Off"));
    QCOMPARE(closer.boxes.first().failure, enabled);
    QCOMPARE(journal.lines().size(), 3);
    QCOMPARE(journal.lines().first(), QStringLiteral("servicepanel: Power Off: started"));
    QVERIFY2(journal.lines().at(1).startsWith(QLatin1String("servicepanel: Power Off: step: ")),
             qPrintable(journal.lines().at(1)));
    QCOMPARE(
        journal.lines().last(),
        QStringLiteral("servicepanel: Power Off: %1: %2").arg(enabled ? "failed" : "done", text));
    QCOMPARE(m_panel->isEnabled(), enabled);
    if (enabled)
        saveShot(m_panel.get(), QStringLiteral("power-off-failed"));
}

void tst_clearpoweroff::queuedTapsAreDropped_data()
{
    QTest::addColumn<QByteArray>("running");
    QTest::addColumn<QByteArray>("tapped");
    QTest::addColumn<QByteArray>("failing");
    QTest::addColumn<QList<QByteArray>>("expected");
    // The control: with nothing running, a posted tap does press its button.
    QTest::newRow("nothing running")
        << QByteArray() << QByteArray("btn_exit") << QByteArray() << QList<QByteArray>{"poweroff"};
    QTest::newRow("Power Off tapped during Clear Data")
        << QByteArray("btn_clear") << QByteArray("btn_exit") << QByteArray()
        << QList<QByteArray>{"clear"};
    QTest::newRow("Clear Data tapped while poweroff fails")
        << QByteArray("btn_exit") << QByteArray("btn_clear") << QByteArray("poweroff")
        << QList<QByteArray>{"poweroff"};
    QTest::newRow("Clear Data tapped during a backup")
        << QByteArray("btn_back") << QByteArray("btn_clear") << QByteArray()
        << QList<QByteArray>{"backup"};
}

// The taps reach the queue while a command of the action runs (the runner's hook); when the
// action is over they must be gone, and the next tap works again.
void tst_clearpoweroff::queuedTapsAreDropped()
{
    QFETCH(QByteArray, running);
    QFETCH(QByteArray, tapped);
    QFETCH(QByteArray, failing);
    QFETCH(QList<QByteArray>, expected);
    if (running == "btn_back" && (!m_root->plugNode() || !m_root->mountStick()))
        QSKIP("needs a mounted stick: run through tests/mountns.sh");
    if (!failing.isEmpty())
        m_runner.statuses.insert(failing, 256);
    QPushButton *target = button(tapped.constData());
    QVERIFY(target);
    bool posted = running.isEmpty();
    m_runner.onRun = [&](const QByteArray &) {
        if (posted)
            return;
        posted = true;
        postClick(target);
    };

    ModalCloser closer;
    if (running.isEmpty()) {
        postClick(target);
        QTRY_COMPARE(m_runner.lines.size(), 1);
    } else {
        clickMaintenance(m_panel.get(), running.constData());
        QVERIFY(posted);
        // Time for a tap that slipped through to show.
        QTest::qWait(200);
    }
    QList<QByteArray> lines;
    for (const QByteArray &action : expected) {
        if (action == "clear")
            lines << clearCommands(m_root->path());
        else if (action == "backup")
            lines << backupCommands(m_root->path());
        else
            lines << powerOffCommands();
    }
    QCOMPARE(m_runner.lines, lines);
    QVERIFY(closer.questions.size() <= (running == "btn_clear" ? 1 : 0));

    // The panel answers the next tap as always.
    m_runner.lines.clear();
    m_runner.onRun = nullptr;
    m_panel->setEnabled(true);
    clickMaintenance(m_panel.get(), "btn_exit");
    QCOMPARE(m_runner.lines, powerOffCommands());
}

QTEST_MAIN(tst_clearpoweroff)
#include "tst_clearpoweroff.moc"
