#include "maintenance/database/databaserestore.h"
#include "maintenance/database/loadingaccount.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"
#include "panel/maintenancetext.h"
#include "panel/sendordertoprinter_test.h"

#include "hookedrunner.h"
#include "modalcloser.h"
#include "mysqlclient.h"
#include "systemroot.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// Real loads of dumps into the throwaway MariaDB server of the mariadb fixture (reached
// through HOME/.my.cnf), each streamed once into its staging database and switched in by
// renames: hostile and damaged dumps change nothing, a failure half-way puts the previous data
// back, views, routines, events and triggers survive both ways, events never run in a staging
// database, and a stopped server makes every action fail within its time limit instead of
// freezing the panel.

using std::chrono::milliseconds;

namespace {

const char appdbContent[] = R"SQL(
CREATE TABLE sales (id INT AUTO_INCREMENT PRIMARY KEY, amount DECIMAL(10,2), note VARCHAR(50))
  DEFAULT CHARSET=utf8mb4;
INSERT INTO sales VALUES (1, 2.50, 'a''b;c'), (2, 3.50, 'Käse \\ ok');
CREATE TABLE log (id INT AUTO_INCREMENT PRIMARY KEY, msg TEXT);
DELIMITER //
CREATE TRIGGER sales_logged AFTER INSERT ON sales FOR EACH ROW
BEGIN
  INSERT INTO log (msg) VALUES (CONCAT('sale ', NEW.id));
END//
CREATE PROCEDURE add_sale(IN a DECIMAL(10,2))
BEGIN
  INSERT INTO appdb.sales (amount, note) VALUES (a, 'by procedure');
END//
CREATE FUNCTION doubled(x INT) RETURNS INT DETERMINISTIC RETURN x * 2//
CREATE EVENT nightly ON SCHEDULE EVERY 1 DAY STARTS '2030-01-01 03:00:00'
  DO DELETE FROM log WHERE id < 0//
DELIMITER ;
CREATE VIEW dear_sales AS SELECT id, amount FROM sales WHERE amount > 3;
)SQL";

const char miscContent[] = R"SQL(
CREATE TABLE settings (k VARCHAR(50) PRIMARY KEY, v VARCHAR(200)) DEFAULT CHARSET=utf8mb4;
INSERT INTO settings VALUES ('greeting', 'Grüße aus Köln'), ('shop', 'Łódź 1');
)SQL";

// Stops the fixture's server (SIGSTOP) for as long as it lives; always lets it go on after.
class StoppedServer
{
public:
    StoppedServer()
    {
        const QString dir = qEnvironmentVariable("PANEL_TEST_MARIADB_DIR");
        QFile pidFile(dir + "/server.pid");
        if (!pidFile.open(QIODevice::ReadOnly))
            return;
        const int pid = pidFile.readAll().trimmed().toInt();
        // Only the server this test run started: its command line names the fixture folder.
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (pid <= 0 || !cmdline.open(QIODevice::ReadOnly) ||
            !cmdline.readAll().contains(QFile::encodeName("--datadir=" + dir + "/data")))
            return;
        if (::kill(pid, SIGSTOP) == 0)
            m_pid = pid;
    }
    ~StoppedServer() { resume(); }
    bool isStopped() const { return m_pid > 0; }
    void resume()
    {
        if (m_pid > 0)
            ::kill(m_pid, SIGCONT);
        m_pid = 0;
    }

private:
    int m_pid = 0;
};

} // namespace

class tst_databaserestore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void roundTripKeepsViewsRoutinesEventsTriggers();
    void hostileDumpsChangeNothing_data();
    void hostileDumpsChangeNothing();
    void changedDumpNeverRunsItsLastStatement();
    void eventsDoNotRunInTheStagingDatabase();
    void failureWhileSwitchingPutsAllBack();
    void backAfterTheSwitch();
    void switchesFinishFromWhereTheyStopped();
    void restoreOntoAnEmptyServer();
    void serverKeepsTheLoadInside_data();
    void serverKeepsTheLoadInside();
    void definersAreTheLoadingAccount();
    void stoppedServer_data();
    void stoppedServer();
    void stoppedServerFailsPanelActions_data();
    void stoppedServerFailsPanelActions();

private:
    QString value(const QString &query);
    void writeStickDump(const QString &database, const QByteArray &content);
    QByteArray backupDump(const QString &database);
    QStringList databases();
    QString serverState();
    // The dump on the stick as the set's check would vouch for it: its SHA-256 and size.
    QByteArray stickSha256(const QString &database);
    qint64 stickSize(const QString &database);
    // Streams both dumps into their staging databases; false at the first that fails.
    bool stage(DatabaseRestore &restore);
    // The whole database part of a restore: staged, prepared and switched.
    bool restoreBoth(DatabaseRestore &restore);
    QString problems(const DatabaseRestore &restore) const;
    // Nothing of the work stays: no staging or old database, no file in the work folder.
    void verifyNothingLeft();

    std::unique_ptr<QTemporaryDir> m_stick;
    std::unique_ptr<QTemporaryDir> m_device;
    SystemCommandRunner m_runner{std::chrono::seconds(120)};
};

QString tst_databaserestore::value(const QString &query)
{
    QByteArray output;
    if (!sql(query, QString(), &output))
        return QStringLiteral("(failed)");
    return QString::fromUtf8(output.trimmed());
}

QStringList tst_databaserestore::databases()
{
    return value(QStringLiteral("SHOW DATABASES;")).split(QLatin1Char('\n'));
}

// What a backup writes onto the stick.
QByteArray tst_databaserestore::backupDump(const QString &database)
{
    QProcess dump;
    dump.start(QStringLiteral("mysqldump"),
               {QStringLiteral("--routines"), QStringLiteral("--events"),
                QStringLiteral("--triggers"), database});
    dump.waitForFinished(120000);
    return dump.readAllStandardOutput();
}

void tst_databaserestore::writeStickDump(const QString &database, const QByteArray &content)
{
    QFile file(m_stick->filePath(database + ".sql"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), qint64(content.size()));
}

QByteArray tst_databaserestore::stickSha256(const QString &database)
{
    // A FIFO in its place would hold the test.
    const QFileInfo info(m_stick->filePath(database + ".sql"));
    QFile file(info.filePath());
    if (!info.isFile() || info.isSymLink() || !file.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex();
}

qint64 tst_databaserestore::stickSize(const QString &database)
{
    return QFileInfo(m_stick->filePath(database + ".sql")).size();
}

bool tst_databaserestore::stage(DatabaseRestore &restore)
{
    if (!restore.begin() || !restore.makeStaging())
        return false;
    for (const QString &database : maintainedDatabases()) {
        if (!restore.load(database, m_stick->filePath(database + ".sql"), stickSha256(database),
                          stickSize(database)))
            return false;
    }
    return true;
}

bool tst_databaserestore::restoreBoth(DatabaseRestore &restore)
{
    if (!stage(restore) || !restore.prepareSwitch())
        return false;
    for (const QString &database : maintainedDatabases()) {
        if (!restore.switchForward(database))
            return false;
    }
    return restore.finish();
}

QString tst_databaserestore::problems(const DatabaseRestore &restore) const
{
    return MaintenanceText::lines(restore.problems()).join('\n');
}

void tst_databaserestore::verifyNothingLeft()
{
    for (const QString &database : maintainedDatabases()) {
        QVERIFY(!databases().contains(DatabaseRestore::stagingName(database)));
        QVERIFY(!databases().contains(DatabaseRestore::oldName(database)));
    }
    QCOMPARE(QDir(m_device->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
             QStringList());
    // The account is locked again, and its password is nowhere on the device.
    QCOMPARE(value("SELECT JSON_VALUE(Priv, '$.account_locked') FROM mysql.global_priv "
                   "WHERE user = 'servicepanel_data';"),
             QStringLiteral("1"));
}

void tst_databaserestore::initTestCase()
{
    if (qEnvironmentVariable("PANEL_TEST_MARIADB_DIR").isEmpty())
        QSKIP("no throwaway MariaDB server: run through ctest (the mariadb fixture)");
    QVERIFY2(QFile::exists(QDir::homePath() + "/.my.cnf"), "HOME has no .my.cnf");
    QByteArray socket;
    QVERIFY2(sql("SELECT @@socket;", QString(), &socket), "the throwaway server does not answer");
}

void tst_databaserestore::init()
{
    m_stick = std::make_unique<QTemporaryDir>();
    m_device = std::make_unique<QTemporaryDir>();
    QVERIFY(sql("DROP DATABASE IF EXISTS appdb; DROP DATABASE IF EXISTS Misc;"
                "DROP DATABASE IF EXISTS evil; CREATE DATABASE appdb; CREATE DATABASE Misc;"));
    QVERIFY(sql(QString::fromUtf8(appdbContent), "appdb"));
    QVERIFY(sql(QString::fromUtf8(miscContent), "Misc"));
    // The backup the technician made earlier.
    writeStickDump("appdb", backupDump("appdb"));
    writeStickDump("Misc", backupDump("Misc"));
}

void tst_databaserestore::cleanup()
{
    m_stick.reset();
    m_device.reset();
}

void tst_databaserestore::roundTripKeepsViewsRoutinesEventsTriggers()
{
    // Everything comes back as it was, but made by the loading account.
    const QByteArray appdb =
        fullDump("appdb").replace("`root`@`localhost`", "`servicepanel_data`@`localhost`");
    const QByteArray misc = fullDump("Misc");
    QCOMPARE(value("SELECT COUNT(*) FROM information_schema.ROUTINES "
                   "WHERE ROUTINE_SCHEMA = 'appdb';"),
             QStringLiteral("2"));
    QVERIFY(sql("DROP PROCEDURE add_sale; DROP EVENT nightly; DROP TRIGGER sales_logged;"
                "DROP VIEW dear_sales; CREATE VIEW other AS SELECT 1; DELETE FROM sales;",
                "appdb"));
    QVERIFY(sql("UPDATE settings SET v = 'changed';", "Misc"));

    DatabaseRestore restore(m_runner, m_device->path(), maintainedDatabases());
    QVERIFY2(restoreBoth(restore), qPrintable(problems(restore)));
    QVERIFY(restore.sandboxed());

    QCOMPARE(fullDump("appdb"), appdb);
    QCOMPARE(fullDump("Misc"), misc);
    QCOMPARE(value("SELECT COUNT(*) FROM information_schema.ROUTINES "
                   "WHERE ROUTINE_SCHEMA = 'appdb';"),
             QStringLiteral("2"));
    QCOMPARE(value("SELECT COUNT(*) FROM information_schema.EVENTS WHERE EVENT_SCHEMA = 'appdb';"),
             QStringLiteral("1"));
    QCOMPARE(value("SELECT COUNT(*) FROM information_schema.TRIGGERS "
                   "WHERE TRIGGER_SCHEMA = 'appdb';"),
             QStringLiteral("1"));
    QCOMPARE(value("SELECT GROUP_CONCAT(TABLE_NAME) FROM information_schema.VIEWS "
                   "WHERE TABLE_SCHEMA = 'appdb';"),
             QStringLiteral("dear_sales"));
    // They work, too: the procedure inserts, the trigger logs it, the function computes, the
    // view reads the live table, not a staging one.
    QVERIFY(sql("CALL add_sale(7.25);", "appdb"));
    QCOMPARE(value("SELECT COUNT(*) FROM appdb.log;"), QStringLiteral("1"));
    QCOMPARE(value("SELECT appdb.doubled(21);"), QStringLiteral("42"));
    QCOMPARE(value("SELECT COUNT(*) FROM appdb.dear_sales;"), QStringLiteral("2"));
    QCOMPARE(value("SELECT VIEW_DEFINITION LIKE '%servicepanel%' FROM information_schema.VIEWS "
                   "WHERE TABLE_SCHEMA = 'appdb';"),
             QStringLiteral("0"));
    verifyNothingLeft();
}

void tst_databaserestore::hostileDumpsChangeNothing_data()
{
    // kind: "insert" puts text before the first INSERT of the stick's good dump, "late" puts it
    // after rows enough to be far into the stream, "replace" puts text in its place, "cut"
    // keeps its first half; the others make something else named <target>.sql.
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("kind");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("problem");

    const QByteArray marker = QFile::encodeName(QDir::tempPath()) + "/servicepanel-i10-pwned";
    QTest::newRow("client command \\!")
        << "appdb" << QByteArray("insert") << "\\! touch " + marker + "\n"
        << "the mysql client command \\!";
    QTest::newRow("client command system")
        << "appdb" << QByteArray("insert") << "system touch " + marker + "\n"
        << "the mysql client command system";
    QTest::newRow("client command far into the dump")
        << "appdb" << QByteArray("late") << "\\! touch " + marker + "\n"
        << "the mysql client command \\!";
    QTest::newRow("CREATE DATABASE evil")
        << "appdb" << QByteArray("insert") << QByteArray("CREATE DATABASE evil;\n")
        << "CREATE DATABASE";
    QTest::newRow("reaches Misc") << "appdb" << QByteArray("insert")
                                  << QByteArray("INSERT INTO Misc.settings VALUES ('evil', 'x');\n")
                                  << "the database Misc";
    // The same dump, with one statement in the middle that the server rejects.
    QTest::newRow("SQL error in the middle")
        << "appdb" << QByteArray("insert") << QByteArray("INSERT INTO no_such_table VALUES (1);\n")
        << "appdb.sql does not load: exit status 1: ERROR";
    // Strict mode: bytes that are not UTF-8 fail the load instead of becoming '?'.
    QTest::newRow("bytes not valid in the character set")
        << "appdb" << QByteArray("insert")
        << QByteArray("INSERT INTO sales VALUES (9, 1.00, 'K\xe4se\xff');\n")
        << "appdb.sql does not load: exit status 1: ERROR 1366";
    QTest::newRow("only the completion line")
        << "appdb" << QByteArray("replace")
        << QByteArray("-- Dump completed on 2024-05-02 10:00:00\n") << "header";
    QTest::newRow("cut short") << "appdb" << QByteArray("cut") << QByteArray()
                               << "appdb.sql refused: ";
    QTest::newRow("empty") << "Misc" << QByteArray("replace") << QByteArray() << "empty";
    QTest::newRow("FIFO") << "appdb" << QByteArray("fifo") << QByteArray() << "a FIFO";
    QTest::newRow("link to a good dump")
        << "Misc" << QByteArray("link") << QByteArray() << "a link";
    QTest::newRow("folder") << "appdb" << QByteArray("folder") << QByteArray() << "a folder";
    QTest::newRow("missing") << "Misc" << QByteArray("missing") << QByteArray() << "No such file";
}

void tst_databaserestore::hostileDumpsChangeNothing()
{
    QFETCH(QString, target);
    QFETCH(QByteArray, kind);
    QFETCH(QByteArray, text);
    QFETCH(QString, problem);
    const QString marker = QDir::tempPath() + "/servicepanel-i10-pwned";
    QFile::remove(marker);
    if (kind == "late") {
        // Rows enough that the refusal comes in a later piece of the stream than the first.
        QByteArray rows = "INSERT INTO log (msg) VALUES ";
        for (int i = 0; i < 20000; ++i)
            rows += (i ? ",('" : "('") + QByteArray(40, 'x') + "')";
        QVERIFY(sql(QString::fromLatin1(rows + ";"), "appdb"));
        writeStickDump("appdb", backupDump("appdb"));
    }
    const QString path = m_stick->filePath(target + ".sql");
    QFile stickFile(path);
    QVERIFY(stickFile.open(QIODevice::ReadOnly));
    QByteArray good = stickFile.readAll();
    stickFile.close();
    QVERIFY(good.contains("INSERT INTO"));
    QVERIFY(QFile::remove(path));
    if (kind == "insert") {
        writeStickDump(target, good.insert(good.indexOf("INSERT INTO"), text));
    } else if (kind == "late") {
        QVERIFY(good.indexOf("UNLOCK TABLES", good.indexOf("`log`")) > 512 * 1024);
        writeStickDump(target,
                       good.insert(good.indexOf("UNLOCK TABLES", good.indexOf("`log`")), text));
    } else if (kind == "replace") {
        writeStickDump(target, text);
    } else if (kind == "cut") {
        writeStickDump(target, good.left(good.size() / 2));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    } else if (kind == "link") {
        const QString elsewhere = m_stick->filePath("elsewhere.sql");
        QFile file(elsewhere);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(good);
        file.close();
        QVERIFY(QFile::link(elsewhere, path));
    } else if (kind == "folder") {
        QVERIFY(QDir().mkdir(path));
    }
    QVERIFY(sql("UPDATE sales SET note = 'changed since the backup' WHERE id = 1;", "appdb"));
    const QByteArray appdb = fullDump("appdb");
    const QByteArray misc = fullDump("Misc");
    const QString rows = value("SELECT COUNT(*) FROM appdb.sales;");
    QCOMPARE(rows, QStringLiteral("2"));

    DatabaseRestore restore(m_runner, m_device->path(), maintainedDatabases());
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!stage(restore));
    QVERIFY2(clock.elapsed() < 60000, "a FIFO or a hostile dump held the restore");
    QVERIFY2(problems(restore).contains(problem), qPrintable(problems(restore)));
    QVERIFY(restore.finish());
    // Nothing happened: no command ran, no database changed, no staging database stays.
    QVERIFY(!QFile::exists(marker));
    QCOMPARE(value("SELECT COUNT(*) FROM appdb.sales;"), rows);
    QCOMPARE(fullDump("appdb"), appdb);
    QCOMPARE(fullDump("Misc"), misc);
    QVERIFY(!databases().contains("evil"));
    verifyNothingLeft();
}

// Bytes that are not those the set's check vouched for: the load stops before the client
// has the last statement, so that it never runs, even into the staging database.
void tst_databaserestore::changedDumpNeverRunsItsLastStatement()
{
    // Rows enough for several statements of a few pieces each: the first ones are read and
    // run by the client long before the end (more than a pipe holds comes after them).
    for (int part = 0; part < 5; ++part) {
        QByteArray rows = "INSERT INTO log (msg) VALUES ";
        for (int i = 0; i < 20000; ++i)
            rows += (i ? ",('" : "('") + QByteArray(40, 'x') + "')";
        QVERIFY(sql(QString::fromLatin1(rows + ";"), "appdb"));
    }
    QByteArray dump = backupDump("appdb");
    const QByteArray last = "CREATE TABLE last_statement (id INT);\n";
    dump.insert(dump.lastIndexOf("/*!40103 SET TIME_ZONE=@OLD_TIME_ZONE"), last);
    writeStickDump("appdb", dump);
    const QByteArray vouched = stickSha256("appdb");
    dump.replace("'Käse \\\\ ok'", "'Kase \\\\ ok'");
    writeStickDump("appdb", dump);
    QVERIFY(stickSha256("appdb") != vouched);

    DatabaseRestore restore(m_runner, m_device->path(), maintainedDatabases());
    QVERIFY(restore.begin() && restore.makeStaging());
    QVERIFY(!restore.load("appdb", m_stick->filePath("appdb.sql"), vouched, stickSize("appdb")));
    QVERIFY2(problems(restore).contains("appdb.sql changed on the U disk after it was checked"),
             qPrintable(problems(restore)));
    const QString staging = DatabaseRestore::stagingName("appdb");
    // What came before was loaded: the client did run what it had; the last never came.
    QCOMPARE(value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                   staging + "' AND TABLE_NAME = 'log';"),
             QStringLiteral("1"));
    QCOMPARE(value("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = '" +
                   staging + "' AND TABLE_NAME = 'last_statement';"),
             QStringLiteral("0"));
    QVERIFY(restore.finish());
    verifyNothingLeft();
}

// An event a dump makes runs only once it is in the live database: in the staging database
// its definer, the loading account, has no right of its own.
void tst_databaserestore::eventsDoNotRunInTheStagingDatabase()
{
    QVERIFY(
        sql("CREATE TABLE ticks (at DATETIME(6));"
            "CREATE EVENT ticking ON SCHEDULE EVERY 1 SECOND DO INSERT INTO ticks VALUES (NOW(6));",
            "Misc"));
    writeStickDump("Misc", backupDump("Misc"));
    QVERIFY(sql("DROP EVENT ticking; DELETE FROM ticks;", "Misc"));
    QVERIFY(sql("SET GLOBAL event_scheduler = ON;"));
    struct SchedulerOff
    {
        ~SchedulerOff() { sql("SET GLOBAL event_scheduler = OFF;"); }
    } off;
    const QString staging = DatabaseRestore::stagingName("Misc");

    DatabaseRestore restore(m_runner, m_device->path(), maintainedDatabases());
    QVERIFY2(stage(restore), qPrintable(problems(restore)));
    QCOMPARE(value("SELECT STATUS FROM information_schema.EVENTS WHERE EVENT_SCHEMA = '" + staging +
                   "';"),
             QStringLiteral("ENABLED"));
    QTest::qWait(2500);
    QCOMPARE(value("SELECT COUNT(*) FROM " + staging + ".ticks;"), QStringLiteral("0"));
    QVERIFY2(restore.prepareSwitch(), qPrintable(problems(restore)));
    QTest::qWait(1500);
    QCOMPARE(value("SELECT COUNT(*) FROM " + staging + ".ticks;"), QStringLiteral("0"));
    for (const QString &database : maintainedDatabases())
        QVERIFY2(restore.switchForward(database), qPrintable(problems(restore)));
    QVERIFY(restore.finish());
    // Home, it runs.
    QTRY_VERIFY_WITH_TIMEOUT(value("SELECT COUNT(*) FROM Misc.ticks;").toInt() > 0, 10000);
    QVERIFY(sql("DROP EVENT ticking;", "Misc"));
    verifyNothingLeft();
}

// Misc's switch breaks after appdb's is done: both come back, with their views, routines,
// events and triggers.
void tst_databaserestore::failureWhileSwitchingPutsAllBack()
{
    QVERIFY(sql("INSERT INTO sales (amount, note) VALUES (9.99, 'after the backup');", "appdb"));
    QVERIFY(sql("INSERT INTO settings VALUES ('new', 'after the backup');", "Misc"));
    const QByteArray appdb = fullDump("appdb");
    const QByteArray misc = fullDump("Misc");

    DatabaseRestore restore(m_runner, m_device->path(), maintainedDatabases());
    QVERIFY2(stage(restore) && restore.prepareSwitch(), qPrintable(problems(restore)));
    // Misc's new definitions cannot be made.
    QFile definitions(m_device->filePath("Misc.new.sql"));
    QVERIFY(definitions.open(QIODevice::Append));
    definitions.write("CREATE PROCEDURE broken() NO SUCH BODY;\n");
    definitions.close();
    QVERIFY2(restore.switchForward("appdb"), qPrintable(problems(restore)));
    QCOMPARE(value("SELECT COUNT(*) FROM appdb.sales;"), QStringLiteral("2"));
    QVERIFY(!restore.switchForward("Misc"));
    QVERIFY2(problems(restore).contains("Misc cannot be replaced: exit status 1: ERROR"),
             qPrintable(problems(restore)));
    QVERIFY2(restore.switchBack("Misc"), qPrintable(problems(restore)));
    QCOMPARE(problems(restore), QStringLiteral("Misc has its previous data back"));
    QVERIFY2(restore.switchBack("appdb"), qPrintable(problems(restore)));
    QCOMPARE(problems(restore), QStringLiteral("appdb has its previous data back"));
    QVERIFY(restore.finish());
    QCOMPARE(fullDump("appdb"), appdb);
    QCOMPARE(fullDump("Misc"), misc);
    QCOMPARE(value("SELECT COUNT(*) FROM information_schema.ROUTINES "
                   "WHERE ROUTINE_SCHEMA = 'appdb';"),
             QStringLiteral("2"));
    verifyNothingLeft();
}

// A later step of the restore (the /opt swap) fails: the databases go back as well.
void tst_databaserestore::backAfterTheSwitch()
{
    QVERIFY(sql("DELETE FROM sales WHERE id = 2;", "appdb"));
    const QByteArray appdb = fullDump("appdb");
    const QByteArray misc = fullDump("Misc");
    DatabaseRestore restore(m_runner, m_device->path(), maintainedDatabases());
    QVERIFY(stage(restore) && restore.prepareSwitch());
    for (const QString &database : maintainedDatabases())
        QVERIFY(restore.switchForward(database));
    QCOMPARE(value("SELECT COUNT(*) FROM appdb.sales;"), QStringLiteral("2"));
    for (const QString &database : maintainedDatabases())
        QVERIFY2(restore.switchBack(database), qPrintable(problems(restore)));
    QVERIFY(restore.finish());
    QCOMPARE(fullDump("appdb"), appdb);
    QCOMPARE(fullDump("Misc"), misc);
    verifyNothingLeft();
}

// Either way may be taken again from wherever it stopped: half the definitions made, the
// renames done or not, the way back after part of the way forward.
void tst_databaserestore::switchesFinishFromWhereTheyStopped()
{
    const QByteArray oldAppdb = fullDump("appdb");
    QVERIFY(sql("DELETE FROM sales WHERE id = 2; DROP VIEW dear_sales;", "appdb"));
    const QByteArray changedAppdb = fullDump("appdb");
    DatabaseRestore restore(m_runner, m_device->path(), maintainedDatabases());
    QVERIFY(stage(restore) && restore.prepareSwitch());
    // Forward twice: the second finds the renames done and the definitions there.
    QVERIFY2(restore.switchForward("appdb"), qPrintable(problems(restore)));
    QVERIFY2(restore.switchForward("appdb"), qPrintable(problems(restore)));
    QByteArray newAppdb = fullDump("appdb");
    QCOMPARE(newAppdb.replace("`servicepanel_data`@`localhost`", "`root`@`localhost`"), oldAppdb);
    // Back twice, forward again, back again.
    QVERIFY2(restore.switchBack("appdb"), qPrintable(problems(restore)));
    QVERIFY2(restore.switchBack("appdb"), qPrintable(problems(restore)));
    QCOMPARE(fullDump("appdb"), changedAppdb);
    QVERIFY2(restore.switchForward("appdb"), qPrintable(problems(restore)));
    QVERIFY2(restore.switchBack("appdb"), qPrintable(problems(restore)));
    QCOMPARE(fullDump("appdb"), changedAppdb);
    // A database never switched goes back to itself.
    QVERIFY2(restore.switchBack("Misc"), qPrintable(problems(restore)));
    QVERIFY(restore.finish());
    QCOMPARE(fullDump("appdb"), changedAppdb);
    verifyNothingLeft();
}

// After Clear Data there is nothing to keep: a restore that goes back leaves no database.
void tst_databaserestore::restoreOntoAnEmptyServer()
{
    QVERIFY(sql("DROP DATABASE appdb; DROP DATABASE Misc;"));
    DatabaseRestore restore(m_runner, m_device->path(), maintainedDatabases());
    QVERIFY(stage(restore) && restore.prepareSwitch());
    QVERIFY(!restore.existed("appdb"));
    for (const QString &database : maintainedDatabases())
        QVERIFY2(restore.switchForward(database), qPrintable(problems(restore)));
    QCOMPARE(value("SELECT COUNT(*) FROM appdb.sales;"), QStringLiteral("2"));
    QVERIFY(restore.switchBack("appdb"));
    QCOMPARE(problems(restore), QStringLiteral("appdb is gone again, as before"));
    QVERIFY(restore.switchBack("Misc"));
    QVERIFY(restore.finish());
    QVERIFY(!databases().contains("appdb"));
    QVERIFY(!databases().contains("Misc"));
    verifyNothingLeft();
}

void tst_databaserestore::stoppedServer_data()
{
    QTest::addColumn<bool>("whileSwitching");
    QTest::newRow("before anything") << false;
    QTest::newRow("while switching") << true;
}

void tst_databaserestore::stoppedServer()
{
    QFETCH(bool, whileSwitching);
    const QByteArray appdb = fullDump("appdb");
    const QByteArray misc = fullDump("Misc");
    SystemCommandRunner runner(milliseconds(2000), milliseconds(500));
    DatabaseRestore restore(runner, m_device->path(), maintainedDatabases());
    if (whileSwitching)
        QVERIFY(stage(restore) && restore.prepareSwitch());

    StoppedServer stopped;
    QVERIFY(stopped.isStopped());
    QElapsedTimer clock;
    clock.start();
    const bool done = whileSwitching ? restore.switchForward("appdb") : restore.begin();
    const qint64 elapsed = clock.elapsed();
    stopped.resume();
    QVERIFY(!done);
    // A handful of commands, each stopped at 2 s: well under a minute, not for ever.
    QVERIFY2(elapsed < 60000, qPrintable(QString::number(elapsed)));
    QVERIFY2(problems(restore).contains("stopped after its time limit of 2 s"),
             qPrintable(problems(restore)));
    // Once the server answers again, the way back is there.
    if (whileSwitching) {
        QVERIFY2(restore.switchBack("appdb"), qPrintable(problems(restore)));
        QVERIFY(restore.finish());
    }
    QCOMPARE(fullDump("appdb"), appdb);
    QCOMPARE(fullDump("Misc"), misc);
}

QString tst_databaserestore::serverState()
{
    // The loading account is made by the first restore and changes its password each time.
    return value("SELECT GROUP_CONCAT(CONCAT(user, '@', host) ORDER BY user, host) "
                 "FROM mysql.user WHERE user <> 'servicepanel_data';") +
           '\n' +
           value("SELECT CONCAT_WS(' ', @@GLOBAL.max_connections, @@GLOBAL.general_log, "
                 "@@GLOBAL.read_only, @@GLOBAL.sql_mode, @@GLOBAL.init_connect);") +
           '\n' + value("SELECT GROUP_CONCAT(schema_name) FROM information_schema.SCHEMATA;") +
           '\n' + value("SELECT authentication_string FROM mysql.user WHERE user = 'root';");
}

void tst_databaserestore::serverKeepsTheLoadInside_data()
{
    // What the vetter would refuse, loaded as if it had missed it: the server must refuse it.
    // step: "staging" (the load from the stick) or "live" (the new objects' definitions,
    // made in the live database by the switch).
    QTest::addColumn<QByteArray>("step");
    QTest::addColumn<QByteArray>("text");
    const QByteArray file = QFile::encodeName(QDir::tempPath()) + "/servicepanel-i18-file";
    const QByteArray grant =
        "GRANT ALL PRIVILEGES ON *.* TO 'evil'@'localhost' IDENTIFIED BY 'x' WITH GRANT OPTION;\n";
    QTest::newRow("GRANT, live") << QByteArray("live") << grant;
    QTest::newRow("GRANT, staging") << QByteArray("staging") << grant;
    QTest::newRow("CREATE USER") << QByteArray("live")
                                 << QByteArray("CREATE USER 'evil'@'localhost';\n");
    QTest::newRow("SET GLOBAL") << QByteArray("live")
                                << QByteArray("SET GLOBAL max_connections = 77;\n");
    QTest::newRow("SET PASSWORD of root")
        << QByteArray("live")
        << QByteArray("SET PASSWORD FOR 'root'@'localhost' = PASSWORD('evil');\n");
    QTest::newRow("INTO OUTFILE") << QByteArray("live")
                                  << "SELECT 1 INTO OUTFILE '" + file + "';\n";
    QTest::newRow("LOAD DATA")
        << QByteArray("live")
        << QByteArray("LOAD DATA INFILE '/etc/hostname' INTO TABLE sales (note);\n");
    QTest::newRow("INSTALL PLUGIN")
        << QByteArray("live") << QByteArray("INSTALL SONAME 'ha_connect';\n");
    QTest::newRow("another database, live")
        << QByteArray("live") << QByteArray("USE Misc;\nDROP TABLE settings;\n");
    QTest::newRow("another database, staging")
        << QByteArray("staging") << QByteArray("USE Misc;\nDROP TABLE settings;\n");
    QTest::newRow("own database from the staging load")
        << QByteArray("staging") << QByteArray("DROP TABLE IF EXISTS appdb.sales;\n");
    QTest::newRow("definer root")
        << QByteArray("live")
        << QByteArray("CREATE DEFINER=`root`@`localhost` PROCEDURE evil() SQL SECURITY DEFINER "
                      "SET GLOBAL read_only = 1;\n");
    // Fired by the load's own INSERT.
    QTest::newRow("trigger setting globals")
        << QByteArray("live")
        << "CREATE TRIGGER evil BEFORE INSERT ON sales FOR EACH ROW SET @x = 1, "
           "GLOBAL max_connections = 77, GLOBAL general_log_file = '" +
               file + "', GLOBAL general_log = 1;\nINSERT INTO sales (amount) VALUES (1);\n";
    QTest::newRow("event as root")
        << QByteArray("live")
        << QByteArray("CREATE DEFINER=`root`@`localhost` EVENT evil ON SCHEDULE EVERY 1 MINUTE "
                      "DO SET GLOBAL init_connect = 'x';\n");
    QTest::newRow("the role for every database")
        << QByteArray("staging")
        << QByteArray("GRANT ALL PRIVILEGES ON *.* TO servicepanel_staging;\n");
}

// Statements from a stick run as an account that reaches only the database being loaded.
void tst_databaserestore::serverKeepsTheLoadInside()
{
    QFETCH(QByteArray, step);
    QFETCH(QByteArray, text);
    const QString file = QDir::tempPath() + "/servicepanel-i18-file";
    QFile::remove(file);
    const QByteArray appdb = fullDump("appdb");
    const QByteArray misc = fullDump("Misc");
    const QString before = serverState();

    HookedRunner runner(m_runner);
    // The staging load starts with our own session statements, then the dump; the live
    // definitions with the USE of their database.
    const QByteArray start =
        step == "staging" ? LoadingAccount::stagingSession(DatabaseRestore::stagingName("appdb"))
                          : QByteArray("USE `appdb`;\n");
    bool substituted = false;
    runner.changeInput = [&](const QByteArray &line, QByteArray input) {
        if (!line.contains(" --defaults-file=") || !input.startsWith(start) || substituted)
            return input;
        substituted = true;
        // Where no table is locked: just before the rows of sales, or first thing.
        const int at = input.indexOf("LOCK TABLES `sales`");
        return input.insert(step == "staging" && at > 0 ? at : start.size(), text);
    };
    DatabaseRestore restore(runner, m_device->path(), maintainedDatabases());
    const bool staged = stage(restore) && restore.prepareSwitch();
    QCOMPARE(staged, step == "live");
    const bool switched = staged && restore.switchForward("appdb");
    const QString failure = problems(restore);
    QVERIFY(substituted);
    QVERIFY(!switched);
    QVERIFY2(failure.contains("ERROR 1"), qPrintable(failure));
    if (staged)
        QVERIFY2(restore.switchBack("appdb"), qPrintable(problems(restore)));
    QVERIFY(restore.finish());
    QCOMPARE(serverState(), before);
    QCOMPARE(fullDump("appdb"), appdb);
    QCOMPARE(fullDump("Misc"), misc);
    QVERIFY(!QFile::exists(file));
    verifyNothingLeft();
}

// Views, routines, triggers and events restored run with the rights of the data, not root's.
void tst_databaserestore::definersAreTheLoadingAccount()
{
    QVERIFY(sql("CREATE DEFINER=`root`@`localhost` PROCEDURE who() SQL SECURITY DEFINER "
                "SELECT CURRENT_USER();"
                "CREATE DEFINER=`root`@`localhost` VIEW big_sales AS "
                "SELECT id FROM sales WHERE amount > 3;",
                "appdb"));
    writeStickDump("appdb", backupDump("appdb"));
    QVERIFY(backupDump("appdb").contains("DEFINER=`root`@`localhost`"));
    DatabaseRestore restore(m_runner, m_device->path(), maintainedDatabases());
    QVERIFY2(restoreBoth(restore), qPrintable(problems(restore)));

    const QString account = QStringLiteral("servicepanel_data@localhost");
    QCOMPARE(value("SELECT GROUP_CONCAT(DISTINCT DEFINER) FROM information_schema.ROUTINES "
                   "WHERE ROUTINE_SCHEMA = 'appdb';"),
             account);
    for (const char *table : {"VIEWS", "TRIGGERS", "EVENTS"}) {
        const QString schema = QString::fromLatin1(table).chopped(1) + "_SCHEMA";
        QCOMPARE(value(QStringLiteral("SELECT GROUP_CONCAT(DISTINCT DEFINER) FROM "
                                      "information_schema.%1 WHERE %2 = 'appdb';")
                           .arg(QLatin1String(table), QLatin1String(table) == QLatin1String("VIEWS")
                                                          ? QStringLiteral("TABLE_SCHEMA")
                                                          : schema)),
                 account);
    }
    QCOMPARE(value("CALL appdb.who();"), account);
    QCOMPARE(value("SELECT COUNT(*) FROM appdb.big_sales;"), QStringLiteral("1"));
    QVERIFY(sql("CALL add_sale(7.25);", "appdb"));
    // The account: the data databases, nothing global, no role, locked.
    const QString grants = value("SHOW GRANTS FOR 'servicepanel_data'@'localhost';");
    QVERIFY2(grants.contains("GRANT USAGE ON *.* TO `servicepanel_data`@`localhost` "
                             "IDENTIFIED BY PASSWORD"),
             qPrintable(grants));
    QVERIFY2(grants.contains("GRANT ALL PRIVILEGES ON `appdb`.* TO"), qPrintable(grants));
    QVERIFY2(grants.contains("GRANT ALL PRIVILEGES ON `Misc`.* TO"), qPrintable(grants));
    QCOMPARE(grants.count("GRANT "), 3);
    QCOMPARE(value("SELECT COUNT(*) FROM mysql.user WHERE user = 'servicepanel_staging';"),
             QStringLiteral("0"));
    verifyNothingLeft();
}

void tst_databaserestore::stoppedServerFailsPanelActions_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QString>("failure");
    QTest::newRow("clear data")
        << QByteArray("btn_clear")
        << "Database appdb not dropped: stopped after its time limit of 2 s";
    QTest::newRow("backup") << QByteArray("btn_back") << ": stopped after its time limit of 2 s";
    QTest::newRow("restore") << QByteArray("btn_reduction")
                             << "stopped after its time limit of 2 s";
}

// The panel answers with a Fail box instead of freezing for good.
void tst_databaserestore::stoppedServerFailsPanelActions()
{
    QFETCH(QByteArray, button);
    QFETCH(QString, failure);
    TestSystemRoot root;
    QVERIFY(root.isValid());
    if (button != "btn_clear") {
        if (!root.plugNode() || !root.mountStick())
            QSKIP("needs a mounted stick: run through tests/mountns.sh");
    }
    if (button == "btn_reduction") {
        // The backup set of init(), complete.
        QVERIFY(QDir().mkpath(root.file("mnt/usb/BackupData/opt/Brevin")));
        for (const QString &database : maintainedDatabases())
            QVERIFY(
                QFile::copy(m_stick->filePath(database + ".sql"), dumpFile(root.path(), database)));
    }
    QVERIFY(QDir().mkpath(root.file("opt/Brevin/data")));
    SystemCommandRunner runner(milliseconds(2000), milliseconds(500));
    auto panel = makeRootedPanel(root, &runner);
    const QByteArray appdb = fullDump("appdb");

    StoppedServer stopped;
    QVERIFY(stopped.isStopped());
    ModalCloser closer;
    QElapsedTimer clock;
    clock.start();
    clickMaintenance(panel.get(), button.constData());
    const qint64 elapsed = clock.elapsed();
    stopped.resume();

    QVERIFY2(elapsed < 60000, qPrintable(QString::number(elapsed)));
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QVERIFY2(closer.boxes.first().text.contains(failure), qPrintable(closer.boxes.first().text));
    QVERIFY(panel->isEnabled());
    QCOMPARE(fullDump("appdb"), appdb);
}

QTEST_MAIN(tst_databaserestore)
#include "tst_databaserestore.moc"
