// Dumps that the vetter accepts, loaded as the restricted loading account into a MariaDB
// server of this harness's own, made and started when it starts and stopped when it ends:
// afterwards nothing outside the scratch database may have changed. Compared before and after
// each load: accounts, roles and grants (the account's own among them), global variables,
// plugins, every other database (the rows of each table, and the tables, columns, indexes,
// views, triggers, routines and events), and files: none in the folder the server may write
// files to, none where the client runs.
//
// The client runs as the Restore runs it, but without --sandbox (as older clients on devices
// do: what the vetter lets through of the client's own commands shows too) and with --force
// (a statement after a failing one is tried as well).
//
// The first byte of an input says how the rest becomes a dump: as it stands, inside
// mysqldump's first and last lines, or put together from pieces of what mysqldump writes and
// what a hostile stick would write.
#include "fuzzcheck.h"
#include "maintenance/database/dumpvetting.h"
#include "maintenance/database/loadingaccount.h"
#include "maintenance/database/mariadbclient.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"
#include "tests/mysqldumptext.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace {

const char scratch[] = "servicepanel_check_appdb";

// What the harness keeps from its start to its end.
struct Harness
{
    QString folder;
    // The server's root and the account's load: a look at the whole server may take long on
    // a busy machine, a load is cut short.
    std::unique_ptr<SystemCommandRunner> runner;
    std::unique_ptr<SystemCommandRunner> loadRunner;
    std::unique_ptr<MariaDbClient> client;
    std::unique_ptr<LoadingAccount> account;
    QByteArray baseline;
    QSet<QByteArray> volatileLines; // global variables that change by themselves
    long loads = 0;
};

Harness &harness()
{
    static Harness instance;
    return instance;
}

QString path(const char *name)
{
    return harness().folder + QLatin1Char('/') + QLatin1String(name);
}

QByteArray readFile(const QString &name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &name, const QByteArray &content)
{
    QFile file(name);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(content) == content.size());
}

// SQL as the server's root, through the default login (HOME/.my.cnf: this harness's server).
QByteArray rootSql(const QByteArray &statements)
{
    writeFile(path("root.sql"), statements);
    const CommandResult result = harness().runner->run(
        "mysql -N -B --skip-force < " + shellArgument(path("root.sql")) + " > " +
        shellArgument(path("root.out")) + " 2> " + shellArgument(path("root.err")));
    if (!result.succeeded()) {
        std::fprintf(stderr, "fuzz_load: %s\n%s\n", readFile(path("root.err")).constData(),
                     statements.left(2000).constData());
    }
    FUZZ_CHECK(result.succeeded());
    return readFile(path("root.out"));
}

// The other databases: some data, and one object of each kind the account might reach for.
const char otherDatabases[] =
    "CREATE DATABASE appdb; CREATE DATABASE Misc; CREATE DATABASE reports;\n"
    "CREATE TABLE appdb.sales (id int PRIMARY KEY, amount decimal(10,2), note varchar(80))"
    " ENGINE=InnoDB;\n"
    "INSERT INTO appdb.sales VALUES (1, 2.50, 'K\xc3\xa4se'), (2, 3.50, 'Brot');\n"
    "CREATE TABLE Misc.settings (name varchar(40) PRIMARY KEY, value text) ENGINE=InnoDB;\n"
    "INSERT INTO Misc.settings VALUES ('printer', 'on');\n"
    "CREATE TABLE reports.daily (day date PRIMARY KEY, total int) ENGINE=MyISAM;\n"
    "INSERT INTO reports.daily VALUES ('2026-01-01', 7);\n"
    "CREATE VIEW appdb.big AS SELECT id FROM appdb.sales WHERE amount > 3;\n"
    "CREATE TRIGGER appdb.noted BEFORE INSERT ON appdb.sales FOR EACH ROW"
    " SET NEW.note = UPPER(NEW.note);\n"
    "CREATE PROCEDURE Misc.reset() DELETE FROM Misc.settings;\n"
    "CREATE FUNCTION Misc.two() RETURNS int RETURN 2;\n"
    "CREATE EVENT Misc.nightly ON SCHEDULE EVERY 1 DAY DO DELETE FROM reports.daily;\n"
    "CREATE USER app@localhost IDENTIFIED BY 'app';\n"
    "GRANT SELECT, INSERT ON appdb.* TO app@localhost;\n"
    "CREATE ROLE clerk; GRANT SELECT ON Misc.* TO clerk;\n";

// One line per table of every other database (its rows' checksum), per kind of definition,
// and per global variable: what a load must leave as it was.
QByteArray fingerprintSql()
{
    const QByteArray columns =
        rootSql(QByteArray("SELECT c.TABLE_SCHEMA, c.TABLE_NAME, c.COLUMN_NAME FROM "
                           "information_schema.COLUMNS c JOIN information_schema.TABLES t USING "
                           "(TABLE_SCHEMA, TABLE_NAME) WHERE t.TABLE_TYPE = 'BASE TABLE' AND "
                           "c.TABLE_SCHEMA NOT IN ('information_schema', 'performance_schema', '") +
                scratch + "') ORDER BY 1, 2, c.ORDINAL_POSITION;\n");
    QList<QPair<QByteArray, QList<QByteArray>>> tables;
    for (const QByteArray &line : columns.split('\n')) {
        const QList<QByteArray> fields = line.split('\t');
        if (fields.size() != 3)
            continue;
        const QByteArray table = '`' + fields[0] + "`.`" + fields[1] + '`';
        if (tables.isEmpty() || tables.last().first != table)
            tables.append({table, {}});
        tables.last().second.append(fields[2]);
    }
    QList<QByteArray> parts;
    for (const auto &table : tables) {
        // The server's logs, and statistics it keeps of the scratch tables as they are loaded.
        if (table.first.startsWith("`mysql`.`") &&
            (table.first.contains("_log`") || table.first.contains("innodb_")))
            continue;
        QByteArray row = "CONCAT_WS(0x1f";
        QByteArray filter;
        for (const QByteArray &column : table.second) {
            row += ", IFNULL(`" + column + "`, 0x00)";
            // Routines, events and statistics of the scratch database; grants stay compared.
            if (column == "db" || column == "db_name")
                filter = " WHERE `" + column + "` <> '" + scratch + "'";
        }
        // The server gives the maker of a routine the right to run and alter it.
        if (table.first == "`mysql`.`procs_priv`") {
            filter = " WHERE NOT (Db = '" + QByteArray(scratch) + "' AND User = '" +
                     LoadingAccount::user().toLatin1() + "')";
        }
        parts << "SELECT '" + table.first + "', COUNT(*), IFNULL(SUM(CRC32(" + row +
                     "))), 0) FROM " + table.first + filter;
    }
    const QByteArray others =
        QByteArray("NOT IN ('information_schema', 'performance_schema', '") + scratch + "')";
    const QByteArray notScratch = QByteArray("<> '") + scratch + "'";
    parts << "SELECT 'databases', COUNT(*), SUM(CRC32(CONCAT_WS(0x1f, SCHEMA_NAME, "
             "DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME))) FROM "
             "information_schema.SCHEMATA WHERE SCHEMA_NAME " +
                 notScratch
          << "SELECT 'tables', COUNT(*), SUM(CRC32(CONCAT_WS(0x1f, TABLE_SCHEMA, TABLE_NAME, "
             "TABLE_TYPE, IFNULL(ENGINE, ''), IFNULL(TABLE_COLLATION, ''), "
             "IFNULL(CREATE_OPTIONS, ''), TABLE_COMMENT))) FROM information_schema.TABLES "
             "WHERE TABLE_SCHEMA " +
                 others
          << "SELECT 'columns', COUNT(*), SUM(CRC32(CONCAT_WS(0x1f, TABLE_SCHEMA, TABLE_NAME, "
             "COLUMN_NAME, ORDINAL_POSITION, IFNULL(COLUMN_DEFAULT, 0x00), COLUMN_TYPE, "
             "IS_NULLABLE, IFNULL(COLLATION_NAME, ''), EXTRA, COLUMN_COMMENT, "
             "IFNULL(GENERATION_EXPRESSION, '')))) FROM information_schema.COLUMNS WHERE "
             "TABLE_SCHEMA " +
                 others + " AND TABLE_SCHEMA <> 'sys'"
          << "SELECT 'indexes', COUNT(*), SUM(CRC32(CONCAT_WS(0x1f, TABLE_SCHEMA, TABLE_NAME, "
             "INDEX_NAME, SEQ_IN_INDEX, COLUMN_NAME, NON_UNIQUE, IFNULL(SUB_PART, 0), "
             "INDEX_TYPE))) FROM information_schema.STATISTICS WHERE TABLE_SCHEMA " +
                 others
          << "SELECT 'views', COUNT(*), SUM(CRC32(CONCAT_WS(0x1f, TABLE_SCHEMA, TABLE_NAME, "
             "VIEW_DEFINITION, CHECK_OPTION, DEFINER, SECURITY_TYPE, ALGORITHM))) FROM "
             "information_schema.VIEWS WHERE TABLE_SCHEMA " +
                 notScratch
          << "SELECT 'triggers', COUNT(*), IFNULL(SUM(CRC32(CONCAT_WS(0x1f, TRIGGER_SCHEMA, "
             "TRIGGER_NAME, EVENT_MANIPULATION, EVENT_OBJECT_SCHEMA, EVENT_OBJECT_TABLE, "
             "ACTION_STATEMENT, ACTION_TIMING, SQL_MODE, DEFINER))), 0) FROM "
             "information_schema.TRIGGERS WHERE TRIGGER_SCHEMA " +
                 notScratch
          << "SELECT 'plugins', COUNT(*), SUM(CRC32(CONCAT_WS(0x1f, PLUGIN_NAME, PLUGIN_STATUS, "
             "IFNULL(PLUGIN_LIBRARY, ''), LOAD_OPTION))) FROM information_schema.PLUGINS"
          << "SELECT 'privileges', COUNT(*), SUM(CRC32(CONCAT_WS(0x1f, GRANTEE, PRIVILEGE_TYPE, "
             "IS_GRANTABLE))) FROM information_schema.USER_PRIVILEGES"
          << "SELECT CONCAT('variable ', VARIABLE_NAME), 1, VARIABLE_VALUE FROM "
             "information_schema.GLOBAL_VARIABLES";
    QByteArray sql;
    for (const QByteArray &part : parts)
        sql += (sql.isEmpty() ? "" : "\nUNION ALL ") + part;
    return sql + " ORDER BY 1;\n";
}

QByteArray fingerprint()
{
    static const QByteArray sql = fingerprintSql();
    QByteArray lines;
    for (const QByteArray &line : rootSql(sql).split('\n')) {
        if (!line.isEmpty() && !harness().volatileLines.contains(line.left(line.indexOf('\t'))))
            lines += line + '\n';
    }
    return lines;
}

// What changed: the lines that are not as they were.
QByteArray changes(const QByteArray &before, const QByteArray &after)
{
    const QList<QByteArray> was = before.split('\n');
    const QList<QByteArray> is = after.split('\n');
    QByteArray shown;
    for (const QByteArray &line : is) {
        if (!was.contains(line))
            shown += "  now: " + line.left(300) + '\n';
    }
    for (const QByteArray &line : was) {
        if (!is.contains(line))
            shown += "  was: " + line.left(300) + '\n';
    }
    return shown;
}

bool emptyFolder(const char *name)
{
    return QDir(path(name))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System)
        .isEmpty();
}

// Loads the text as the Restore does, as the loading account, into the scratch database.
void load(const QByteArray &loadable)
{
    const QByteArray line =
        "cd " + shellArgument(path("client")) + " && exec mysql " +
        harness().account->clientOptions() +
        " --default-character-set=utf8mb4 --local-infile=0 --skip-named-commands --force "
        "--init-command=\"SET SESSION max_statement_time=2\" > " +
        shellArgument(path("load.out")) + " 2>&1";
    // The session a Restore's load starts with: the staging role, the scratch database,
    // strict mode.
    const QByteArray input =
        LoadingAccount::stagingSession(QString::fromLatin1(scratch)) + loadable;
    qint64 at = 0;
    CommandIo io;
    io.input = [&](char *buffer, qint64 size) {
        const qint64 piece = qMin(size, qint64(input.size()) - at);
        memcpy(buffer, input.constData() + at, size_t(piece));
        at += piece;
        return piece;
    };
    harness().loadRunner->runWith(line, io);
    ++harness().loads;
}

void stopServer()
{
    Harness &h = harness();
    if (h.folder.isEmpty())
        return;
    if (h.account && h.account->isOpen())
        h.account->close();
    h.account.reset();
    h.runner->run(". " +
                  shellArgument(QStringLiteral(PANEL_SOURCE_ROOT "/scripts/lib/mariadb.sh")) +
                  " && mariadb_stop " + shellArgument(path("server")) + " && rm -rf " +
                  shellArgument(h.folder));
    std::fprintf(stderr, "fuzz_load: %ld dumps loaded\n", h.loads);
    h.folder.clear();
}

void startServer()
{
    Harness &h = harness();
    const char *tmp = std::getenv("TMPDIR");
    // Short: the server's socket is in it.
    QByteArray folder = QByteArray(tmp && *tmp ? tmp : "/tmp") + "/fuzz_load.XXXXXX";
    FUZZ_CHECK(::mkdtemp(folder.data()) != nullptr);
    h.folder = QFile::decodeName(folder);
    for (const char *name : {"home", "files", "client", "work", "tmp"})
        FUZZ_CHECK(QDir().mkpath(path(name)));
    QFile::setPermissions(path("work"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    // Every client below reads HOME/.my.cnf: this server, never the machine's own.
    for (const char *name : {"MYSQL_HOST", "MYSQL_TCP_PORT", "MYSQL_UNIX_PORT", "MYSQL_PWD"})
        ::unsetenv(name);
    ::setenv("HOME", QFile::encodeName(path("home")).constData(), 1);
    h.runner = std::make_unique<SystemCommandRunner>(std::chrono::minutes(2));
    const QByteArray lib =
        shellArgument(QStringLiteral(PANEL_SOURCE_ROOT "/scripts/lib/mariadb.sh"));
    const QByteArray server = shellArgument(path("server"));
    const CommandResult started =
        h.runner->run(". " + lib + " && mariadb_create " + server + " && mariadb_start " + server +
                      " --secure-file-priv=" + shellArgument(path("files")) +
                      // Its temporary files where nobody else cleans up.
                      " --tmpdir=" + shellArgument(path("tmp")) + " && mariadb_client_config " +
                      shellArgument(path("home")) + ' ' + server + " > /dev/null");
    if (!started.succeeded())
        std::fprintf(stderr, "fuzz_load: no server: %s\n", started.errorOutput.constData());
    FUZZ_CHECK(started.succeeded());
    // Should the harness end without its exit handlers (a crash), the server goes with it.
    FUZZ_CHECK(QProcess::startDetached(
        QStringLiteral("/bin/sh"),
        {QStringLiteral("-c"),
         QStringLiteral("exec </dev/null >/dev/null 2>&1; while kill -0 %1; do sleep 1; done; "
                        ". %2 && mariadb_stop %3; rm -rf %4")
             .arg(::getpid())
             .arg(QString::fromLocal8Bit(lib), QString::fromLocal8Bit(server),
                  QString::fromLocal8Bit(shellArgument(h.folder)))}));
    std::atexit(stopServer);
    // The server answering is the one this harness made.
    const QByteArray datadir = rootSql("SELECT @@datadir;\n").trimmed();
    FUZZ_CHECK(QDir(QFile::decodeName(datadir)) == QDir(path("server") + QLatin1String("/data")));
    h.loadRunner =
        std::make_unique<SystemCommandRunner>(std::chrono::seconds(10), std::chrono::seconds(1));
}

template <size_t N> QByteArray pick(FuzzedDataProvider &input, const char *const (&choices)[N])
{
    return choices[input.ConsumeIntegralInRange<size_t>(0, N - 1)];
}

const char *const names[] = {"t",
                             "`t`",
                             "`sales`",
                             "appdb.sales",
                             "`appdb`.`sales`",
                             "Misc.settings",
                             "reports.daily",
                             "mysql.user",
                             "`mysql`.`db`",
                             "servicepanel_check_appdb.t",
                             "sys.x",
                             "performance_schema.x",
                             "information_schema.tables",
                             "`t2`",
                             "v",
                             "p",
                             "f",
                             "e"};
const char *const values[] = {"1",
                              "NULL",
                              "'x'",
                              "@x",
                              "@@sql_mode",
                              "@@session.time_zone",
                              "USER()",
                              "CURRENT_USER()",
                              "DATABASE()",
                              "LOAD_FILE('/etc/passwd')",
                              "(SELECT COUNT(*) FROM mysql.user)",
                              "(SELECT 1 FROM appdb.sales)",
                              "f()",
                              "0x41",
                              "_binary 'x'",
                              "CHAR(65)",
                              "SLEEP(0)",
                              "(SELECT value FROM Misc.settings)",
                              "@@global.read_only",
                              "CONCAT(@x, 'y')",
                              "NEW.v",
                              "OLD.v",
                              "`appdb`.`sales`.`id`",
                              "SYSTEM_USER()",
                              "VERSION()"};
const char *const settings[] = {"sql_mode",
                                "@@sql_mode",
                                "SESSION sql_mode",
                                "time_zone",
                                "character_set_client",
                                "collation_connection",
                                "unique_checks",
                                "foreign_key_checks",
                                "autocommit",
                                "@OLD_SQL_MODE",
                                "@saved_sql_mode",
                                "@x",
                                "NAMES",
                                "max_statement_time",
                                "GLOBAL read_only",
                                "@@global.general_log",
                                "PASSWORD",
                                "ROLE clerk",
                                "DEFAULT ROLE clerk",
                                "sql_log_bin",
                                "STATEMENT max_statement_time=1 FOR"};

QByteArray value(FuzzedDataProvider &input)
{
    switch (input.ConsumeIntegralInRange(0, 2)) {
    case 0:
        return mysqldumpQuoted(QByteArray::fromStdString(input.ConsumeRandomLengthString(40)));
    case 1:
        return QByteArray::number(input.ConsumeIntegral<int>());
    default:
        return pick(input, values);
    }
}

QByteArray statementIn(FuzzedDataProvider &input)
{
    const QByteArray name = pick(input, names);
    switch (input.ConsumeIntegralInRange(0, 15)) {
    case 0:
        return "SET " + pick(input, settings) + " = " + value(input);
    case 1:
        return "INSERT INTO " + name + " VALUES (" + value(input) + ", " + value(input) + ")";
    case 2:
        return "UPDATE " + name + " SET v = " + value(input);
    case 3:
        return "DELETE FROM " + name;
    case 4:
        return "SELECT " + value(input) + " INTO @y";
    case 5:
        return "CALL " + name + "()";
    case 6:
        return "DO " + value(input);
    case 7:
        return "CREATE TABLE " + name + " (a int)";
    case 8:
        return "DROP TABLE " + name;
    case 9:
        return "ALTER TABLE " + name + " ADD COLUMN z int";
    case 10:
        return "RETURN " + value(input);
    case 11:
        return "IF " + value(input) + " THEN SET @z = 1; END IF";
    case 12:
        return "SET NEW.v = " + value(input);
    case 13:
        return "TRUNCATE " + name;
    case 14:
        return "RENAME TABLE " + name + " TO " + pick(input, names);
    default:
        return QByteArray::fromStdString(input.ConsumeRandomLengthString(60));
    }
}

QByteArray body(FuzzedDataProvider &input)
{
    if (input.ConsumeBool())
        return statementIn(input);
    QByteArray text = "BEGIN ";
    for (int i = input.ConsumeIntegralInRange(1, 3); i > 0; --i)
        text += statementIn(input) + "; ";
    return text + "END";
}

// A dump put together from the input: mysqldump's statements, and more.
QByteArray assembled(FuzzedDataProvider &input)
{
    const char *const definers[] = {"`root`@`localhost`", "CURRENT_USER", "`app`@`localhost`",
                                    "root@localhost", "`servicepanel_data`@`localhost`"};
    const char *const types[] = {"text", "int", "blob", "varchar(10)", "json", "date"};
    const char *const engines[] = {"InnoDB", "MyISAM", "MEMORY", "CSV", "ARCHIVE", "Aria"};
    const char *const events[] = {"BEFORE INSERT", "AFTER INSERT", "BEFORE UPDATE", "AFTER DELETE"};
    QByteArray dump;
    while (input.remaining_bytes() > 0) {
        const QByteArray name = pick(input, names);
        switch (input.ConsumeIntegralInRange(0, 16)) {
        case 0:
            dump += "/*!40101 SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' */;\n";
            break;
        case 1:
            dump += "/*!40101 SET SQL_MODE=@OLD_SQL_MODE */;\n";
            break;
        case 2:
            dump += "DROP TABLE IF EXISTS " + name + ";\n";
            break;
        case 3:
            dump += "CREATE TABLE " + name + " (`id` int NOT NULL, `v` " + pick(input, types) +
                    ", PRIMARY KEY (`id`)) ENGINE=" + pick(input, engines) + ";\n";
            break;
        case 4:
            dump += "INSERT INTO " + name + " VALUES (" + value(input) + "," + value(input) +
                    "),(" + value(input) + "," + value(input) + ");\n";
            break;
        case 5:
            dump += input.ConsumeBool() ? "LOCK TABLES " + name + " WRITE;\n"
                                        : QByteArray("UNLOCK TABLES;\n");
            break;
        case 6:
            dump += "DELIMITER ;;\nCREATE DEFINER=" + pick(input, definers) + " PROCEDURE " + name +
                    "() " + body(input) + " ;;\nDELIMITER ;\n";
            break;
        case 7:
            dump += "DELIMITER ;;\nCREATE DEFINER=" + pick(input, definers) + " FUNCTION " + name +
                    "() RETURNS int " + body(input) + " ;;\nDELIMITER ;\n";
            break;
        case 8:
            dump += "DELIMITER ;;\n/*!50003 CREATE*/ /*!50017 DEFINER=" + pick(input, definers) +
                    "*/ /*!50003 TRIGGER " + name + ' ' + pick(input, events) + " ON " +
                    pick(input, names) + " FOR EACH ROW " + body(input) + " */;;\nDELIMITER ;\n";
            break;
        case 9:
            dump += "DELIMITER ;;\n/*!50106 CREATE*/ /*!50117 DEFINER=" + pick(input, definers) +
                    "*/ /*!50106 EVENT " + name + " ON SCHEDULE AT CURRENT_TIMESTAMP DO " +
                    body(input) + " */ ;;\nDELIMITER ;\n";
            break;
        case 10:
            dump += "CREATE ALGORITHM=UNDEFINED DEFINER=" + pick(input, definers) +
                    " SQL SECURITY DEFINER VIEW " + name + " AS SELECT " + value(input) +
                    " AS a;\n";
            break;
        case 11:
            dump += "/*!50003 SET " + pick(input, settings) + " = " + value(input) + " */ ;\n";
            break;
        case 12:
            dump += "CREATE SEQUENCE " + name + " start with 1 ENGINE=InnoDB;\nDO SETVAL(" + name +
                    ", " + value(input) + ", 0);\n";
            break;
        case 13:
            dump += "ALTER DATABASE `appdb` CHARACTER SET latin1 COLLATE latin1_swedish_ci ;\n";
            break;
        case 14:
            dump += "/*!40000 ALTER TABLE " + name +
                    (input.ConsumeBool() ? " DISABLE" : " ENABLE") + " KEYS */;\n";
            break;
        case 15:
            dump += statementIn(input) + ";\n";
            break;
        default:
            dump += QByteArray::fromStdString(input.ConsumeRandomLengthString(80)) + '\n';
        }
    }
    return dump;
}

// The look at the server sees what it must: a change made as root in each place it looks,
// and nothing once that is undone.
void checkTheCheck()
{
    const QByteArray outfile = QFile::encodeName(path("files") + QLatin1String("/probe"));
    const QByteArray probes[][2] = {
        {"UPDATE appdb.sales SET note = 'x' WHERE id = 2",
         "UPDATE appdb.sales SET note = 'Brot' WHERE id = 2"},
        {"CREATE TABLE Misc.extra (a int)", "DROP TABLE Misc.extra"},
        {"CREATE OR REPLACE VIEW appdb.big AS SELECT id FROM appdb.sales WHERE amount > 4",
         "CREATE OR REPLACE VIEW appdb.big AS SELECT id FROM appdb.sales WHERE amount > 3"},
        {"CREATE EVENT Misc.hourly ON SCHEDULE EVERY 1 HOUR DO DELETE FROM Misc.settings",
         "DROP EVENT Misc.hourly"},
        {"CREATE TRIGGER Misc.kept BEFORE DELETE ON Misc.settings FOR EACH ROW SET @x = 1",
         "DROP TRIGGER Misc.kept"},
        {"SET GLOBAL max_connections = @@global.max_connections + 1",
         "SET GLOBAL max_connections = @@global.max_connections - 1"},
        {"GRANT SELECT ON reports.* TO app@localhost",
         "REVOKE SELECT ON reports.* FROM app@localhost"},
        {"GRANT SELECT ON appdb.* TO servicepanel_data@localhost",
         "REVOKE SELECT ON appdb.* FROM servicepanel_data@localhost"},
        {"CREATE USER evil@localhost", "DROP USER evil@localhost"},
        {"SELECT 1 INTO OUTFILE '" + outfile + "'", ""},
    };
    for (const auto &probe : probes) {
        rootSql(probe[0] + ";\n");
        FUZZ_CHECK(!(fingerprint() == harness().baseline && emptyFolder("files")));
        if (probe[1].isEmpty())
            QFile::remove(QFile::decodeName(outfile));
        else
            rootSql(probe[1] + ";\n");
        const QByteArray after = fingerprint();
        if (after != harness().baseline)
            std::fprintf(stderr, "fuzz_load: %s left:\n%s", probe[0].constData(),
                         changes(harness().baseline, after).constData());
        FUZZ_CHECK(after == harness().baseline && emptyFolder("files"));
    }
}

const QByteArray head = "-- MariaDB dump 10.19  Distrib 10.11.19-MariaDB, for debian-linux-gnu\n"
                        "--\n-- Host: localhost    Database: appdb\n"
                        "/*!40101 SET NAMES utf8mb4 */;\n";
const QByteArray tail = "\n-- Dump completed on 2026-01-01 10:00:00\n";

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startServer();
    rootSql(QByteArray(otherDatabases) + "CREATE DATABASE " + scratch + ";\n");
    Harness &h = harness();
    h.client = std::make_unique<MariaDbClient>(*h.runner, path("work"));
    h.account =
        std::make_unique<LoadingAccount>(*h.client, path("work"), QStringList{"appdb", "Misc"});
    // The account's option file replaces the default login's, which names this server.
    MariaDbClient::Rows rows;
    CommandResult asked;
    FUZZ_CHECK(h.client->query("SELECT HEX(@@socket);\n", &rows, &asked));
    FUZZ_CHECK(!rows.isEmpty() && !rows.first().isEmpty());
    h.account->setSocket(QByteArray::fromHex(rows.first().first()));
    FUZZ_CHECK(h.account->openForStaging(QLatin1String(scratch)));
    // Global variables that change by themselves, between two looks around a harmless load.
    const QByteArray first = fingerprint();
    load(head + "CREATE TABLE t (id int);\nINSERT INTO t VALUES (1);" + tail);
    // A load that reaches nothing would pass every check below.
    rows.clear();
    FUZZ_CHECK(
        h.client->query(QByteArray("SELECT COUNT(*) FROM ") + scratch + ".t;\n", &rows, &asked));
    if (rows.value(0).value(0) != "1")
        std::fprintf(stderr, "fuzz_load: the account's load did not arrive: %s\n",
                     readFile(path("load.out")).constData());
    FUZZ_CHECK(rows.value(0).value(0) == "1");
    rootSql(QByteArray("DROP DATABASE ") + scratch + "; CREATE DATABASE " + scratch + ";\n");
    const QByteArray second = fingerprint();
    for (const QByteArray &line : changes(first, second).split('\n')) {
        if (line.isEmpty())
            continue;
        if (!line.contains(": variable "))
            std::fprintf(stderr, "fuzz_load: changes by itself: %s\n", line.constData());
        FUZZ_CHECK(line.contains(": variable "));
        h.volatileLines.insert(line.mid(7, line.indexOf('\t') - 7));
    }
    h.baseline = fingerprint();
    FUZZ_CHECK(!h.baseline.isEmpty());
    checkTheCheck();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray payload(reinterpret_cast<const char *>(data) + 1, int(size) - 1);
    QByteArray dump;
    switch (data[0] % 3) {
    case 0:
        dump = payload;
        break;
    case 1:
        dump = head + payload + tail;
        break;
    default: {
        FuzzedDataProvider input(data + 1, size - 1);
        dump = head + assembled(input) + tail;
    }
    }
    const DumpVetter::Verdict verdict =
        DumpVetter::vet(dump, QStringLiteral("appdb"),
                        {QStringLiteral("Misc"), QStringLiteral("reports"), QStringLiteral("mysql"),
                         QStringLiteral("servicepanel_check_Misc")});
    if (!verdict.accepted)
        return 0;
    load(verdict.loadable);
    if (std::getenv("FUZZ_VERBOSE")) {
        std::fprintf(stderr, "loaded:\n%s\nclient said:\n%s\n", verdict.loadable.constData(),
                     readFile(path("load.out")).constData());
    }
    // The client's commands (tee, \!) and the server's files (INTO OUTFILE, logs) write here.
    const bool filesKept = emptyFolder("files") && emptyFolder("client");
    const QByteArray now = fingerprint();
    const QByteArray changed = changes(harness().baseline, now);
    if (!filesKept || !changed.isEmpty()) {
        std::fprintf(stderr,
                     "fuzz_load: the load of an accepted dump changed the server:\n%s%s\n"
                     "client said: %s\ndump:\n%s\n",
                     filesKept ? "" : "  files were written\n", changed.constData(),
                     readFile(path("load.out")).left(2000).constData(),
                     verdict.loadable.left(4000).constData());
    }
    FUZZ_CHECK(filesKept);
    FUZZ_CHECK(changed.isEmpty());
    rootSql(QByteArray("DROP DATABASE ") + scratch + "; CREATE DATABASE " + scratch + ";\n");
    return 0;
}
