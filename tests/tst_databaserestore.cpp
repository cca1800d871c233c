#include "maintenance/system/commandrunner.h"
#include "maintenance/database/databaserestore.h"
#include "maintenance/system/devicecommands.h"
#include "panel/maintenancetext.h"
#include "panel/sendordertoprinter_test.h"

#include "hookedrunner.h"
#include "modalcloser.h"
#include "mysqlclient.h"
#include "systemroot.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QtTest>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// Real loads of dumps into the throwaway MariaDB server of the mariadb fixture (reached
// through HOME/.my.cnf): hostile and damaged dumps change nothing, a failure half-way puts
// the previous data back, routines, events and triggers survive, and a stopped server makes
// every action fail within its time limit instead of freezing the panel.

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

    void roundTripKeepsRoutinesEventsTriggers();
    void hostileDumpsChangeNothing_data();
    void hostileDumpsChangeNothing();
    void failureWhileReplacingPutsAllBack();
    void rollBackAfterReplace();
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
    void addBoth(DatabaseRestore &restore);
    QStringList databases();
    QString serverState();

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

void tst_databaserestore::addBoth(DatabaseRestore &restore)
{
    for (const QString &database : maintainedDatabases())
        restore.addDatabase(database, m_stick->filePath(database + ".sql"));
}

void tst_databaserestore::initTestCase()
{
    DatabaseRestore::setRefusalWording(&MaintenanceText::vetterRefusal);
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

void tst_databaserestore::roundTripKeepsRoutinesEventsTriggers()
{
    // Everything comes back as it was, but made by the loading account.
    const QByteArray appdb =
        fullDump("appdb").replace("`root`@`localhost`", "`servicepanel_data`@`localhost`");
    const QByteArray misc = fullDump("Misc");
    QCOMPARE(value("SELECT COUNT(*) FROM information_schema.ROUTINES "
                   "WHERE ROUTINE_SCHEMA = 'appdb';"),
             QStringLiteral("2"));
    QVERIFY(sql("DROP PROCEDURE add_sale; DROP EVENT nightly; DROP TRIGGER sales_logged;"
                "DELETE FROM sales;",
                "appdb"));
    QVERIFY(sql("UPDATE settings SET v = 'changed';", "Misc"));

    DatabaseRestore restore(m_runner, m_device->path());
    addBoth(restore);
    QVERIFY2(restore.prepare(), qPrintable(restore.problems().join('\n')));
    QVERIFY(restore.sandboxed());
    QVERIFY2(restore.replace(), qPrintable(restore.problems().join('\n')));

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
    // They work, too: the procedure inserts, the trigger logs it, the function computes.
    QVERIFY(sql("CALL add_sale(7.25);", "appdb"));
    QCOMPARE(value("SELECT COUNT(*) FROM appdb.log;"), QStringLiteral("1"));
    QCOMPARE(value("SELECT appdb.doubled(21);"), QStringLiteral("42"));
    // No scratch database stays behind; the data before the restore is kept on the device.
    QVERIFY(!databases().contains(DatabaseRestore::scratchName("appdb")));
    QVERIFY(QFile::exists(restore.previousDump("appdb")));
    QVERIFY(!QFile::exists(m_device->filePath("incoming/appdb.sql")));
}

void tst_databaserestore::hostileDumpsChangeNothing_data()
{
    // kind: "insert" puts text before the first INSERT of the stick's good dump, "replace"
    // puts text in its place, "cut" keeps its first half; the others make something else
    // named <target>.sql.
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
    const QString path = m_stick->filePath(target + ".sql");
    QFile stickFile(path);
    QVERIFY(stickFile.open(QIODevice::ReadOnly));
    QByteArray good = stickFile.readAll();
    stickFile.close();
    QVERIFY(good.contains("INSERT INTO"));
    QVERIFY(QFile::remove(path));
    if (kind == "insert") {
        writeStickDump(target, good.insert(good.indexOf("INSERT INTO"), text));
    } else if (kind == "replace") {
        writeStickDump(target, text);
    } else if (kind == "cut") {
        writeStickDump(target, good.left(good.size() / 2));
    } else if (kind == "fifo") {
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    } else if (kind == "link") {
        const QString elsewhere = m_device->filePath("elsewhere.sql");
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

    DatabaseRestore restore(m_runner, m_device->path());
    addBoth(restore);
    QElapsedTimer clock;
    clock.start();
    QVERIFY(!restore.prepare());
    QVERIFY2(clock.elapsed() < 60000, "a FIFO or a hostile dump held the restore");
    const QString problems = restore.problems().join('\n');
    QVERIFY2(problems.contains(problem), qPrintable(problems));
    // Nothing happened: no command ran, no database changed, no scratch database stays.
    QVERIFY(!QFile::exists(marker));
    QCOMPARE(value("SELECT COUNT(*) FROM appdb.sales;"), rows);
    QCOMPARE(fullDump("appdb"), appdb);
    QCOMPARE(fullDump("Misc"), misc);
    QVERIFY(!databases().contains("evil"));
    QVERIFY(!databases().contains(DatabaseRestore::scratchName("appdb")));
    QVERIFY(!restore.dataAtRisk());
    // The dump is not loaded later either.
    QVERIFY(!restore.replace());
    QCOMPARE(fullDump("appdb"), appdb);
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
    // step: "scratch" (the proof load) or "live" (the replacement).
    QTest::addColumn<QByteArray>("step");
    QTest::addColumn<QByteArray>("text");
    const QByteArray file = QFile::encodeName(QDir::tempPath()) + "/servicepanel-i18-file";
    const QByteArray grant =
        "GRANT ALL PRIVILEGES ON *.* TO 'evil'@'localhost' IDENTIFIED BY 'x' WITH GRANT OPTION;\n";
    QTest::newRow("GRANT, live") << QByteArray("live") << grant;
    QTest::newRow("GRANT, scratch") << QByteArray("scratch") << grant;
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
    QTest::newRow("own database from the scratch load")
        << QByteArray("scratch") << QByteArray("DROP TABLE IF EXISTS appdb.sales;\n");
    QTest::newRow("definer root")
        << QByteArray("live")
        << QByteArray("CREATE DEFINER=`root`@`localhost` PROCEDURE evil() SQL SECURITY DEFINER "
                      "SET GLOBAL read_only = 1;\n");
    QTest::newRow("trigger setting globals")
        << QByteArray("live")
        << "CREATE TRIGGER evil BEFORE INSERT ON sales FOR EACH ROW SET @x = 1, "
           "GLOBAL max_connections = 77, GLOBAL general_log_file = '" +
               file + "', GLOBAL general_log = 1;\n";
    QTest::newRow("event as root")
        << QByteArray("live")
        << QByteArray("CREATE DEFINER=`root`@`localhost` EVENT evil ON SCHEDULE EVERY 1 MINUTE "
                      "DO SET GLOBAL init_connect = 'x';\n");
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
    const QString hostile = m_device->filePath("hostile.sql");
    const QByteArray target = step == "live"
                                  ? QByteArray(" appdb < ")
                                  : " " + DatabaseRestore::scratchName("appdb").toLatin1() + " < ";
    bool substituted = false;
    runner.change = [&](const QByteArray &line) {
        if (!line.contains(" --default-character-set=utf8mb4 ") || !line.contains(target) ||
            !line.endsWith("incoming/appdb.sql"))
            return line;
        QFile incoming(m_device->filePath("incoming/appdb.sql"));
        incoming.open(QIODevice::ReadOnly);
        QByteArray dump = incoming.readAll();
        QFile out(hostile);
        out.open(QIODevice::WriteOnly);
        // Where no table is locked, just before the rows of sales.
        out.write(dump.insert(dump.indexOf("LOCK TABLES `sales`"), text));
        out.close();
        substituted = true;
        return line.left(line.indexOf(" < ")) + " < " + QFile::encodeName(hostile);
    };
    DatabaseRestore restore(runner, m_device->path());
    addBoth(restore);
    const bool done = restore.prepare() && restore.replace();
    QVERIFY(substituted);
    QVERIFY(!done);
    const QString problems = restore.problems().join('\n');
    QVERIFY2(problems.contains("ERROR 1"), qPrintable(problems));
    QVERIFY(!restore.dataAtRisk());
    QCOMPARE(serverState(), before);
    QCOMPARE(fullDump("appdb"), appdb);
    QCOMPARE(fullDump("Misc"), misc);
    QVERIFY(!QFile::exists(file));
    QVERIFY(!databases().contains(DatabaseRestore::scratchName("appdb")));
    // The account is locked again, and its password is nowhere on the device.
    QCOMPARE(value("SELECT JSON_VALUE(Priv, '$.account_locked') FROM mysql.global_priv "
                   "WHERE user = 'servicepanel_data';"),
             QStringLiteral("1"));
    QVERIFY(QDir(m_device->path()).entryList({"*.cnf"}, QDir::Files).isEmpty());
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
    DatabaseRestore restore(m_runner, m_device->path());
    addBoth(restore);
    QVERIFY2(restore.prepare(), qPrintable(restore.problems().join('\n')));
    QVERIFY2(restore.replace(), qPrintable(restore.problems().join('\n')));

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
    // The account: the data databases, nothing global, locked.
    const QString grants = value("SHOW GRANTS FOR 'servicepanel_data'@'localhost';");
    QVERIFY2(grants.contains("GRANT USAGE ON *.* TO `servicepanel_data`@`localhost` "
                             "IDENTIFIED BY PASSWORD"),
             qPrintable(grants));
    QVERIFY2(grants.contains("GRANT ALL PRIVILEGES ON `appdb`.* TO"), qPrintable(grants));
    QVERIFY2(grants.contains("GRANT ALL PRIVILEGES ON `Misc`.* TO"), qPrintable(grants));
    QCOMPARE(grants.count("GRANT "), 3);
    QCOMPARE(value("SELECT JSON_VALUE(Priv, '$.account_locked') FROM mysql.global_priv "
                   "WHERE user = 'servicepanel_data';"),
             QStringLiteral("1"));
    QVERIFY(QDir(m_device->path()).entryList({"*.cnf"}, QDir::Files).isEmpty());
}

// Misc's load breaks half-way after appdb has already been replaced: both come back.
void tst_databaserestore::failureWhileReplacingPutsAllBack()
{
    QVERIFY(sql("INSERT INTO sales (amount, note) VALUES (9.99, 'after the backup');", "appdb"));
    QVERIFY(sql("INSERT INTO settings VALUES ('new', 'after the backup');", "Misc"));
    const QByteArray appdb = fullDump("appdb");
    const QByteArray misc = fullDump("Misc");

    HookedRunner runner(m_runner);
    const QString half = m_device->filePath("half.sql");
    runner.change = [&](const QByteArray &line) {
        if (!line.contains(" --default-character-set=utf8mb4 ") || !line.contains(" Misc < ") ||
            !line.endsWith("incoming/Misc.sql"))
            return line;
        // A real half load: the first half of the vetted dump, cut in a statement.
        QFile incoming(m_device->filePath("incoming/Misc.sql"));
        incoming.open(QIODevice::ReadOnly);
        const QByteArray text = incoming.readAll();
        QFile cut(half);
        cut.open(QIODevice::WriteOnly);
        cut.write(text.left(text.indexOf("INSERT INTO") + 30));
        cut.close();
        return line.left(line.indexOf(" < ")) + " < " + QFile::encodeName(half);
    };
    DatabaseRestore restore(runner, m_device->path());
    addBoth(restore);
    QVERIFY2(restore.prepare(), qPrintable(restore.problems().join('\n')));
    QVERIFY(!restore.replace());
    const QString problems = restore.problems().join('\n');
    QVERIFY2(problems.contains("Misc.sql does not load into Misc"), qPrintable(problems));
    QVERIFY2(problems.contains("appdb has its previous data back"), qPrintable(problems));
    QVERIFY2(problems.contains("Misc has its previous data back"), qPrintable(problems));
    QVERIFY(!restore.dataAtRisk());
    QCOMPARE(fullDump("appdb"), appdb);
    QCOMPARE(fullDump("Misc"), misc);
    QCOMPARE(value("SELECT COUNT(*) FROM information_schema.ROUTINES "
                   "WHERE ROUTINE_SCHEMA = 'appdb';"),
             QStringLiteral("2"));
}

// A later step of the restore (the /opt swap) fails: the databases go back as well.
void tst_databaserestore::rollBackAfterReplace()
{
    QVERIFY(sql("DELETE FROM sales WHERE id = 2;", "appdb"));
    const QByteArray appdb = fullDump("appdb");
    const QByteArray misc = fullDump("Misc");
    DatabaseRestore restore(m_runner, m_device->path());
    addBoth(restore);
    QVERIFY(restore.prepare());
    QVERIFY(restore.replace());
    QCOMPARE(value("SELECT COUNT(*) FROM appdb.sales;"), QStringLiteral("2"));
    QVERIFY2(restore.rollBack(), qPrintable(restore.problems().join('\n')));
    QCOMPARE(fullDump("appdb"), appdb);
    QCOMPARE(fullDump("Misc"), misc);
}

// After Clear Data there is nothing to keep: a failing restore leaves no half database.
void tst_databaserestore::restoreOntoAnEmptyServer()
{
    QVERIFY(sql("DROP DATABASE appdb; DROP DATABASE Misc;"));
    DatabaseRestore restore(m_runner, m_device->path());
    addBoth(restore);
    QVERIFY(restore.prepare());
    QVERIFY(!QFile::exists(restore.previousDump("appdb")));
    QVERIFY(restore.replace());
    QCOMPARE(value("SELECT COUNT(*) FROM appdb.sales;"), QStringLiteral("2"));
    QVERIFY(restore.rollBack());
    QVERIFY(!databases().contains("appdb"));
    QVERIFY(!databases().contains("Misc"));
}

void tst_databaserestore::stoppedServer_data()
{
    QTest::addColumn<bool>("afterPrepare");
    QTest::newRow("before anything") << false;
    QTest::newRow("between prepare and replace") << true;
}

void tst_databaserestore::stoppedServer()
{
    QFETCH(bool, afterPrepare);
    const QByteArray appdb = fullDump("appdb");
    const QByteArray misc = fullDump("Misc");
    SystemCommandRunner runner(milliseconds(2000), milliseconds(500));
    DatabaseRestore restore(runner, m_device->path());
    addBoth(restore);
    if (afterPrepare)
        QVERIFY(restore.prepare());

    StoppedServer stopped;
    QVERIFY(stopped.isStopped());
    QElapsedTimer clock;
    clock.start();
    const bool done = afterPrepare ? restore.replace() : restore.prepare();
    const qint64 elapsed = clock.elapsed();
    stopped.resume();
    QVERIFY(!done);
    // A handful of commands, each stopped at 2 s: well under a minute, not for ever.
    QVERIFY2(elapsed < 60000, qPrintable(QString::number(elapsed)));
    const QString problems = restore.problems().join('\n');
    QVERIFY2(problems.contains("stopped after its time limit of 2 s"), qPrintable(problems));
    if (afterPrepare) {
        QVERIFY(restore.dataAtRisk());
        QVERIFY2(problems.contains(restore.previousDump("appdb")), qPrintable(problems));
    }
    // The server never got to the commands: the data is as it was.
    QCOMPARE(fullDump("appdb"), appdb);
    QCOMPARE(fullDump("Misc"), misc);
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
