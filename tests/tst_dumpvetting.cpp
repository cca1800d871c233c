#include "maintenance/database/dumpvetting.h"

#include "vetterrefusals.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

// The vetting of dumps from a stick, as plain logic: mysqldump's own output passes, hostile
// and damaged dumps are refused with the line that shows why and what it names.

namespace {

const QStringList otherDatabases = {"Misc", "mysql", "shop"};

const QByteArray header = "-- MariaDB dump 10.19  Distrib 10.11.19-MariaDB, for debian-linux-gnu\n"
                          "--\n-- Host: localhost    Database: appdb\n"
                          "/*!40101 SET NAMES utf8mb4 */;\n";
const QByteArray footer = "\n-- Dump completed on 2024-05-02 10:00:00\n";

// Why a dump was refused, for a failure's message.
QByteArray why(const DumpVetter::Verdict &verdict)
{
    char *text = QTest::toString(verdict.refusal);
    const QByteArray shown(text);
    delete[] text;
    return shown;
}

// A complete dump of appdb around `body`.
QByteArray dumpWith(const QByteArray &body)
{
    return header + body + footer;
}

QByteArray realDump()
{
    QFile file(QStringLiteral(PANEL_TEST_DATA "/mysqldump-appdb.sql"));
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The verdict when the dump arrives in pieces of `size` bytes.
DumpVetter::Verdict vetInPieces(const QByteArray &dump, int size)
{
    DumpVetter vetter(QStringLiteral("appdb"), otherDatabases);
    DumpVetter::Verdict verdict;
    for (int i = 0; i < dump.size(); i += size)
        vetter.feed(dump.mid(i, size), &verdict.loadable);
    verdict.accepted = vetter.finish(&verdict.loadable);
    verdict.refusal = vetter.refusal();
    if (!verdict.accepted)
        verdict.loadable.clear();
    return verdict;
}

} // namespace

class tst_dumpvetting : public QObject
{
    Q_OBJECT

private slots:
    void mysqldumpOutputPasses();
    void accepted_data();
    void accepted();
    void refused_data();
    void refused();
    void ownDatabaseIsNamedWithoutItsName();
    void definerBecomesTheLoader_data();
    void definerBecomesTheLoader();
    void piecesGiveTheSameVerdict_data();
    void piecesGiveTheSameVerdict();
    void mutatedDumps();
    void overlongStatementsAreRefused_data();
    void overlongStatementsAreRefused();
    void longInsertsAreCheckedThroughout();
    void streamedOutputIsTheWholeOutput();
    void refusalsNameBoundedBytes();
};

void tst_dumpvetting::mysqldumpOutputPasses()
{
    const QByteArray dump = realDump();
    QVERIFY(dump.contains("-- Dump completed"));
    QVERIFY(dump.contains("CREATE DEFINER=`root`@`localhost` PROCEDURE `p1`"));
    const DumpVetter::Verdict verdict =
        DumpVetter::vet(dump, QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(verdict.accepted, why(verdict));
    QVERIFY(verdict.statements > 100);
    // p1 inserts into appdb.log: loading it into a scratch database may reach the live one.
    QVERIFY(verdict.namesOwnDatabase);
    QVERIFY(!verdict.loadable.contains("ALTER DATABASE `appdb`"));
    QVERIFY(verdict.loadable.contains(
        "ALTER DATABASE CHARACTER SET latin1 COLLATE latin1_swedish_ci ;;"));
    QByteArray expected = dump;
    expected.replace("ALTER DATABASE `appdb` ", "ALTER DATABASE ");
    // Views, routines, triggers and events are the loading account's.
    QVERIFY(expected.count("DEFINER=`root`@`localhost`") >= 4);
    expected.replace("DEFINER=`root`@`localhost`", "DEFINER=CURRENT_USER");
    // The rows load in strict mode.
    QCOMPARE(expected.count("SQL_MODE='NO_AUTO_VALUE_ON_ZERO'"), 1);
    expected.replace("SQL_MODE='NO_AUTO_VALUE_ON_ZERO'",
                     "SQL_MODE='NO_AUTO_VALUE_ON_ZERO,STRICT_ALL_TABLES'");
    QCOMPARE(verdict.loadable, expected);
}

void tst_dumpvetting::accepted_data()
{
    QTest::addColumn<QByteArray>("dump");
    QTest::newRow("sandbox line first")
        << "/*M!999999\\- enable the sandbox mode */ \n" + dumpWith("SET NAMES utf8mb4;");
    QTest::newRow("quotes and backslashes in data")
        << dumpWith("INSERT INTO `t` VALUES (1,'it\\'s; \\\\ \\\"x\\\"','\\\\! touch /tmp/x');");
    QTest::newRow("client command inside a text")
        << dumpWith("INSERT INTO `t` VALUES ('\n\\! touch /tmp/x\nsystem id\n');");
    QTest::newRow("client command inside a comment")
        << dumpWith("-- \\! touch /tmp/x\n/* system touch /tmp/x */ SET NAMES utf8mb4;");
    QTest::newRow("statements share a line") << dumpWith("SET NAMES utf8mb4; UNLOCK TABLES;");
    QTest::newRow("a word that is also a client command, inside a statement")
        << dumpWith("INSERT INTO `t` (id,\nstatus) VALUES (1, 2);");
    QTest::newRow("table and column qualified")
        << dumpWith("CREATE VIEW `v` AS select `s`.`id` AS `id` from `sales` `s`;");
    QTest::newRow("a table named like nothing else")
        << dumpWith("INSERT INTO Miscellaneous.x VALUES (1);");
    QTest::newRow("sql mode of a routine")
        << dumpWith("/*!50003 SET sql_mode = 'STRICT_TRANS_TABLES,NO_ENGINE_SUBSTITUTION' */ ;");
    QTest::newRow("saved settings")
        << dumpWith("/*!40101 SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' */;\n"
                    "/*!40101 SET SQL_MODE=@OLD_SQL_MODE */;");
    QTest::newRow("sequence") << dumpWith("CREATE SEQUENCE `s` start with 1 ENGINE=InnoDB;\n"
                                          "DO SETVAL(`s`, 1, 0);");
    QTest::newRow("ALTER DATABASE without a name")
        << dumpWith("ALTER DATABASE CHARACTER SET latin1 COLLATE latin1_swedish_ci ;");
    QTest::newRow("settings of a routine saved and given back")
        << dumpWith("/*!50003 SET @saved_sql_mode       = @@sql_mode */ ;\n"
                    "/*!50003 SET @saved_time_zone      = @@time_zone */ ;\n"
                    "/*!50003 SET time_zone             = 'SYSTEM' */ ;\n"
                    "/*!50003 SET collation_connection  = utf8mb4_uca1400_ai_ci */ ;\n"
                    "/*!50003 SET sql_mode              = '' */ ;\n"
                    "/*!50003 SET sql_mode              = @saved_sql_mode */ ;\n"
                    "/*!50003 SET time_zone             = @saved_time_zone */ ;");
    QTest::newRow("switches") << dumpWith(
        "/*!40014 SET @OLD_UNIQUE_CHECKS=@@UNIQUE_CHECKS, UNIQUE_CHECKS=0 */;\n"
        "/*M!100616 SET @OLD_NOTE_VERBOSITY=@@NOTE_VERBOSITY, NOTE_VERBOSITY=0 */;\n"
        "/*!40014 SET UNIQUE_CHECKS=@OLD_UNIQUE_CHECKS */;\nset autocommit=0;\nCOMMIT;");
    QTest::newRow("control bytes and -- inside texts")
        << dumpWith(QByteArray("INSERT INTO t VALUES ('a\x01--\x01b','--x',\"\x7f\");"));
    QTest::newRow("-- before a tab, a carriage return and the line end")
        << dumpWith("--\tcomment\r\n--\nSET NAMES utf8mb4; --\n");
    QTest::newRow("user variable in a routine")
        << dumpWith("DELIMITER ;;\nCREATE PROCEDURE p() BEGIN SET @n := 0; SELECT @n := @n + 1 "
                    "INTO @m; END ;;\nDELIMITER ;");
}

void tst_dumpvetting::accepted()
{
    QFETCH(QByteArray, dump);
    const DumpVetter::Verdict verdict =
        DumpVetter::vet(dump, QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(verdict.accepted, why(verdict));
    // The rows load in strict mode, whatever mode mysqldump gave them.
    QCOMPARE(verdict.loadable, QByteArray(dump).replace("SQL_MODE='NO_AUTO_VALUE_ON_ZERO'",
                                                        "SQL_MODE='NO_AUTO_VALUE_ON_ZERO,"
                                                        "STRICT_ALL_TABLES'"));
}

void tst_dumpvetting::definerBecomesTheLoader_data()
{
    QTest::addColumn<QByteArray>("statement");
    QTest::addColumn<QByteArray>("loadable");
    QTest::newRow("as mysqldump writes it")
        << QByteArray("CREATE DEFINER=`root`@`localhost` PROCEDURE `p1`() SELECT 1;")
        << QByteArray("CREATE DEFINER=CURRENT_USER PROCEDURE `p1`() SELECT 1;");
    QTest::newRow("no host") << QByteArray("CREATE DEFINER=root PROCEDURE p() SELECT 1;")
                             << QByteArray("CREATE DEFINER=CURRENT_USER PROCEDURE p() SELECT 1;");
    QTest::newRow("inside a text") << QByteArray("CREATE TABLE `t` (`a` int) COMMENT 'DEFINER=x';")
                                   << QByteArray("CREATE TABLE `t` (`a` int) COMMENT 'DEFINER=x';");
    // Found by fuzz_vetter: a word right after the name ran on into CURRENT_USER, naming another
    // account ('CURRENT_USERroot'), and a second vetting changed it again.
    QTest::newRow("a word right after the name")
        << QByteArray("CREATE TABLE `t` (`a` int) /*!50017 DEFINER=`r`root */;")
        << QByteArray("CREATE TABLE `t` (`a` int) /*!50017 DEFINER=CURRENT_USER root */;");
    QTest::newRow("a quoted name right after the name")
        << QByteArray("CREATE TABLE `t` (`a` int) /*!50017 DEFINER='a'`b` */;")
        << QByteArray("CREATE TABLE `t` (`a` int) /*!50017 DEFINER=CURRENT_USER `b` */;");
    QTest::newRow("a word right after the host")
        << QByteArray("CREATE TABLE `t` (`a` int) /*!50017 DEFINER=`root`@`localhost`x */;")
        << QByteArray("CREATE TABLE `t` (`a` int) /*!50017 DEFINER=CURRENT_USER x */;");
    QTest::newRow("the loader already")
        << QByteArray("CREATE DEFINER=CURRENT_USER PROCEDURE p() SELECT 1;")
        << QByteArray("CREATE DEFINER=CURRENT_USER PROCEDURE p() SELECT 1;");
}

// Views, routines, triggers and events become the loading account's; what the vetter gives
// the client passes it again unchanged.
void tst_dumpvetting::definerBecomesTheLoader()
{
    QFETCH(QByteArray, statement);
    QFETCH(QByteArray, loadable);
    const DumpVetter::Verdict verdict =
        DumpVetter::vet(dumpWith(statement), QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(verdict.accepted, why(verdict));
    QCOMPARE(verdict.loadable, dumpWith(loadable));
    const DumpVetter::Verdict again =
        DumpVetter::vet(verdict.loadable, QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(again.accepted, why(again));
    QCOMPARE(again.loadable, verdict.loadable);
}

void tst_dumpvetting::refused_data()
{
    QTest::addColumn<QByteArray>("dump");
    QTest::addColumn<DumpVetter::Refusal>("refusal");

    const QByteArray good = "SET NAMES utf8mb4;\n";
    // The mysql client's own commands, which run programs and touch files.
    QTest::newRow("\\! before a statement")
        << dumpWith("\\! touch /tmp/x\n" + good) << refusal(Reason::BackslashCommand, 5, "!");
    QTest::newRow("\\! after a statement") << dumpWith("SET NAMES utf8mb4; \\! touch /tmp/x\n")
                                           << refusal(Reason::BackslashCommand, 5, "!");
    QTest::newRow("\\! after a text that ends")
        << dumpWith("INSERT INTO t VALUES ('a\\\\'); \\! touch /tmp/x\n")
        << refusal(Reason::BackslashCommand, 5, "!");
    QTest::newRow("\\! inside an executable comment")
        << dumpWith("/*!40101 SET NAMES utf8mb4 \\! touch /tmp/x */;")
        << refusal(Reason::BackslashCommand, 5, "!");
    QTest::newRow("\\. source") << dumpWith("\\. /media/usb/more.sql\n" + good)
                                << refusal(Reason::BackslashCommand, 5, ".");
    QTest::newRow("system") << dumpWith("system touch /tmp/x\n" + good)
                            << refusal(Reason::ClientCommand, 5, "system");
    QTest::newRow("SYSTEM in capitals") << dumpWith("  SYSTEM touch /tmp/x\n" + good)
                                        << refusal(Reason::ClientCommand, 5, "system");
    QTest::newRow("source") << dumpWith("source /media/usb/more.sql\n" + good)
                            << refusal(Reason::ClientCommand, 5, "source");
    QTest::newRow("tee") << dumpWith("tee /etc/motd\n" + good)
                         << refusal(Reason::ClientCommand, 5, "tee");
    QTest::newRow("pager") << dumpWith("pager sh -c 'touch /tmp/x'\n" + good)
                           << refusal(Reason::ClientCommand, 5, "pager");
    QTest::newRow("edit") << dumpWith("edit\n" + good) << refusal(Reason::ClientCommand, 5, "edit");
    QTest::newRow("connect") << dumpWith("connect other otherhost\n" + good)
                             << refusal(Reason::ClientCommand, 5, "connect");
    QTest::newRow("use") << dumpWith("use Misc\n" + good)
                         << refusal(Reason::ClientCommand, 5, "use");
    QTest::newRow("system in a statement's later line")
        << dumpWith("INSERT INTO t VALUES (1,\nsystem touch /tmp/x\n);")
        << refusal(Reason::ClientCommand, 6, "system");
    QTest::newRow("\\G terminator")
        << dumpWith("SET NAMES utf8mb4\\G\n") << refusal(Reason::BackslashCommand, 5, "G");
    QTest::newRow("a delimiter mysqldump never writes")
        << dumpWith("DELIMITER //\nSET NAMES utf8mb4//\n") << refusal(Reason::Delimiter, 5, "//");

    // Statements that reach other databases or are not mysqldump's.
    QTest::newRow("CREATE DATABASE")
        << dumpWith("CREATE DATABASE evil;") << refusal(Reason::CreateNotMysqldump, 5, "DATABASE");
    QTest::newRow("CREATE DATABASE, executable comment")
        << dumpWith("/*!40000 CREATE DATABASE evil */;")
        << refusal(Reason::CreateNotMysqldump, 5, "DATABASE");
    QTest::newRow("DROP DATABASE") << dumpWith("DROP DATABASE IF EXISTS Misc;")
                                   << refusal(Reason::NotMysqldump, 5, "DROP DATABASE IF");
    QTest::newRow("CREATE SCHEMA in an event")
        << dumpWith("DELIMITER ;;\nCREATE EVENT e ON SCHEDULE EVERY 1 DAY DO CREATE SCHEMA x ;;\n"
                    "DELIMITER ;")
        << refusal(Reason::ForbiddenObject, 6, "CREATE", "SCHEMA");
    QTest::newRow("USE statement")
        << dumpWith("/*!40000 USE `Misc` */;") << refusal(Reason::NotMysqldump, 5, "USE Misc");
    QTest::newRow("ALTER DATABASE of another")
        << dumpWith("ALTER DATABASE `Misc` CHARACTER SET latin1 ;")
        << refusal(Reason::AlterOtherDatabase, 5, "Misc");
    QTest::newRow("ALTER DATABASE that is more than a character set")
        << dumpWith("ALTER DATABASE `appdb` UPGRADE DATA DIRECTORY NAME;")
        << refusal(Reason::AlterDatabaseForm, 5);
    QTest::newRow("GRANT") << dumpWith("GRANT ALL ON *.* TO 'x'@'%';")
                           << refusal(Reason::NotMysqldump, 5, "GRANT ALL ON");
    QTest::newRow("GRANT in a trigger")
        << dumpWith("CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW GRANT ALL ON *.* TO y;")
        << refusal(Reason::ForbiddenWord, 5, "GRANT");
    QTest::newRow("CREATE USER") << dumpWith("CREATE USER evil;")
                                 << refusal(Reason::CreateNotMysqldump, 5, "USER");
    QTest::newRow("SET PASSWORD") << dumpWith("SET PASSWORD FOR root = PASSWORD('x');")
                                  << refusal(Reason::ForbiddenSet, 5, "PASSWORD");
    QTest::newRow("SET GLOBAL") << dumpWith("SET GLOBAL event_scheduler = ON;")
                                << refusal(Reason::ForbiddenSet, 5, "GLOBAL");
    QTest::newRow("SET GLOBAL further down a trigger's list")
        << dumpWith("CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW SET @x = 1, "
                    "GLOBAL max_connections = 77, GLOBAL general_log = 1;")
        << refusal(Reason::ForbiddenSet, 5, "GLOBAL");
    QTest::newRow("global variable") << dumpWith("SET @@global.general_log_file = '/etc/x';")
                                     << refusal(Reason::SetOfUnknown, 5, "global.general_log_file");
    QTest::newRow("another database's table") << dumpWith("INSERT INTO Misc.settings VALUES (1);")
                                              << refusal(Reason::OtherDatabase, 5, "Misc");
    QTest::newRow("another database, quoted")
        << dumpWith("INSERT INTO `Misc`.`settings` VALUES (1);")
        << refusal(Reason::OtherDatabase, 5, "Misc");
    QTest::newRow("another database, other case")
        << dumpWith("INSERT INTO misc.settings VALUES (1);")
        << refusal(Reason::OtherDatabase, 5, "misc");
    QTest::newRow("another database, spaced and commented")
        << dumpWith("INSERT INTO Misc /* x */ . settings VALUES (1);")
        << refusal(Reason::OtherDatabase, 5, "Misc");
    QTest::newRow("another database, table named with digits")
        << dumpWith("CREATE TABLE Misc.5t (id int);") << refusal(Reason::OtherDatabase, 5, "Misc");
    QTest::newRow("another database, double quotes")
        << dumpWith("CREATE TABLE \"Misc\".x (id int);")
        << refusal(Reason::OtherDatabase, 5, "Misc");
    QTest::newRow("the server's own tables")
        << dumpWith("CREATE VIEW v AS SELECT * FROM mysql.user;")
        << refusal(Reason::OtherDatabase, 5, "mysql");
    QTest::newRow("information_schema")
        << dumpWith("CREATE VIEW v AS SELECT * FROM INFORMATION_SCHEMA.TABLES;")
        << refusal(Reason::OtherDatabase, 5, "INFORMATION_SCHEMA");
    QTest::newRow("trigger writes into another database")
        << dumpWith("DELIMITER ;;\n/*!50003 CREATE*/ /*!50017 DEFINER=`root`@`localhost`*/ "
                    "/*!50003 trigger t after insert on sales for each row begin insert into "
                    "`Misc`.log values (1); end */;;\nDELIMITER ;")
        << refusal(Reason::OtherDatabase, 6, "Misc");
    QTest::newRow("event drops a database")
        << dumpWith("DELIMITER ;;\n/*!50106 CREATE*/ /*!50106 EVENT `e` ON SCHEDULE AT "
                    "CURRENT_TIMESTAMP DO DROP DATABASE Misc */ ;;\nDELIMITER ;")
        << refusal(Reason::ForbiddenObject, 6, "DROP", "DATABASE");
    QTest::newRow("procedure with dynamic SQL")
        << dumpWith("DELIMITER ;;\nCREATE PROCEDURE p() BEGIN PREPARE s FROM @q; EXECUTE s; "
                    "END ;;\nDELIMITER ;")
        << refusal(Reason::ForbiddenWord, 6, "PREPARE");
    QTest::newRow("LOAD DATA") << dumpWith("LOAD DATA INFILE '/etc/passwd' INTO TABLE t;")
                               << refusal(Reason::NotMysqldump, 5, "LOAD DATA INFILE");
    QTest::newRow("LOAD_FILE in data")
        << dumpWith("INSERT INTO t VALUES (LOAD_FILE('/etc/shadow'));")
        << refusal(Reason::ForbiddenWord, 5, "LOAD_FILE");
    QTest::newRow("INTO OUTFILE in a procedure")
        << dumpWith("DELIMITER ;;\nCREATE PROCEDURE p() SELECT 1 INTO OUTFILE '/tmp/x' ;;\n"
                    "DELIMITER ;")
        << refusal(Reason::ForbiddenWord, 6, "OUTFILE");
    QTest::newRow("UDF from a library")
        << dumpWith("CREATE FUNCTION sys_exec RETURNS INT SONAME 'lib_mysqludf_sys.so';")
        << refusal(Reason::ForbiddenWord, 5, "SONAME");
    QTest::newRow("engine that reads files")
        << dumpWith("CREATE TABLE t (a text) ENGINE=CONNECT TABLE_TYPE=CSV "
                    "FILE_NAME='/etc/passwd';")
        << refusal(Reason::StorageEngine, 5, "CONNECT");
    QTest::newRow("engine named as a text")
        << dumpWith("CREATE TABLE t (a text) ENGINE = 'CONNECT';")
        << refusal(Reason::StorageEngine, 5, "CONNECT");
    QTest::newRow("data directory")
        << dumpWith("CREATE TABLE t (a int) ENGINE=MyISAM DATA DIRECTORY='/etc';")
        << refusal(Reason::FileDirectory, 5, "DATA");
    QTest::newRow("SELECT") << dumpWith("SELECT SLEEP(100000);")
                            << refusal(Reason::NotMysqldump, 5, "SELECT SLEEP (");
    QTest::newRow("CALL") << dumpWith("CALL p1(1);")
                          << refusal(Reason::NotMysqldump, 5, "CALL p1 (");
    QTest::newRow("ALTER TABLE beyond keys")
        << dumpWith("ALTER TABLE t ENGINE=InnoDB, ADD COLUMN x int;")
        << refusal(Reason::NotMysqldump, 5, "ALTER TABLE t");
    QTest::newRow("shutdown") << dumpWith("SHUTDOWN;")
                              << refusal(Reason::NotMysqldump, 5, "SHUTDOWN");

    // Settings under which the quotes would be read differently.
    QTest::newRow("no backslash escapes") << dumpWith("SET sql_mode = 'NO_BACKSLASH_ESCAPES';")
                                          << refusal(Reason::SqlMode, 5, "NO_BACKSLASH_ESCAPES");
    QTest::newRow("ANSI mode") << dumpWith("/*!40101 SET SQL_MODE='ANSI' */;")
                               << refusal(Reason::SqlMode, 5, "ANSI");
    QTest::newRow("sql mode as a number")
        << dumpWith("SET sql_mode = 4;") << refusal(Reason::SetByNumber, 5, "SQL_MODE");
    QTest::newRow("sql mode as a hexadecimal text")
        << dumpWith("SET sql_mode = X'414e5349';") << refusal(Reason::SetValue, 5, "SQL_MODE", "X");
    QTest::newRow("gbk") << dumpWith("SET NAMES gbk;") << refusal(Reason::CharacterSet, 5, "gbk");
    QTest::newRow("sjis client") << dumpWith("SET character_set_client = sjis;")
                                 << refusal(Reason::CharacterSet, 5, "sjis");
    QTest::newRow("user variable from a text") << dumpWith("SET @OLD_SQL_MODE='ANSI_QUOTES';")
                                               << refusal(Reason::SetOfUnknown, 5, "ANSI_QUOTES");
    QTest::newRow("SET STATEMENT") << dumpWith("SET STATEMENT sql_mode='ANSI' FOR SELECT 1;")
                                   << refusal(Reason::ForbiddenSet, 5, "STATEMENT");
    // The server drops the backslash of an unknown escape: the mode is NO_BACKSLASH_ESCAPES.
    QTest::newRow("sql mode with an escaped letter")
        << dumpWith("SET sql_mode='NO_BACKSLASH_ESCAPE\\S';\nINSERT INTO t VALUES ('x\\');\n"
                    "GRANT ALL PRIVILEGES ON *.* TO evil;\n');")
        << refusal(Reason::SetValueBackslash, 5);
    QTest::newRow("sql mode with an escaped letter, in a routine's settings")
        << dumpWith("/*!50003 SET sql_mode = 'STRICT_TRANS_TABLES,ANSI_QUOTE\\S' */ ;")
        << refusal(Reason::SetValueBackslash, 5);
    QTest::newRow("sql mode from a variable set in a row")
        << dumpWith("INSERT INTO t VALUES ((@m := 'NO_BACKSLASH_ESCAPES'));\n"
                    "SET SQL_MODE = @m;")
        << refusal(Reason::SetValue, 6, "SQL_MODE", "m");
    QTest::newRow("saved sql mode set in a row")
        << dumpWith("INSERT INTO t VALUES ((@OLD_SQL_MODE := 'NO_BACKSLASH_ESCAPES'));\n"
                    "/*!40101 SET SQL_MODE=@OLD_SQL_MODE */;")
        << refusal(Reason::SavedSettingUsed, 5, "OLD_SQL_MODE");
    QTest::newRow("saved sql mode set in a trigger")
        << dumpWith("CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW "
                    "SET @saved_sql_mode = 'ANSI_QUOTES';")
        << refusal(Reason::SavedSettingUsed, 5, "saved_sql_mode");
    QTest::newRow("saved setting from another setting")
        << dumpWith("/*!40101 SET @OLD_SQL_MODE=@@CHARACTER_SET_CLIENT */;")
        << refusal(Reason::SetOfUserVariable, 5, "OLD_SQL_MODE");
    QTest::newRow("setting from another's saved value")
        << dumpWith("/*!40101 SET SQL_MODE=@OLD_CHARACTER_SET_CLIENT */;")
        << refusal(Reason::SetValue, 5, "SQL_MODE", "OLD_CHARACTER_SET_CLIENT");
    QTest::newRow("a mode that is not one") << dumpWith("SET sql_mode = 'NO_SUCH_MODE';")
                                            << refusal(Reason::SqlMode, 5, "NO_SUCH_MODE");
    QTest::newRow("sql mode from a word") << dumpWith("SET sql_mode = DEFAULT;")
                                          << refusal(Reason::SetValue, 5, "SQL_MODE", "DEFAULT");
    QTest::newRow("sql mode as concatenated texts")
        << dumpWith("SET sql_mode = 'NO_BACKSLASH_' 'ESCAPES';")
        << refusal(Reason::SqlMode, 5, "NO_BACKSLASH_");
    QTest::newRow("sql mode with an introducer")
        << dumpWith("SET sql_mode = _latin1'ANSI';")
        << refusal(Reason::SetValue, 5, "SQL_MODE", "_latin1");
    QTest::newRow("a collation of another character set")
        << dumpWith("SET collation_connection = gbk_chinese_ci;")
        << refusal(Reason::SetValue, 5, "COLLATION_CONNECTION", "gbk_chinese_ci");
    QTest::newRow("a switch set to 2")
        << dumpWith("SET UNIQUE_CHECKS=2;") << refusal(Reason::SetValue, 5, "UNIQUE_CHECKS", "2");
    QTest::newRow("a time zone with a quote")
        << dumpWith("SET time_zone = \"'\";") << refusal(Reason::SetValue, 5, "TIME_ZONE", "'");
    // "--" followed by a control byte: a comment for the server, none for the client, which
    // sends what follows the ";" as statements of their own.
    QTest::newRow("-- before a control byte")
        << dumpWith(QByteArray("INSERT INTO t VALUES (1) --\x01; CREATE USER evil;\n"))
        << refusal(Reason::DashesWithoutBlank, 5);
    QTest::newRow("-- before a semicolon")
        << dumpWith("INSERT INTO t VALUES (1) --; CREATE USER x;\nGRANT ALL ON *.* TO x;")
        << refusal(Reason::DashesWithoutBlank, 5);
    QTest::newRow("-- hiding a USE")
        << dumpWith(QByteArray("SET NAMES utf8mb4; --\x01 ;USE reports;\nDROP TABLE t;"))
        << refusal(Reason::DashesWithoutBlank, 5);
    QTest::newRow("a control byte between statements")
        << dumpWith(QByteArray("SET NAMES utf8mb4;\x01\n"))
        << refusal(Reason::ControlByte, 5, "", "", 1);
    QTest::newRow("an escape sequence between statements")
        << dumpWith(QByteArray("SET NAMES utf8mb4; \x1b[2J\n"))
        << refusal(Reason::ControlByte, 5, "", "", 27);

    // Damaged or not a dump at all.
    QTest::newRow("empty") << QByteArray() << refusal(Reason::Empty, 0);
    QTest::newRow("only the completion line")
        << QByteArray("-- Dump completed on 2024-05-02 10:00:00\n") << refusal(Reason::NoHeader, 1);
    QTest::newRow("no completion line") << header + "INSERT INTO t VALUES (1);\n"
                                        << refusal(Reason::Incomplete, 0);
    QTest::newRow("cut in a statement")
        << header + "INSERT INTO t VALUES (1);\nINSERT INTO t VALUES (2"
        << refusal(Reason::EndsInStatement, 6);
    QTest::newRow("cut in a text")
        << header + "INSERT INTO t VALUES ('abc" << refusal(Reason::EndsInText, 0);
    QTest::newRow("completion line inside a text")
        << header + "INSERT INTO t VALUES ('" + footer << refusal(Reason::EndsInText, 0);
    QTest::newRow("header and completion only")
        << header.left(header.indexOf("/*!")) + footer << refusal(Reason::NoStatements, 0);
    QTest::newRow("NUL byte") << dumpWith(QByteArray("INSERT INTO t VALUES ('a\0b');", 30))
                              << refusal(Reason::NulByte, 1);
    QTest::newRow("no header") << QByteArray("SET NAMES utf8mb4;") + footer
                               << refusal(Reason::NoHeader, 1);
    QTest::newRow("comment that does not end")
        << dumpWith("/* SET NAMES utf8mb4;") << refusal(Reason::EndsInComment, 0);
    QTest::newRow("a CREATE of too many words")
        << dumpWith("CREATE TABLE t (" + QByteArray("a int, ").repeated(30000) + "z int);")
        << refusal(Reason::TooManyWords, 5, "", "", 65536);
}

void tst_dumpvetting::refused()
{
    QFETCH(QByteArray, dump);
    QFETCH(DumpVetter::Refusal, refusal);
    const DumpVetter::Verdict verdict =
        DumpVetter::vet(dump, QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(!verdict.accepted, "accepted");
    QCOMPARE(verdict.refusal, refusal);
    QVERIFY(verdict.loadable.isEmpty());
}

void tst_dumpvetting::ownDatabaseIsNamedWithoutItsName()
{
    const DumpVetter::Verdict verdict = DumpVetter::vet(
        dumpWith("ALTER DATABASE `appdb` CHARACTER SET latin1 COLLATE latin1_swedish_ci ;\n"
                 "INSERT INTO t VALUES (1);"),
        QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(verdict.accepted, why(verdict));
    QVERIFY(!verdict.namesOwnDatabase);
    QVERIFY(verdict.loadable.contains(
        "\nALTER DATABASE CHARACTER SET latin1 COLLATE latin1_swedish_ci ;\nINSERT"));
    // What comes out passes again unchanged.
    const DumpVetter::Verdict again =
        DumpVetter::vet(verdict.loadable, QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(again.accepted, why(again));
    QCOMPARE(again.loadable, verdict.loadable);
}

void tst_dumpvetting::piecesGiveTheSameVerdict_data()
{
    QTest::addColumn<QByteArray>("dump");
    QTest::newRow("mysqldump's output") << realDump();
    QTest::newRow("client command late")
        << realDump().replace("UNLOCK TABLES;\n/*!50003", "UNLOCK TABLES;\n\\! id\n/*!50003");
    QTest::newRow("cut short") << realDump().left(realDump().size() / 2);
}

// A stick is read in blocks: where a block ends must not change anything.
void tst_dumpvetting::piecesGiveTheSameVerdict()
{
    QFETCH(QByteArray, dump);
    const DumpVetter::Verdict whole =
        DumpVetter::vet(dump, QStringLiteral("appdb"), otherDatabases);
    for (int size : {1, 2, 3, 7, 64, 4096}) {
        const DumpVetter::Verdict pieces = vetInPieces(dump, size);
        QCOMPARE(pieces.accepted, whole.accepted);
        QCOMPARE(pieces.refusal, whole.refusal);
        QCOMPARE(pieces.loadable, whole.loadable);
    }
}

// Random damage to a real dump with the characters that matter to the client and the server:
// no crash, and whatever passes passes again unchanged, so the text that is loaded is one
// whose reading we are sure of.
void tst_dumpvetting::mutatedDumps()
{
    const QByteArray dump = realDump();
    const QByteArray alphabet = "\\'\"`;/*!-#\n @.M";
    QRandomGenerator random(20240502);
    int accepted = 0;
    for (int round = 0; round < 2000; ++round) {
        QByteArray mutated = dump;
        const int changes = 1 + int(random.bounded(4));
        for (int c = 0; c < changes; ++c) {
            const int at = int(random.bounded(mutated.size()));
            const char byte = alphabet.at(int(random.bounded(alphabet.size())));
            if (random.bounded(2))
                mutated.insert(at, byte);
            else
                mutated[at] = byte;
        }
        const DumpVetter::Verdict verdict =
            DumpVetter::vet(mutated, QStringLiteral("appdb"), otherDatabases);
        if (!verdict.accepted) {
            QVERIFY(verdict.refusal.reason != Reason::None);
            QVERIFY(verdict.refusal.line >= 0);
            continue;
        }
        ++accepted;
        const DumpVetter::Verdict again =
            DumpVetter::vet(verdict.loadable, QStringLiteral("appdb"), otherDatabases);
        QVERIFY2(again.accepted, why(again));
        QCOMPARE(again.loadable, verdict.loadable);
    }
    // Most damage lands in data or comments, where it is harmless.
    QVERIFY(accepted > 100);
}

void tst_dumpvetting::overlongStatementsAreRefused_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("repeated");
    QTest::addColumn<DumpVetter::Refusal>("refusal");
    QTest::newRow("one line of 200 MB")
        << QByteArray("INSERT INTO t VALUES ") << QByteArray("(1,'abcdefghijklmnopqrstuvw'),")
        << refusal(Reason::LineTooLong, 5, QByteArray(), QByteArray(), DumpVetter::maxUnitBytes);
    QTest::newRow("a statement over many lines")
        << QByteArray("INSERT INTO t VALUES ") << QByteArray("(1,'abcdefghijklmnopqrstuv'),\n")
        << refusal(Reason::StatementTooLong, 5, QByteArray(), QByteArray(),
                   DumpVetter::maxUnitBytes);
}

// However long, the dump is read in bounded memory and refused with a line for the box.
void tst_dumpvetting::overlongStatementsAreRefused()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, repeated);
    QFETCH(DumpVetter::Refusal, refusal);
    DumpVetter vetter(QStringLiteral("appdb"), otherDatabases);
    QByteArray loadable;
    QVERIFY(vetter.feed(header + start, &loadable));
    QByteArray block;
    while (block.size() < 64 * 1024)
        block += repeated;
    qint64 fed = 0;
    while (fed < 200 * 1024 * 1024 && vetter.feed(block, &loadable))
        fed += block.size();
    QVERIFY(vetter.isRefused());
    QCOMPARE(vetter.refusal(), refusal);
    QVERIFY(fed < 2 * DumpVetter::maxUnitBytes);
    QVERIFY(loadable.size() < 1024 * 1024);
}

// Rows checked a window at a time: what comes late in a long INSERT is seen too.
void tst_dumpvetting::longInsertsAreCheckedThroughout()
{
    QByteArray rows;
    while (rows.size() < 8 * 1024 * 1024)
        rows += "(1,'abc',2.5),";
    const QByteArray good = dumpWith("INSERT INTO t VALUES " + rows + "(2,'x',1);");
    const DumpVetter::Verdict verdict =
        DumpVetter::vet(good, QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(verdict.accepted, why(verdict));
    QCOMPARE(verdict.loadable, good);
    // At the start, where the first window ends, and in the last row.
    for (int at : {0, 14 * 8190, int(rows.size()) - 14}) {
        QByteArray bad = rows;
        bad.insert(at, "(LOAD_FILE('/etc/shadow'),'x',1),");
        const DumpVetter::Verdict refused =
            DumpVetter::vet(dumpWith("INSERT INTO t VALUES " + bad + "(2,'x',1);"),
                            QStringLiteral("appdb"), otherDatabases);
        QVERIFY2(!refused.accepted, qPrintable(QString::number(at)));
        QCOMPARE(refused.refusal, refusal(Reason::ForbiddenWord, 5, "LOAD_FILE"));
        bad = rows;
        bad.insert(at, "(1,Misc.secret(),2),");
        QVERIFY(!DumpVetter::vet(dumpWith("INSERT INTO t VALUES " + bad + "(2,'x',1);"),
                                 QStringLiteral("appdb"), otherDatabases)
                     .accepted);
    }
}

// Read from a stick and loaded as it comes, the text to load is taken after each piece: a
// long statement is handed over in the buffer it was gathered in, and nothing changes.
void tst_dumpvetting::streamedOutputIsTheWholeOutput()
{
    QByteArray rows;
    while (rows.size() < 5 * 1024 * 1024)
        rows += "(1,'it\\'s; -- not /* a */ comment',0x0A0B,NULL),";
    rows.chop(1);
    const QByteArray dump =
        dumpWith("INSERT INTO t VALUES " + rows + ";INSERT INTO t VALUES (2);\n" +
                 "/*!40101 SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' */;\n" +
                 "INSERT INTO t VALUES\n" + rows + ";\nDELIMITER ;;\nCREATE DEFINER=`root`@`%` " +
                 "PROCEDURE p() SELECT 1 ;;\nDELIMITER ;\nINSERT INTO t VALUES " + rows + ";");
    const DumpVetter::Verdict whole =
        DumpVetter::vet(dump, QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(whole.accepted, why(whole));
    QVERIFY(whole.loadable.contains("CREATE DEFINER=CURRENT_USER PROCEDURE"));
    for (int size : {4096, 64 * 1024, 1024 * 1024 + 3}) {
        DumpVetter vetter(QStringLiteral("appdb"), otherDatabases);
        QByteArray loaded;
        QByteArray loadable;
        for (int at = 0; at < dump.size(); at += size) {
            QVERIFY(vetter.feed(dump.mid(at, size), &loadable));
            loaded += loadable;
            loadable.clear();
        }
        QVERIFY(vetter.finish(&loadable));
        loaded += loadable;
        QCOMPARE(loaded.size(), whole.loadable.size());
        QVERIFY(loaded == whole.loadable);
        QCOMPARE(vetter.statementCount(), whole.statements);
    }
}

// A refusal names at most nameLimit bytes of what it names, however long that is.
void tst_dumpvetting::refusalsNameBoundedBytes()
{
    const QByteArray engine(100000, 'X');
    const DumpVetter::Verdict verdict =
        DumpVetter::vet(dumpWith("CREATE TABLE t (a int) ENGINE='" + engine + "';"),
                        QStringLiteral("appdb"), otherDatabases);
    QCOMPARE(verdict.refusal,
             refusal(Reason::StorageEngine, 5, engine.left(DumpVetter::nameLimit)));
    const DumpVetter::Verdict value = DumpVetter::vet(
        dumpWith("SET unique_checks = '" + engine + "';"), QStringLiteral("appdb"), otherDatabases);
    QCOMPARE(value.refusal,
             refusal(Reason::SetValue, 5, "UNIQUE_CHECKS", engine.left(DumpVetter::nameLimit)));
}

QTEST_MAIN(tst_dumpvetting)
#include "tst_dumpvetting.moc"
