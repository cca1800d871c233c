#include "maintenance/backup/devicebackup.h"
#include "maintenance/database/databaserestore.h"
#include "maintenance/fs/treeremover.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/restore/devicerestore.h"
#include "maintenance/restore/treereplacer.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/deviceclear.h"
#include "maintenance/system/devicecommands.h"
#include "app/language.h"
#include "panel/maintenancetext.h"
#include "panel/sendordertoprinter_test.h"

#include "modalcloser.h"
#include "mysqlclient.h"
#include "ownprogram.h"
#include "systemroot.h"
#include "treesnapshot.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>

// A restore killed (SIGKILL, as a power loss stops it) at each of its steps and at several
// instants of each dump's load, in a child process (restorechild), then what a technician might
// do next: Backup and Clear Data refuse, the stick's set is as it was, and Restore brings /opt
// and both databases to all old or all new and says which. Real runs: a stick in a private
// mount namespace, the throwaway MariaDB server of the mariadb fixture.

namespace {

const char newAppdb[] = R"SQL(
CREATE TABLE sales (id INT PRIMARY KEY, amount DECIMAL(10,2), note VARCHAR(60));
CREATE TABLE log (id INT AUTO_INCREMENT PRIMARY KEY, msg TEXT);
CREATE TRIGGER sales_logged AFTER INSERT ON sales FOR EACH ROW
  INSERT INTO log (msg) VALUES (CONCAT('sale ', NEW.id));
CREATE PROCEDURE add_sale(IN a DECIMAL(10,2)) INSERT INTO sales (id, amount) VALUES (0, a);
CREATE VIEW big_sales AS SELECT id, amount FROM sales WHERE amount > 100;
CREATE EVENT nightly ON SCHEDULE EVERY 1 DAY STARTS '2030-01-01 03:00:00'
  DO DELETE FROM log WHERE id < 0;
)SQL";

const char oldAppdb[] = R"SQL(
CREATE TABLE sales (id INT PRIMARY KEY, amount DECIMAL(10,2), note VARCHAR(60));
CREATE TABLE old_only (k INT);
INSERT INTO sales VALUES (1, 9.99, 'the device has moved on'), (2, 1.00, 'Käse');
CREATE PROCEDURE old_proc() SELECT 1;
CREATE VIEW old_view AS SELECT k FROM old_only;
)SQL";

const char newMisc[] = R"SQL(
CREATE TABLE settings (k VARCHAR(50) PRIMARY KEY, v VARCHAR(200));
INSERT INTO settings VALUES ('greeting', 'Grüße aus Köln'), ('shop', 'Łódź 1');
)SQL";

const char oldMisc[] = R"SQL(
CREATE TABLE settings (k VARCHAR(50) PRIMARY KEY, v VARCHAR(200));
INSERT INTO settings VALUES ('greeting', 'changed since');
)SQL";

// Restored views, routines, triggers and events are made by the loading account.
QByteArray definedAsRestored(QByteArray dump)
{
    return dump.replace("`root`@`localhost`", "`servicepanel_data`@`localhost`");
}

} // namespace

class tst_restorekill : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void killedAnywhere_data();
    void killedAnywhere();
    void panelAfterAKill_data();
    void panelAfterAKill();
    void pinnedSwapFollowsTheJournal_data();
    void pinnedSwapFollowsTheJournal();

private:
    struct DeviceState
    {
        QMap<QByteArray, QByteArray> opt;
        QByteArray appdb;
        QByteArray misc;
        bool operator==(const DeviceState &other) const
        {
            return opt == other.opt && appdb == other.appdb && misc == other.misc;
        }
    };

    DeviceState deviceState();
    QString describe(const DeviceState &state);
    void resetDevice();
    // Runs the restore in a child that dies at `point`; true when it was killed.
    bool runChild(const QString &point, QByteArray *output = nullptr);
    void reapOrphans();
    void verifyNothingLeft();
    // Backup and Clear Data refuse, and the stick's set stays as it was.
    void verifyOthersRefuse();

    std::unique_ptr<TestSystemRoot> m_root;
    QTemporaryDir m_reserve; // the device as it is before the restore
    QMap<QByteArray, QByteArray> m_stick;
    DeviceState m_old;
    DeviceState m_new;
    int m_commands = 0;
    int m_journals = 0;
    qint64 m_appdbSize = 0;
    qint64 m_treeBytes = 0;
    bool m_rootUser = false;
    bool m_subreaper = false;
    QByteArray m_mark; // in the environment of every process the child starts
};

tst_restorekill::DeviceState tst_restorekill::deviceState()
{
    DeviceState state;
    TreeSnapshot::Options options;
    options.owners = m_rootUser;
    const TreeSnapshot tree(bytes(m_root->file("opt")), options);
    state.opt =
        tree.isValid() ? tree.entries() : QMap<QByteArray, QByteArray>{{"error", tree.error()}};
    state.appdb = definedAsRestored(fullDump("appdb"));
    state.misc = definedAsRestored(fullDump("Misc"));
    return state;
}

QString tst_restorekill::describe(const DeviceState &state)
{
    const auto part = [](bool isOld, bool isNew) {
        return QLatin1String(isOld ? "old" : isNew ? "new" : "mixed");
    };
    return QStringLiteral("opt %1, appdb %2, Misc %3")
        .arg(part(state.opt == m_old.opt, state.opt == m_new.opt),
             part(state.appdb == m_old.appdb, state.appdb == m_new.appdb),
             part(state.misc == m_old.misc, state.misc == m_new.misc));
}

void tst_restorekill::resetDevice()
{
    UniqueFd root(::open(bytes(m_root->path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const char *name : {"opt", ".opt.servicepanel-new", ".opt.servicepanel-old"}) {
        TreeRemover remover;
        QVERIFY(remover.remove(root.get(), name));
    }
    QVERIFY(QDir(m_root->file("var/backups/servicepanel")).removeRecursively());
    QCOMPARE(QProcess::execute("cp", {"-a", m_reserve.filePath("opt"), m_root->file("opt")}), 0);
    QByteArray drop;
    for (const QString &database : maintainedDatabases())
        drop += "DROP DATABASE IF EXISTS " + DatabaseRestore::stagingName(database).toLatin1() +
                "; DROP DATABASE IF EXISTS " + DatabaseRestore::oldName(database).toLatin1() + ";";
    QVERIFY(sql(QString::fromLatin1(drop) + "DROP DATABASE IF EXISTS appdb; DROP DATABASE IF "
                                            "EXISTS Misc; CREATE DATABASE appdb; CREATE "
                                            "DATABASE Misc;"));
    QVERIFY(sql(QString::fromUtf8(oldAppdb), "appdb"));
    QVERIFY(sql(QString::fromUtf8(oldMisc), "Misc"));
}

namespace {

// Whether a process other than this one still has `mark` in its environment.
bool markedProcessLeft(const QByteArray &mark)
{
    const QByteArray self = QByteArray::number(::getpid());
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &pid : pids) {
        if (pid.isEmpty() || !pid.at(0).isDigit() || pid.toLatin1() == self)
            continue;
        QFile environment(QStringLiteral("/proc/%1/environ").arg(pid));
        if (environment.open(QIODevice::ReadOnly) && environment.readAll().contains(mark))
            return true;
    }
    return false;
}

} // namespace

void tst_restorekill::reapOrphans()
{
    // A client the child started goes on after the child died (it reads an end of input):
    // it is ours now (a subreaper), and what it still does is done before anything is checked.
    // Where this cannot be a subreaper (qemu-user refuses it), such a client is known by the
    // mark it inherited.
    QElapsedTimer clock;
    clock.start();
    while (!m_subreaper && clock.elapsed() < 60000) {
        if (!markedProcessLeft(m_mark))
            return;
        QThread::msleep(10);
    }
    while (m_subreaper && clock.elapsed() < 60000) {
        int status = 0;
        const pid_t done = ::waitpid(-1, &status, WNOHANG);
        if (done < 0 && errno == ECHILD)
            return;
        if (done == 0)
            QThread::msleep(10);
    }
    QFAIL("a client of the killed restore did not end");
}

bool tst_restorekill::runChild(const QString &point, QByteArray *output)
{
    OwnProgram child;
    if (!child.start(QStringLiteral(RESTORECHILD_EXE), {m_root->path(), point})) {
        qWarning("restorechild cannot be started");
        return false;
    }
    if (!child.waitForFinished(300000))
        qWarning("restorechild still runs");
    reapOrphans();
    if (output)
        *output = child.readAllStandardOutput() + child.readAllStandardError();
    return !child.exitedNormally();
}

void tst_restorekill::verifyNothingLeft()
{
    QVERIFY(!DeviceRestore::isUnfinished(m_root->path()));
    QVERIFY(!QFileInfo::exists(m_root->file("var/backups/servicepanel")));
    QVERIFY(!QFileInfo::exists(m_root->file(".opt.servicepanel-new")));
    QVERIFY(!QFileInfo::exists(m_root->file(".opt.servicepanel-old")));
    QByteArray databases;
    QVERIFY(sql("SHOW DATABASES;", QString(), &databases));
    QVERIFY2(!databases.contains("servicepanel_"), databases.constData());
    QByteArray locked;
    QVERIFY(sql("SELECT JSON_VALUE(Priv, '$.account_locked') FROM mysql.global_priv "
                "WHERE user = 'servicepanel_data';",
                QString(), &locked));
    QCOMPARE(locked.trimmed(), QByteArray("1"));
}

void tst_restorekill::verifyOthersRefuse()
{
    SystemCommandRunner runner;
    DeviceBackup backup(runner, m_root->path());
    QVERIFY(!backup.checkStick());
    QVERIFY(!backup.run());
    QCOMPARE(MaintenanceText::lines(backup.problems()).value(0),
             QStringLiteral("The last restore did not finish. Run Restore first: it puts /opt "
                            "and the databases appdb and Misc right."));
    DeviceClear clear(runner, m_root->path());
    QVERIFY(!clear.check());
    QVERIFY(!clear.run());
    QCOMPARE(clear.problems().value(0).kind, JobProblem::Kind::RestoreUnfinished);
    QCOMPARE(TreeSnapshot(bytes(m_root->file("mnt/usb"))).entries(), m_stick);
}

void tst_restorekill::initTestCase()
{
    const QString missing = missingStickOrServer();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_subreaper = ::prctl(PR_SET_CHILD_SUBREAPER, 1) == 0;
    m_mark = "SERVICEPANEL_RESTOREKILL=" + QByteArray::number(::getpid());
    qputenv("SERVICEPANEL_RESTOREKILL", QByteArray::number(::getpid()));
    m_rootUser = isMachineRoot();
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid() && m_root->plugNode() && m_root->mountStick());

    // What the stick will hold: the device as it was at the backup.
    m_root->writeFile("opt/Brevin/bin/app", "#!/bin/sh\necho weighing\n");
    m_root->writeFile("opt/Brevin/etc/app.conf", "port=/dev/ttyS1\n");
    m_root->writeFile("opt/Brevin/data/journal.bin", QByteArray(300000, 'j'));
    m_root->writeFile("opt/other-vendor/readme.txt", "not the main application");
    QVERIFY(sql("DROP DATABASE IF EXISTS appdb; DROP DATABASE IF EXISTS Misc;"
                "CREATE DATABASE appdb; CREATE DATABASE Misc;"));
    QVERIFY(sql(QString::fromUtf8(newAppdb), "appdb"));
    QByteArray rows = "INSERT INTO sales (id, amount, note) VALUES ";
    for (int id = 1; id <= 4000; ++id)
        rows += (id > 1 ? ",(" : "(") + QByteArray::number(id) + ", " +
                QByteArray::number(id % 500) + ".50, 'note " + QByteArray::number(id) + "')";
    QVERIFY(sql(QString::fromLatin1(rows + ";"), "appdb"));
    QVERIFY(sql(QString::fromUtf8(newMisc), "Misc"));
    {
        SystemCommandRunner runner;
        DeviceBackup backup(runner, m_root->path());
        QVERIFY(backup.checkStick());
        QVERIFY2(backup.run(), qPrintable(MaintenanceText::backup(backup).join('\n')));
    }
    m_stick = TreeSnapshot(bytes(m_root->file("mnt/usb"))).entries();
    m_appdbSize = QFileInfo(dumpFile(m_root->path(), "appdb")).size();
    m_treeBytes = 300000;

    // The device has moved on since.
    m_root->writeFile("opt/Brevin/etc/app.conf", "changed since the backup\n");
    m_root->writeFile("opt/Brevin/new-since.txt", "goes with the restore");
    QVERIFY(QFile::remove(m_root->file("opt/Brevin/bin/app")));
    QCOMPARE(QProcess::execute("cp", {"-a", m_root->file("opt"), m_reserve.filePath("opt")}), 0);
    resetDevice();
    m_old = deviceState();

    // A whole restore: how many commands and journal entries it takes, and what it leaves.
    QByteArray output;
    QVERIFY(!runChild("none", &output));
    QVERIFY2(output.contains("commands "), output.constData());
    const QList<QByteArray> counts = output.mid(output.lastIndexOf("commands ")).split(' ');
    m_commands = counts.value(1).toInt();
    m_journals = counts.value(3).trimmed().toInt();
    QVERIFY2(m_commands > 10 && m_journals >= 5, output.constData());
    verifyNothingLeft();
    m_new = deviceState();
    QVERIFY(!(m_new == m_old));
    QVERIFY(m_new.appdb.contains("INSERT INTO `sales`") && m_new.appdb.contains("big_sales"));
}

void tst_restorekill::init()
{
    resetDevice();
}

void tst_restorekill::cleanupTestCase()
{
    if (m_root)
        resetDevice();
    m_root.reset();
}

void tst_restorekill::killedAnywhere_data()
{
    QTest::addColumn<QString>("point");
#ifdef PANEL_TEST_EMULATOR
    // Under an emulator every command takes long: every third, still each journal entry.
    const int step = 3;
#else
    const int step = 1;
#endif
    for (int command = 1; command <= m_commands; command += step)
        QTest::addRow("before command %d", command) << QStringLiteral("command:%1").arg(command);
    for (int journal = 1; journal <= m_journals; ++journal)
        QTest::addRow("after journal entry %d", journal)
            << QStringLiteral("journal:%1").arg(journal);
    for (const qint64 at : {qint64(1), m_appdbSize / 3, m_appdbSize * 2 / 3, m_appdbSize - 100})
        QTest::addRow("appdb loaded to byte %lld", at) << QStringLiteral("load:appdb:%1").arg(at);
    for (const qint64 at : {qint64(1), qint64(200), qint64(600)})
        QTest::addRow("Misc loaded to byte %lld", at) << QStringLiteral("load:Misc:%1").arg(at);
    QTest::newRow("half the tree restored") << QStringLiteral("tree:%1").arg(m_treeBytes / 2);
}

void tst_restorekill::killedAnywhere()
{
    QFETCH(QString, point);
    QByteArray output;
    QVERIFY2(runChild(point, &output), output.constData());
    if (!DeviceRestore::isUnfinished(m_root->path())) {
        // Killed before its journal began, or after it ended: all one or the other already.
        const DeviceState state = deviceState();
        QVERIFY2(state == m_old || state == m_new, qPrintable(describe(state)));
        verifyNothingLeft();
        return;
    }
    verifyOthersRefuse();
    SystemCommandRunner runner;
    DeviceRestore restore(runner, m_root->path());
    const DeviceRestore::Recovery recovery = restore.finishUnfinished();
    QVERIFY2(recovery == DeviceRestore::Recovery::Finished ||
                 recovery == DeviceRestore::Recovery::Undone,
             qPrintable(MaintenanceText::unfinishedRestore(restore, recovery).join('\n')));
    const DeviceState state = deviceState();
    const DeviceState &expected = recovery == DeviceRestore::Recovery::Finished ? m_new : m_old;
    QVERIFY2(state == expected, qPrintable(describe(state)));
    verifyNothingLeft();
    // Nothing is left to put right, and the stick was never needed.
    QCOMPARE(restore.finishUnfinished(), DeviceRestore::Recovery::None);
    QCOMPARE(TreeSnapshot(bytes(m_root->file("mnt/usb"))).entries(), m_stick);
}

void tst_restorekill::panelAfterAKill_data()
{
    QTest::addColumn<QString>("point");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("finished");
    QTest::addColumn<QString>("language");
    QTest::newRow("killed while staging")
        << QStringLiteral("load:appdb:%1").arg(m_appdbSize / 2)
        << "The last restore did not finish. It is undone now: /opt and the databases appdb and "
           "Misc are as they were before it."
        << false << "en";
    // The journal's third entry from the end: appdb switched, Misc not yet.
    const QString switching = QStringLiteral("journal:%1").arg(m_journals - 3);
    QTest::newRow("killed while switching")
        << switching
        << "The last restore did not finish. It is finished now: /opt and the databases appdb "
           "and Misc hold the backup it restored."
        << true << "en";
    QTest::newRow("killed while switching, in Chinese")
        << switching
        << QStringLiteral("上次恢复没有完成。现已完成：/opt 以及数据库 appdb 和 Misc "
                          "为其恢复的备份。")
        << true << "zh_CN";
}

// Through the panel, as the technician sees it: a box at start, Backup and Clear Data refuse
// with a box, and Restore puts it right without a stick, saying which way.
void tst_restorekill::panelAfterAKill()
{
    QFETCH(QString, point);
    QFETCH(QString, box);
    QFETCH(bool, finished);
    QFETCH(QString, language);
    QVERIFY(runChild(point));
    QVERIFY(DeviceRestore::isUnfinished(m_root->path()));
    QVERIFY(installLanguage(language));
    struct English
    {
        ~English() { installLanguage(QStringLiteral("en")); }
    } english;
    auto panel = makeRootedPanel(*m_root);
    const QString refusal =
        language == "en"
            ? QStringLiteral("The last restore did not finish. Run Restore first: it puts /opt "
                             "and the databases appdb and Misc right.")
            : QStringLiteral("上次恢复没有完成。请先运行恢复：它会修复 /opt 以及数据库 appdb 和 "
                             "Misc。");
    const QString shots = qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath()) + '/' +
                          (language == "en" ? QString() : language + '-');
    {
        ModalCloser closer;
        closer.boxPicture = shots + "restore-unfinished.png";
        closer.pictureScreen = QSize(800, 480);
        panel->warnOfUnfinishedRestore();
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes.first().text, refusal);
    }
    for (const char *button : {"btn_back", "btn_clear"}) {
        ModalCloser closer;
        clickMaintenance(panel.get(), button);
        QCOMPARE(closer.questions.size(), 0);
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes.first().failure, true);
        QCOMPARE(closer.boxes.first().text, refusal);
    }
    QCOMPARE(TreeSnapshot(bytes(m_root->file("mnt/usb"))).entries(), m_stick);
    // No stick is needed to put it right.
    m_root->unplugNodes();
    {
        ModalCloser closer;
        closer.boxPicture = shots + (finished ? "restore-finished.png" : "restore-undone.png");
        closer.pictureScreen = QSize(800, 480);
        clickMaintenance(panel.get(), "btn_reduction");
        QCOMPARE(closer.questions.size(), 0);
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes.first().failure, false);
        QCOMPARE(closer.boxes.first().text, box);
    }
    QVERIFY(m_root->plugNode());
    const DeviceState state = deviceState();
    QVERIFY2(state == (finished ? m_new : m_old), qPrintable(describe(state)));
    verifyNothingLeft();
    {
        ModalCloser closer;
        panel->warnOfUnfinishedRestore();
        QCOMPARE(closer.boxes.size(), 0);
    }
}

void tst_restorekill::pinnedSwapFollowsTheJournal_data()
{
    // Where the entries of a folder that stays (a mount point) are when the power goes: the
    // swap moves the old ones out, then the new ones in, one by one.
    QTest::addColumn<QStringList>("out"); // old entries already moved out
    QTest::addColumn<QStringList>("in");  // new entries already moved in; empty: not begun
    QTest::addColumn<bool>("moving");     // the new entries' folder is renamed for moving in
    QTest::newRow("staged") << QStringList() << QStringList() << false;
    QTest::newRow("one old entry out") << QStringList{"a.txt"} << QStringList() << false;
    QTest::newRow("all old entries out")
        << QStringList{"a.txt", "b.txt", "sub"} << QStringList() << false;
    QTest::newRow("moving in, none yet")
        << QStringList{"a.txt", "b.txt", "sub"} << QStringList() << true;
    QTest::newRow("one new entry in")
        << QStringList{"a.txt", "b.txt", "sub"} << QStringList{"x.txt"} << true;
    QTest::newRow("all new entries in")
        << QStringList{"a.txt", "b.txt", "sub"} << QStringList{"x.txt", "y"} << true;
}

void tst_restorekill::pinnedSwapFollowsTheJournal()
{
    QFETCH(QStringList, out);
    QFETCH(QStringList, in);
    QFETCH(bool, moving);
    for (const bool forward : {true, false}) {
        QTemporaryDir device;
        const QString opt = device.filePath("opt");
        QVERIFY(QDir().mkpath(opt));
        QCOMPARE(QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=8m", "partition", opt}), 0);
        struct Unmount
        {
            QString point;
            ~Unmount() { QProcess::execute("umount", {point}); }
        } unmount{opt};
        const auto write = [&](const QString &relative, const QByteArray &content) {
            QDir().mkpath(QFileInfo(opt + "/" + relative).path());
            QFile file(opt + "/" + relative);
            return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
        };
        QVERIFY(write("a.txt", "a") && write("b.txt", "b") && write("sub/c.txt", "c"));
        {
            TreeReplacer replacer(opt);
            QVERIFY(replacer.plan());
            QVERIFY(!replacer.isBeside());
            QVERIFY(replacer.stage());
            replacer.discard();
            // A staged tree as restore() leaves it, and the swap as far as it got.
            QVERIFY(QDir().mkpath(opt + "/.servicepanel-restore-new"));
        }
        QVERIFY(write(".servicepanel-restore-new/x.txt", "x") &&
                write(".servicepanel-restore-new/y/z.txt", "z"));
        if (!out.isEmpty())
            QVERIFY(QDir().mkpath(opt + "/.servicepanel-restore-old"));
        for (const QString &name : out)
            QVERIFY(QDir().rename(opt + "/" + name, opt + "/.servicepanel-restore-old/" + name));
        QString staging = opt + "/.servicepanel-restore-new";
        if (moving) {
            QVERIFY(QDir().rename(staging, opt + "/.servicepanel-restore-moving"));
            staging = opt + "/.servicepanel-restore-moving";
        }
        for (const QString &name : in)
            QVERIFY(QDir().rename(staging + "/" + name, opt + "/" + name));

        TreeReplacer replacer(opt);
        QVERIFY(replacer.plan());
        QVERIFY2(forward ? replacer.finish(0) : replacer.undo(0),
                 qPrintable(QString::fromLocal8Bit(replacer.errorPath())));
        QVERIFY(replacer.removeWork());
        const QStringList entries =
            QDir(opt).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        QCOMPARE(entries,
                 forward ? QStringList({"x.txt", "y"}) : QStringList({"a.txt", "b.txt", "sub"}));
        QFile kept(opt + (forward ? "/y/z.txt" : "/sub/c.txt"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray(forward ? "z" : "c"));
    }
}

QTEST_MAIN(tst_restorekill)
#include "tst_restorekill.moc"
