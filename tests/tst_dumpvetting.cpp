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
}

void tst_dumpvetting::accepted()
{
    QFETCH(QByteArray, dump);
    const DumpVetter::Verdict verdict =
        DumpVetter::vet(dump, QStringLiteral("appdb"), otherDatabases);
    QVERIFY2(verdict.accepted, qPrintable(verdict.problem));
    QCOMPARE(verdict.loadable, dump);
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
    for (int round = 0; round < 1500; ++round) {
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

QTEST_MAIN(tst_dumpvetting)
#include "tst_dumpvetting.moc"
