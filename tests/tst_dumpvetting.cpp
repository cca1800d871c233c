#include "maintenance/database/dumpvetting.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

// The vetting of dumps from a stick, as plain logic: mysqldump's own output passes, hostile
// and damaged dumps are refused with the line that shows why.

namespace {

const QStringList otherDatabases = {"Misc", "mysql", "shop"};

const QByteArray header = "-- MariaDB dump 10.19  Distrib 10.11.19-MariaDB, for debian-linux-gnu\n"
                          "--\n-- Host: localhost    Database: appdb\n"
                          "/*!40101 SET NAMES utf8mb4 */;\n";
const QByteArray footer = "\n-- Dump completed on 2024-05-02 10:00:00\n";

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
    verdict.problem = vetter.problem();
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
    void piecesGiveTheSameVerdict_data();
    void piecesGiveTheSameVerdict();
    void mutatedDumps();
    void overlongStatementsAreRefused_data();
    void overlongStatementsAreRefused();
    void longInsertsAreCheckedThroughout();
};

void tst_dumpvetting::mysqldumpOutputPasses()
{
    const QByteArray dump = realDump();
    QVERIFY(dump.contains("-- Dump completed"));
    QVERIFY(dump.contains("CREATE DEFINER=`root`@`localhost` PROCEDURE `p1`"));
    const DumpVetter::Verdict verdict =
        DumpVetter::vet(dump, QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(verdict.accepted, qPrintable(verdict.problem));
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
    QVERIFY2(verdict.accepted, qPrintable(verdict.problem));
    // The rows load in strict mode, whatever mode mysqldump gave them.
    QCOMPARE(verdict.loadable, QByteArray(dump).replace("SQL_MODE='NO_AUTO_VALUE_ON_ZERO'",
                                                        "SQL_MODE='NO_AUTO_VALUE_ON_ZERO,"
                                                        "STRICT_ALL_TABLES'"));
}

void tst_dumpvetting::refused_data()
{
    QTest::addColumn<QByteArray>("dump");
    QTest::addColumn<QString>("problem");

    const QByteArray good = "SET NAMES utf8mb4;\n";
    // The mysql client's own commands, which run programs and touch files.
    QTest::newRow("\\! before a statement") << dumpWith("\\! touch /tmp/x\n" + good) << "\\!";
    QTest::newRow("\\! after a statement") << dumpWith("SET NAMES utf8mb4; \\! touch /tmp/x\n")
                                           << "line 5: the mysql client command \\!";
    QTest::newRow("\\! after a text that ends")
        << dumpWith("INSERT INTO t VALUES ('a\\\\'); \\! touch /tmp/x\n") << "\\!";
    QTest::newRow("\\! inside an executable comment")
        << dumpWith("/*!40101 SET NAMES utf8mb4 \\! touch /tmp/x */;") << "\\!";
    QTest::newRow("\\. source") << dumpWith("\\. /media/usb/more.sql\n" + good) << "\\.";
    QTest::newRow("system") << dumpWith("system touch /tmp/x\n" + good) << "command system";
    QTest::newRow("SYSTEM in capitals")
        << dumpWith("  SYSTEM touch /tmp/x\n" + good) << "command system";
    QTest::newRow("source") << dumpWith("source /media/usb/more.sql\n" + good) << "source";
    QTest::newRow("tee") << dumpWith("tee /etc/motd\n" + good) << "tee";
    QTest::newRow("pager") << dumpWith("pager sh -c 'touch /tmp/x'\n" + good) << "pager";
    QTest::newRow("edit") << dumpWith("edit\n" + good) << "edit";
    QTest::newRow("connect") << dumpWith("connect other otherhost\n" + good) << "connect";
    QTest::newRow("use") << dumpWith("use Misc\n" + good) << "use";
    QTest::newRow("system in a statement's later line")
        << dumpWith("INSERT INTO t VALUES (1,\nsystem touch /tmp/x\n);") << "system";
    QTest::newRow("\\G terminator") << dumpWith("SET NAMES utf8mb4\\G\n") << "\\G";
    QTest::newRow("a delimiter mysqldump never writes")
        << dumpWith("DELIMITER //\nSET NAMES utf8mb4//\n") << "delimiter";

    // Statements that reach other databases or are not mysqldump's.
    QTest::newRow("CREATE DATABASE") << dumpWith("CREATE DATABASE evil;") << "CREATE DATABASE";
    QTest::newRow("CREATE DATABASE, executable comment")
        << dumpWith("/*!40000 CREATE DATABASE evil */;") << "CREATE DATABASE";
    QTest::newRow("DROP DATABASE") << dumpWith("DROP DATABASE IF EXISTS Misc;") << "DROP";
    QTest::newRow("CREATE SCHEMA in an event")
        << dumpWith("DELIMITER ;;\nCREATE EVENT e ON SCHEDULE EVERY 1 DAY DO CREATE SCHEMA x ;;\n"
                    "DELIMITER ;")
        << "CREATE SCHEMA";
    QTest::newRow("USE statement") << dumpWith("/*!40000 USE `Misc` */;") << "USE";
    QTest::newRow("ALTER DATABASE of another")
        << dumpWith("ALTER DATABASE `Misc` CHARACTER SET latin1 ;") << "ALTER DATABASE Misc";
    QTest::newRow("ALTER DATABASE that is more than a character set")
        << dumpWith("ALTER DATABASE `appdb` UPGRADE DATA DIRECTORY NAME;") << "ALTER DATABASE";
    QTest::newRow("GRANT") << dumpWith("GRANT ALL ON *.* TO 'x'@'%';") << "GRANT";
    QTest::newRow("GRANT in a trigger")
        << dumpWith("CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW GRANT ALL ON *.* TO y;")
        << "GRANT";
    QTest::newRow("CREATE USER") << dumpWith("CREATE USER evil;") << "CREATE USER";
    QTest::newRow("SET PASSWORD") << dumpWith("SET PASSWORD FOR root = PASSWORD('x');")
                                  << "SET PASSWORD";
    QTest::newRow("SET GLOBAL") << dumpWith("SET GLOBAL event_scheduler = ON;") << "SET GLOBAL";
    QTest::newRow("global variable")
        << dumpWith("SET @@global.general_log_file = '/etc/x';") << "global";
    QTest::newRow("another database's table")
        << dumpWith("INSERT INTO Misc.settings VALUES (1);") << "the database Misc";
    QTest::newRow("another database, quoted")
        << dumpWith("INSERT INTO `Misc`.`settings` VALUES (1);") << "Misc";
    QTest::newRow("another database, other case")
        << dumpWith("INSERT INTO misc.settings VALUES (1);") << "misc";
    QTest::newRow("another database, spaced and commented")
        << dumpWith("INSERT INTO Misc /* x */ . settings VALUES (1);") << "Misc";
    QTest::newRow("another database, table named with digits")
        << dumpWith("CREATE TABLE Misc.5t (id int);") << "Misc";
    QTest::newRow("another database, double quotes")
        << dumpWith("CREATE TABLE \"Misc\".x (id int);") << "Misc";
    QTest::newRow("the server's own tables")
        << dumpWith("CREATE VIEW v AS SELECT * FROM mysql.user;") << "mysql";
    QTest::newRow("information_schema")
        << dumpWith("CREATE VIEW v AS SELECT * FROM INFORMATION_SCHEMA.TABLES;")
        << "INFORMATION_SCHEMA";
    QTest::newRow("trigger writes into another database")
        << dumpWith("DELIMITER ;;\n/*!50003 CREATE*/ /*!50017 DEFINER=`root`@`localhost`*/ "
                    "/*!50003 trigger t after insert on sales for each row begin insert into "
                    "`Misc`.log values (1); end */;;\nDELIMITER ;")
        << "Misc";
    QTest::newRow("event drops a database")
        << dumpWith("DELIMITER ;;\n/*!50106 CREATE*/ /*!50106 EVENT `e` ON SCHEDULE AT "
                    "CURRENT_TIMESTAMP DO DROP DATABASE Misc */ ;;\nDELIMITER ;")
        << "DROP DATABASE";
    QTest::newRow("procedure with dynamic SQL")
        << dumpWith("DELIMITER ;;\nCREATE PROCEDURE p() BEGIN PREPARE s FROM @q; EXECUTE s; "
                    "END ;;\nDELIMITER ;")
        << "PREPARE";
    QTest::newRow("LOAD DATA") << dumpWith("LOAD DATA INFILE '/etc/passwd' INTO TABLE t;")
                               << "LOAD";
    QTest::newRow("LOAD_FILE in data")
        << dumpWith("INSERT INTO t VALUES (LOAD_FILE('/etc/shadow'));") << "LOAD_FILE";
    QTest::newRow("INTO OUTFILE in a procedure")
        << dumpWith("DELIMITER ;;\nCREATE PROCEDURE p() SELECT 1 INTO OUTFILE '/tmp/x' ;;\n"
                    "DELIMITER ;")
        << "OUTFILE";
    QTest::newRow("UDF from a library")
        << dumpWith("CREATE FUNCTION sys_exec RETURNS INT SONAME 'lib_mysqludf_sys.so';")
        << "SONAME";
    QTest::newRow("engine that reads files")
        << dumpWith("CREATE TABLE t (a text) ENGINE=CONNECT TABLE_TYPE=CSV "
                    "FILE_NAME='/etc/passwd';")
        << "CONNECT";
    QTest::newRow("engine named as a text")
        << dumpWith("CREATE TABLE t (a text) ENGINE = 'CONNECT';") << "CONNECT";
    QTest::newRow("data directory")
        << dumpWith("CREATE TABLE t (a int) ENGINE=MyISAM DATA DIRECTORY='/etc';")
        << "DATA DIRECTORY";
    QTest::newRow("SELECT") << dumpWith("SELECT SLEEP(100000);") << "SELECT SLEEP";
    QTest::newRow("CALL") << dumpWith("CALL p1(1);") << "CALL";
    QTest::newRow("ALTER TABLE beyond keys")
        << dumpWith("ALTER TABLE t ENGINE=InnoDB, ADD COLUMN x int;") << "ALTER TABLE";
    QTest::newRow("shutdown") << dumpWith("SHUTDOWN;") << "SHUTDOWN";

    // Settings under which the quotes would be read differently.
    QTest::newRow("no backslash escapes")
        << dumpWith("SET sql_mode = 'NO_BACKSLASH_ESCAPES';") << "NO_BACKSLASH_ESCAPES";
    QTest::newRow("ANSI mode") << dumpWith("/*!40101 SET SQL_MODE='ANSI' */;") << "ANSI";
    QTest::newRow("sql mode as a number") << dumpWith("SET sql_mode = 4;") << "number";
    QTest::newRow("sql mode as a hexadecimal text")
        << dumpWith("SET sql_mode = X'414e5349';") << "SET";
    QTest::newRow("gbk") << dumpWith("SET NAMES gbk;") << "GBK";
    QTest::newRow("sjis client") << dumpWith("SET character_set_client = sjis;") << "SJIS";
    QTest::newRow("user variable from a text")
        << dumpWith("SET @OLD_SQL_MODE='ANSI_QUOTES';") << "SET";
    QTest::newRow("SET STATEMENT")
        << dumpWith("SET STATEMENT sql_mode='ANSI' FOR SELECT 1;") << "SET";
    // The server drops the backslash of an unknown escape: the mode is NO_BACKSLASH_ESCAPES.
    QTest::newRow("sql mode with an escaped letter")
        << dumpWith("SET sql_mode='NO_BACKSLASH_ESCAPE\\S';\nINSERT INTO t VALUES ('x\\');\n"
                    "GRANT ALL PRIVILEGES ON *.* TO evil;\n');")
        << "line 5: a SET value with a backslash";
    QTest::newRow("sql mode with an escaped letter, in a routine's settings")
        << dumpWith("/*!50003 SET sql_mode = 'STRICT_TRANS_TABLES,ANSI_QUOTE\\S' */ ;")
        << "backslash";
    QTest::newRow("sql mode from a variable set in a row")
        << dumpWith("INSERT INTO t VALUES ((@m := 'NO_BACKSLASH_ESCAPES'));\n"
                    "SET SQL_MODE = @m;")
        << "line 6: SQL_MODE set to m";
    QTest::newRow("saved sql mode set in a row")
        << dumpWith("INSERT INTO t VALUES ((@OLD_SQL_MODE := 'NO_BACKSLASH_ESCAPES'));\n"
                    "/*!40101 SET SQL_MODE=@OLD_SQL_MODE */;")
        << "line 5: the saved setting @OLD_SQL_MODE outside its SET";
    QTest::newRow("saved sql mode set in a trigger")
        << dumpWith("CREATE TRIGGER t BEFORE INSERT ON x FOR EACH ROW "
                    "SET @saved_sql_mode = 'ANSI_QUOTES';")
        << "saved setting";
    QTest::newRow("saved setting from another setting")
        << dumpWith("/*!40101 SET @OLD_SQL_MODE=@@CHARACTER_SET_CLIENT */;") << "OLD_SQL_MODE";
    QTest::newRow("setting from another's saved value")
        << dumpWith("/*!40101 SET SQL_MODE=@OLD_CHARACTER_SET_CLIENT */;") << "SQL_MODE set to";
    QTest::newRow("a mode that is not one")
        << dumpWith("SET sql_mode = 'NO_SUCH_MODE';") << "the SQL mode NO_SUCH_MODE";
    QTest::newRow("sql mode from a word") << dumpWith("SET sql_mode = DEFAULT;") << "SQL_MODE";
    QTest::newRow("sql mode as concatenated texts")
        << dumpWith("SET sql_mode = 'NO_BACKSLASH_' 'ESCAPES';") << "SQL mode";
    QTest::newRow("sql mode with an introducer")
        << dumpWith("SET sql_mode = _latin1'ANSI';") << "SQL_MODE";
    QTest::newRow("a collation of another character set")
        << dumpWith("SET collation_connection = gbk_chinese_ci;") << "COLLATION_CONNECTION";
    QTest::newRow("a switch set to 2") << dumpWith("SET UNIQUE_CHECKS=2;") << "UNIQUE_CHECKS";
    QTest::newRow("a time zone with a quote") << dumpWith("SET time_zone = \"'\";") << "TIME_ZONE";
    // "--" followed by a control byte: a comment for the server, none for the client, which
    // sends what follows the ";" as statements of their own.
    QTest::newRow("-- before a control byte")
        << dumpWith(QByteArray("INSERT INTO t VALUES (1) --\x01; CREATE USER evil;\n"))
        << "line 5: a -- without a blank after it";
    QTest::newRow("-- before a semicolon")
        << dumpWith("INSERT INTO t VALUES (1) --; CREATE USER x;\nGRANT ALL ON *.* TO x;")
        << "a -- without a blank";
    QTest::newRow("-- hiding a USE")
        << dumpWith(QByteArray("SET NAMES utf8mb4; --\x01 ;USE reports;\nDROP TABLE t;"))
        << "a -- without a blank";
    QTest::newRow("a control byte between statements")
        << dumpWith(QByteArray("SET NAMES utf8mb4;\x01\n")) << "the control byte 0x01";
    QTest::newRow("an escape sequence between statements")
        << dumpWith(QByteArray("SET NAMES utf8mb4; \x1b[2J\n")) << "0x1b";

    // Damaged or not a dump at all.
    QTest::newRow("empty") << QByteArray() << "empty";
    QTest::newRow("only the completion line")
        << QByteArray("-- Dump completed on 2024-05-02 10:00:00\n") << "header";
    QTest::newRow("no completion line") << header + "INSERT INTO t VALUES (1);\n"
                                        << "incomplete";
    QTest::newRow("cut in a statement")
        << header + "INSERT INTO t VALUES (1);\nINSERT INTO t VALUES (2"
        << "line 6";
    QTest::newRow("cut in a text") << header + "INSERT INTO t VALUES ('abc"
                                   << "quoted";
    QTest::newRow("completion line inside a text")
        << header + "INSERT INTO t VALUES ('" + footer << "quoted";
    QTest::newRow("header and completion only")
        << header.left(header.indexOf("/*!")) + footer << "no statements";
    QTest::newRow("NUL byte") << dumpWith(QByteArray("INSERT INTO t VALUES ('a\0b');", 30))
                              << "NUL";
    QTest::newRow("no header") << QByteArray("SET NAMES utf8mb4;") + footer << "header";
    QTest::newRow("comment that does not end") << dumpWith("/* SET NAMES utf8mb4;") << "comment";
    QTest::newRow("a CREATE of too many words")
        << dumpWith("CREATE TABLE t (" + QByteArray("a int, ").repeated(30000) + "z int);")
        << "a statement of more than 65536 words";
}

void tst_dumpvetting::refused()
{
    QFETCH(QByteArray, dump);
    QFETCH(QString, problem);
    const DumpVetter::Verdict verdict =
        DumpVetter::vet(dump, QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(!verdict.accepted, "accepted");
    QVERIFY2(verdict.problem.contains(problem, Qt::CaseInsensitive), qPrintable(verdict.problem));
    QVERIFY(verdict.loadable.isEmpty());
}

void tst_dumpvetting::ownDatabaseIsNamedWithoutItsName()
{
    const DumpVetter::Verdict verdict = DumpVetter::vet(
        dumpWith("ALTER DATABASE `appdb` CHARACTER SET latin1 COLLATE latin1_swedish_ci ;\n"
                 "INSERT INTO t VALUES (1);"),
        QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(verdict.accepted, qPrintable(verdict.problem));
    QVERIFY(!verdict.namesOwnDatabase);
    QVERIFY(verdict.loadable.contains(
        "\nALTER DATABASE CHARACTER SET latin1 COLLATE latin1_swedish_ci ;\nINSERT"));
    // What comes out passes again unchanged.
    const DumpVetter::Verdict again =
        DumpVetter::vet(verdict.loadable, QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(again.accepted, qPrintable(again.problem));
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
        QCOMPARE(pieces.problem, whole.problem);
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
            QVERIFY(!verdict.problem.isEmpty());
            continue;
        }
        ++accepted;
        const DumpVetter::Verdict again =
            DumpVetter::vet(verdict.loadable, QStringLiteral("appdb"), otherDatabases);
        QVERIFY2(again.accepted, qPrintable(again.problem));
        QCOMPARE(again.loadable, verdict.loadable);
    }
    // Most damage lands in data or comments, where it is harmless.
    QVERIFY(accepted > 100);
}

void tst_dumpvetting::overlongStatementsAreRefused_data()
{
    QTest::addColumn<QByteArray>("start");
    QTest::addColumn<QByteArray>("repeated");
    QTest::addColumn<QString>("problem");
    QTest::newRow("one line of 200 MB")
        << QByteArray("INSERT INTO t VALUES ") << QByteArray("(1,'abcdefghijklmnopqrstuvw'),")
        << QString("line 5: a line longer than");
    QTest::newRow("a statement over many lines")
        << QByteArray("INSERT INTO t VALUES ") << QByteArray("(1,'abcdefghijklmnopqrstuv'),\n")
        << QString("line 5: a statement longer than");
}

// However long, the dump is read in bounded memory and refused with a line for the box.
void tst_dumpvetting::overlongStatementsAreRefused()
{
    QFETCH(QByteArray, start);
    QFETCH(QByteArray, repeated);
    QFETCH(QString, problem);
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
    QVERIFY2(vetter.problem().contains(problem), qPrintable(vetter.problem()));
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
    QVERIFY2(verdict.accepted, qPrintable(verdict.problem));
    QCOMPARE(verdict.loadable, good);
    // At the start, where the first window ends, and in the last row.
    for (int at : {0, 14 * 8190, int(rows.size()) - 14}) {
        QByteArray bad = rows;
        bad.insert(at, "(LOAD_FILE('/etc/shadow'),'x',1),");
        const DumpVetter::Verdict refused =
            DumpVetter::vet(dumpWith("INSERT INTO t VALUES " + bad + "(2,'x',1);"),
                            QStringLiteral("appdb"), otherDatabases);
        QVERIFY2(!refused.accepted, qPrintable(QString::number(at)));
        QVERIFY2(refused.problem.contains("LOAD_FILE"), qPrintable(refused.problem));
        bad = rows;
        bad.insert(at, "(1,Misc.secret(),2),");
        QVERIFY(!DumpVetter::vet(dumpWith("INSERT INTO t VALUES " + bad + "(2,'x',1);"),
                                 QStringLiteral("appdb"), otherDatabases)
                     .accepted);
    }
}

QTEST_MAIN(tst_dumpvetting)
#include "tst_dumpvetting.moc"
