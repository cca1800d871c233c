#include "maintenance/system/devicecommands.h"
#include "maintenance/system/maintenancelock.h"
#include "panel/sendordertoprinter_test.h"

#include "hookedrunner.h"
#include "modalcloser.h"
#include "ownprogram.h"
#include "recordingrunner.h"
#include "stubtools.h"
#include "systemroot.h"
#include "treesnapshot.h"

#include <QtTest>

#include <memory>

#include <unistd.h>

// One maintenance action at a time on a device: two panels on one system root, each its own
// process (the second is tests/panelaction). The first runs a real Backup whose dump (a stub
// mysqldump, first on PATH) holds until the test lets it go; meanwhile the other panel's
// Backup, Restore and Clear Data refuse with a box and change nothing. A panel killed in the
// middle holds nothing: the kernel lets its lock go.

class tst_maintenancelock : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void oneHolderAtATime();
    void lockFolderMadeWhenMissing();
    void linkInsteadOfLockFile();
    void otherPanelRefused_data();
    void otherPanelRefused();
    void otherPanelRefusedWhileThisOneRuns();
    void killedPanelHoldsNothing();

private:
    // Starts the second panel clicking `button`; false when it cannot be started.
    bool startOther(OwnProgram &other, const char *button);
    // Lines "box ..." the second panel printed.
    static QStringList boxesOf(OwnProgram &other);
    bool dumpStarted() const { return QFile::exists(m_stubs->file("dump-started")); }
    void release() const { QFile(m_stubs->file("release")).open(QIODevice::WriteOnly); }

    std::unique_ptr<TestSystemRoot> m_root;
    std::unique_ptr<StubTools> m_stubs;
};

void tst_maintenancelock::initTestCase()
{
    const QString problem = TestSystemRoot::namespaceProblem();
    if (!problem.isEmpty())
        QSKIP(qPrintable("no private mount namespace for the stick (" + problem + ")"));
}

void tst_maintenancelock::init()
{
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid());
    QVERIFY(m_root->plugNode());
    QVERIFY(m_root->mountStick());
    m_root->writeFile("opt/Brevin/data/plu.csv", "1;apples\n");
    m_stubs = std::make_unique<StubTools>();
    const QByteArray dir = QFile::encodeName(m_stubs->dir());
    // The server's answer to the size question, and a dump that holds (at most a minute)
    // until the test lets it go. Every run of either is noted.
    m_stubs->add("mysql", "echo \"mysql $*\" >> '" + dir + "/ran'");
    m_stubs->add("mysqldump", "echo \"mysqldump $*\" >> '" + dir +
                                  "/ran'\n"
                                  "touch '" +
                                  dir +
                                  "/dump-started'\n"
                                  "echo 'CREATE TABLE t (id int);'\n"
                                  "i=0\n"
                                  "while [ ! -e '" +
                                  dir +
                                  "/release' ] && [ $i -lt 1200 ]; do\n"
                                  "    sleep 0.05; i=$((i + 1))\n"
                                  "done\n"
                                  "echo '-- Dump completed on 2026-01-01 10:00:00'");
}

void tst_maintenancelock::cleanup()
{
    if (m_stubs)
        release();
    m_stubs.reset();
    m_root.reset();
}

bool tst_maintenancelock::startOther(OwnProgram &other, const char *button)
{
    if (!other.start(QStringLiteral(PANELACTION_EXE),
                     {m_root->path(), QString::fromLatin1(button)}))
        return false;
    return other.waitForFirstLine(30000) == "ready";
}

QStringList tst_maintenancelock::boxesOf(OwnProgram &other)
{
    QStringList boxes;
    for (const QByteArray &line : other.readAllStandardOutput().split('\n')) {
        if (line.startsWith("box "))
            boxes << QString::fromUtf8(line.mid(4));
    }
    return boxes;
}

void tst_maintenancelock::oneHolderAtATime()
{
    MaintenanceLock first(m_root->path());
    MaintenanceLock second(m_root->path());
    QVERIFY(first.take(MaintenanceLock::Action::Restore));
    QCOMPARE(first.state(), MaintenanceLock::State::Held);
    // Another open file of the lock is another holder, in this process too.
    QVERIFY(!second.take(MaintenanceLock::Action::Backup));
    QCOMPARE(second.state(), MaintenanceLock::State::Busy);
    QVERIFY(second.holderKnown());
    QCOMPARE(second.holderAction(), MaintenanceLock::Action::Restore);
    QCOMPARE(second.holderPid(), qint64(::getpid()));
    first.release();
    QVERIFY(second.take(MaintenanceLock::Action::ClearData));
    // Never where Clear Data deletes.
    QVERIFY(!MaintenanceLock::lockPath(QString()).startsWith(keptDataFolder(QString())));
    QCOMPARE(MaintenanceLock::lockPath(QString()), QStringLiteral("/run/lock/servicepanel.lock"));
}

void tst_maintenancelock::lockFolderMadeWhenMissing()
{
    QVERIFY(QDir(m_root->file("run")).removeRecursively());
    MaintenanceLock lock(m_root->path());
    QVERIFY(lock.take(MaintenanceLock::Action::Backup));
    QVERIFY(QFileInfo(m_root->file("run/lock/servicepanel.lock")).isFile());
}

// The lock folder may be one anybody can write to: a link put there is never followed.
void tst_maintenancelock::linkInsteadOfLockFile()
{
    m_root->writeFile("etc/important", "keep me");
    QVERIFY(QFile::link(m_root->file("etc/important"), m_root->file("run/lock/servicepanel.lock")));
    MaintenanceLock lock(m_root->path());
    QVERIFY(!lock.take(MaintenanceLock::Action::Backup));
    QCOMPARE(lock.state(), MaintenanceLock::State::Failed);
    QCOMPARE(lock.error(), ELOOP);
    QFile target(m_root->file("etc/important"));
    QVERIFY(target.open(QIODevice::ReadOnly));
    QCOMPARE(target.readAll(), QByteArray("keep me"));

    // The panel says so and goes no further.
    RecordingRunner runner;
    auto panel = makeRootedPanel(*m_root, &runner);
    ModalCloser closer;
    clickMaintenance(panel.get(), "btn_back");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QCOMPARE(closer.boxes.first().text,
             QStringLiteral("The lock /run/lock/servicepanel.lock cannot be made: %1\nNothing was "
                            "changed.")
                 .arg(QString::fromLocal8Bit(::strerror(ELOOP))));
    QVERIFY(runner.lines.isEmpty());
}

void tst_maintenancelock::otherPanelRefused_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<bool>("asked"); // Clear Data asks first, then looks
    QTest::newRow("Backup") << QByteArray("btn_back") << false;
    QTest::newRow("Restore") << QByteArray("btn_reduction") << false;
    QTest::newRow("Clear Data") << QByteArray("btn_clear") << true;
}

// While one panel's Backup runs, this one refuses, names what runs, and changes nothing;
// once the Backup is over, the lock is free again.
void tst_maintenancelock::otherPanelRefused()
{
    QFETCH(QByteArray, button);
    QFETCH(bool, asked);
    OwnProgram other;
    QVERIFY(startOther(other, "btn_back"));
    QTRY_VERIFY_WITH_TIMEOUT(dumpStarted(), 30000);
    const TreeSnapshot opt(QFile::encodeName(m_root->file("opt")));

    RecordingRunner runner;
    auto panel = makeRootedPanel(*m_root, &runner);
    ModalCloser closer;
    clickMaintenance(panel.get(), button.constData());
    QCOMPARE(closer.questions.size(), asked ? 1 : 0);
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QCOMPARE(closer.boxes.first().text,
             QStringLiteral("Backup is running on this device (process %1). Try again when it "
                            "has finished.")
                 .arg(other.pid()));
    QVERIFY(runner.lines.isEmpty());
    QVERIFY(TreeSnapshot::differences(opt, TreeSnapshot(QFile::encodeName(m_root->file("opt"))))
                .isEmpty());

    release();
    QVERIFY(other.waitForFinished(60000));
    const QStringList boxes = boxesOf(other);
    QCOMPARE(boxes.size(), 1);
    QVERIFY2(boxes.first().startsWith(" : Backup Ok / "), qPrintable(boxes.first()));
    MaintenanceLock lock(m_root->path());
    QVERIFY(lock.take(MaintenanceLock::Action::Backup));
}

// The other way round: this panel's Backup runs while the other panel's Clear Data is
// tapped; that one refuses, and neither drops nor removes anything.
void tst_maintenancelock::otherPanelRefusedWhileThisOneRuns()
{
    release();
    SystemCommandRunner real;
    HookedRunner runner(real);
    OwnProgram other;
    bool started = false;
    runner.before = [&](const QByteArray &line) {
        if (started || !line.startsWith("mysqldump"))
            return;
        started = startOther(other, "btn_clear");
        if (started)
            other.waitForFinished(60000);
    };
    auto panel = makeRootedPanel(*m_root, &runner);
    ModalCloser closer;
    clickMaintenance(panel.get(), "btn_back");
    QVERIFY(started);
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().text.startsWith(QStringLiteral("Backup Ok\n")),
             qPrintable(closer.boxes.first().text));

    QVERIFY(!other.isRunning());
    QCOMPARE(boxesOf(other),
             QStringList{QStringLiteral("Fail: Backup is running on this device (process %1). "
                                        "Try again when it has finished.")
                             .arg(::getpid())});
    QFile ran(m_stubs->file("ran"));
    QVERIFY(ran.open(QIODevice::ReadOnly));
    QVERIFY(!ran.readAll().contains("drop"));
    QVERIFY(QFile::exists(m_root->file("opt/Brevin/data/plu.csv")));
}

void tst_maintenancelock::killedPanelHoldsNothing()
{
    OwnProgram other;
    QVERIFY(startOther(other, "btn_back"));
    QTRY_VERIFY_WITH_TIMEOUT(dumpStarted(), 30000);
    QVERIFY(QFileInfo::exists(m_root->file("mnt/usb/BackupData.new")));
    other.kill();
    QVERIFY(!other.isRunning());

    // The stub of the killed panel still runs (its process group was not ours to end): let
    // it go, and the next dumps run through.
    release();
    auto panel = makeRootedPanel(*m_root);
    ModalCloser closer;
    clickMaintenance(panel.get(), "btn_back");
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().text.startsWith(QStringLiteral("Backup Ok\n")),
             qPrintable(closer.boxes.first().text));
    QVERIFY(QFile::exists(m_root->file("mnt/usb/BackupData/manifest.mtree")));
    QVERIFY(!QFileInfo::exists(m_root->file("mnt/usb/BackupData.new")));
}

QTEST_MAIN(tst_maintenancelock)
#include "tst_maintenancelock.moc"
