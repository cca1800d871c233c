#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"
#include "panel/sendordertoprinter_test.h"

#include "commandlists.h"
#include "modalcloser.h"
#include "capturestdout.h"
#include "recordingrunner.h"
#include "systemroot.h"
#include "withoutreadoverride.h"

#include <QLocale>
#include <QTemporaryFile>
#include <QtTest>

#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using Lines = QList<QByteArray>;

// The command lines of the backup page, %1 standing for the system root. Under the
// device's own root ("") they are the texts the device has always run, blanks included,
// with these changes: the backup makes its folders itself (checked, never through a link),
// asks the server for the size of the databases before it copies anything, and dumps into
// the new set beside the old one, with routines, events and triggers; a drop says "if
// exists", so that a database already gone is told apart from a server that cannot be
// reached.
static const QStringList backupTexts = {
    "mysql -N -B -e \"SELECT TABLE_SCHEMA, SUM(DATA_LENGTH) FROM information_schema.TABLES WHERE "
    "TABLE_SCHEMA IN ('appdb', 'Misc') GROUP BY TABLE_SCHEMA\" > "
    "%1/mnt/usb/BackupData.new/database-sizes.txt",
    "sync",
    "mysqldump --routines --events --triggers appdb > %1/mnt/usb/BackupData.new/appdb.sql",
    "mysqldump --routines --events --triggers Misc > %1/mnt/usb/BackupData.new/Misc.sql",
    "sync",
};
// What the recording runner writes for a dump line, as mysqldump would.
static const QByteArray fakeDump = "CREATE TABLE t (id int);\n-- Dump completed on 2024-05-02\n";

// The recording runner, which also leaves for each dump line a whole dump where the line
// would have written it, so that a backup can complete without a database.
class DumpingRunner : public RecordingRunner
{
public:
    CommandResult run(const QByteArray &commandLine) override
    {
        const CommandResult status = RecordingRunner::run(commandLine);
        if (status.succeeded() && commandLine.startsWith("mysqldump")) {
            const QByteArray database = commandLine.split(' ').value(4);
            QFile dump(dumpInto + QLatin1Char('/') + QString::fromLatin1(database) + ".sql");
            if (dump.open(QIODevice::WriteOnly))
                dump.write(fakeDump);
        }
        return status;
    }
    QString dumpInto;
};
// What Restore runs, %1 standing for the system root, each line with the first statement it
// reads (" << "): the server read, the dumps streamed into staging databases as the loading
// account, the switch prepared, each database switched, the old data dropped, then "sync"
// once /opt is swapped. (The recording runner's server holds nothing: no definitions to
// keep or make again.)
static const QString restoreWork = "%1/var/backups/servicepanel";
static const QString restoreClient = "mysql --default-character-set=utf8mb4 --local-infile=0 "
                                     "--skip-named-commands --skip-force --skip-reconnect --batch "
                                     "--sandbox";
static const QString restoreQuery =
    restoreClient + " --skip-column-names > " + restoreWork + "/answer.txt";
static const QString restoreLoad = "mysql --defaults-file=" + restoreWork +
                                   "/loading.cnf --default-character-set=utf8mb4 "
                                   "--local-infile=0 --skip-named-commands --skip-force "
                                   "--skip-reconnect --batch --sandbox";
static const QString accountLine =
    " << CREATE USER IF NOT EXISTS 'servicepanel_data'@'localhost' ACCOUNT LOCK;";
static QStringList restoreTexts()
{
    QStringList lines{"mysql --no-defaults --help 2>/dev/null | grep -q -e '--sandbox'",
                      restoreQuery + " << SELECT 'socket', HEX(@@socket);",
                      restoreClient + accountLine,
                      restoreClient + " << CREATE DATABASE `servicepanel_new_appdb`;"};
    for (const QString database : {"appdb", "Misc"})
        lines << restoreClient + accountLine
              << restoreLoad + " << SET ROLE `servicepanel_staging`;";
    lines << restoreClient + accountLine
          << restoreQuery + " << SELECT 'appdb', 'schema', DEFAULT_CHARACTER_SET_NAME, "
                            "DEFAULT_COLLATION_NAME FROM information_schema.SCHEMATA WHERE "
                            "SCHEMA_NAME = 'appdb';";
    for (const QString database : {"appdb", "Misc"})
        lines << restoreQuery + " << SELECT '" + database +
                     "', 'schema', DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME FROM "
                     "information_schema.SCHEMATA WHERE SCHEMA_NAME = '" +
                     database + "';"
              << restoreClient + " << CREATE DATABASE IF NOT EXISTS `" + database + "`;";
    return lines << restoreClient + " << DROP DATABASE IF EXISTS `servicepanel_new_appdb`;"
                 << "sync";
}
// What a recording runner ran: each line, with the first statement it read.
static QList<QByteArray> steps(const RecordingRunner &runner)
{
    QList<QByteArray> ran;
    for (int i = 0; i < runner.lines.size(); ++i) {
        const QByteArray input = runner.inputs.value(i);
        ran << (input.isEmpty() ? runner.lines.at(i)
                                : runner.lines.at(i) + " << " + input.left(input.indexOf('\n')));
    }
    return ran;
}
// The one file of the set that writeCompleteSet() makes.
static const QByteArray keptFile = "from the stick";
// A dump as mysqldump writes it, small enough for the recording runner's restores.
static const QByteArray goodDump = "-- MariaDB dump 10.19\n--\nCREATE TABLE t (id int);\n"
                                   "INSERT INTO t VALUES (1);\n"
                                   "-- Dump completed on 2024-05-02 10:00:00\n";
static const QStringList clearTexts = {
    "mysql -e  \"drop database if exists appdb;\"",
    "mysql -e  \"drop database if exists Misc;\"",
    "rm -rf %1/opt/Brevin  ",
    "rm -rf %1/var/backups/servicepanel",
    "sync ",
};
static const QStringList powerOffTexts = {"poweroff"};

static QString rootedText(const QString &text, const QString &root)
{
    return text.contains(QLatin1String("%1")) ? text.arg(root) : text;
}

static Lines linesFor(const QStringList &texts, const QString &root)
{
    Lines lines;
    for (const QString &text : texts)
        lines << rootedText(text, root).toLatin1();
    return lines;
}

class tst_maintenancecommands : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void commandTexts_data();
    void commandTexts();
    void slotsRunTheLinesInOrder_data();
    void slotsRunTheLinesInOrder();
    void powerOffDisablesFirst();
    void probe_data();
    void probe();
    void nothingRunsWithoutStick_data();
    void nothingRunsWithoutStick();
    void incompleteSetTouchesNothing_data();
    void incompleteSetTouchesNothing();
    void fifoDumpDoesNotBlock();
    void failedStepsAreNamed_data();
    void failedStepsAreNamed();
    void copyFailuresAreNamed_data();
    void copyFailuresAreNamed();
    void clearSaysWhatIsLeft_data();
    void clearSaysWhatIsLeft();
    void runnerExitStatusOne();
    void runnerShellCannotStart();
    void shellArgumentIsOneWord_data();
    void shellArgumentIsOneWord();

private:
    bool needStick();
    void writeCompleteSet();

    std::unique_ptr<TestSystemRoot> m_root;
    std::unique_ptr<sendordertoprinter_test> m_panel;
    DumpingRunner m_runner;
};

void tst_maintenancecommands::init()
{
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid());
    m_runner.lines.clear();
    m_runner.inputs.clear();
    m_runner.statuses.clear();
    m_runner.timeouts.clear();
    m_runner.failWith = nullptr;
    m_runner.onRun = nullptr;
    m_runner.dumpInto = m_root->file("mnt/usb/BackupData.new");
    m_panel = makeRootedPanel(*m_root, &m_runner);
}

void tst_maintenancecommands::cleanup()
{
    m_panel.reset();
    m_root.reset();
}

// The probe wants a mounted stick, which needs the private mount namespace.
bool tst_maintenancecommands::needStick()
{
    if (!m_root->plugNode() || !m_root->mountStick()) {
        const QString problem = TestSystemRoot::namespaceProblem();
        qWarning("no stick can be mounted: %s", qPrintable(problem));
        return false;
    }
    return true;
}

// A set as an older panel wrote it: no manifest.
void tst_maintenancecommands::writeCompleteSet()
{
    QDir().mkpath(m_root->file("mnt/usb/BackupData/opt/Brevin"));
    QFile kept(m_root->file("mnt/usb/BackupData/opt/Brevin/kept.txt"));
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.write(keptFile);
    for (const char *name : {"appdb", "Misc"}) {
        QFile dump(m_root->file(QStringLiteral("mnt/usb/BackupData/%1.sql").arg(name)));
        QVERIFY(dump.open(QIODevice::WriteOnly));
        dump.write(goodDump);
    }
}

void tst_maintenancecommands::commandTexts_data()
{
    QTest::addColumn<QString>("root");
    QTest::addColumn<Lines>("actual");
    QTest::addColumn<Lines>("expected");
    for (const QString &root : {QString(), QStringLiteral("/tmp/panel-root_1.x")}) {
        const QByteArray where = root.isEmpty() ? "device root" : "temporary root";
        QTest::newRow("backup, " + where)
            << root << backupCommands(root) << linesFor(backupTexts, root);
        QTest::newRow("clear, " + where)
            << root << clearCommands(root) << linesFor(clearTexts, root);
        QTest::newRow("power off, " + where)
            << root << powerOffCommands() << linesFor(powerOffTexts, root);
    }
}

void tst_maintenancecommands::commandTexts()
{
    QFETCH(Lines, actual);
    QFETCH(Lines, expected);
    QCOMPARE(actual, expected);
}

void tst_maintenancecommands::slotsRunTheLinesInOrder_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<bool>("stick");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("question"); // its title; empty: nothing is asked
    const QString size =
        QLocale::c().formattedDataSize(2 * fakeDump.size(), 1, QLocale::DataSizeTraditionalFormat);
    QTest::newRow("backup") << "btn_back" << backupTexts << true
                            << QStringList{" ", "Backup Ok\n0 files, " + size} << QString();
    // The set's one file and both dumps; the runner loads nothing.
    const QString restored = QLocale::c().formattedDataSize(keptFile.size() + 2 * goodDump.size(),
                                                            1, QLocale::DataSizeTraditionalFormat);
    QTest::newRow("restore") << "btn_reduction" << restoreTexts() << true
                             << QStringList{" ", "Restore Ok\n1 files, " + restored} << "Restore";
    QTest::newRow("clear data") << "btn_clear" << clearTexts << false
                                << QStringList{" ", "Clear Data Ok "} << "Clear Data";
    QTest::newRow("power off") << "btn_exit" << powerOffTexts << false
                               << QStringList{" ", "Power Off... "} << QString();
}

void tst_maintenancecommands::slotsRunTheLinesInOrder()
{
    QFETCH(QString, button);
    QFETCH(QStringList, texts);
    QFETCH(bool, stick);
    QFETCH(QStringList, boxes);
    QFETCH(QString, question);
    if (stick && !needStick())
        QSKIP("needs a mounted stick: run through tests/mountns.sh");
    writeCompleteSet();

    ModalCloser closer;
    clickMaintenance(m_panel.get(), button.toLatin1().constData());
    QCOMPARE(closer.questions.size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty())
        QCOMPARE(closer.questions.first().title, question);
    QCOMPARE(steps(m_runner), linesFor(texts, m_root->path()));
    QStringList seen;
    for (const ModalCloser::Box &box : closer.boxes) {
        seen << box.title << box.text;
        QVERIFY(box.onlyOk);
    }
    QCOMPARE(seen, boxes);
}

void tst_maintenancecommands::powerOffDisablesFirst()
{
    bool enabledWhenRun = true;
    m_runner.onRun = [&](const QByteArray &) { enabledWhenRun = m_panel->isEnabled(); };
    ModalCloser closer;
    clickMaintenance(m_panel.get(), "btn_exit");
    QCOMPARE(m_runner.lines, Lines{"poweroff"});
    QVERIFY(!enabledWhenRun);
    QVERIFY(!m_panel->isEnabled());
    QCOMPARE(closer.boxes.size(), 1);
}

void tst_maintenancecommands::probe_data()
{
    QTest::addColumn<QByteArray>("nodes");
    QTest::addColumn<bool>("mounted");
    QTest::addColumn<bool>("found");
    QTest::newRow("sda") << QByteArray("a") << true << true;
    QTest::newRow("sdb without sda") << QByteArray("b") << true << true;
    QTest::newRow("only sdz") << QByteArray("z") << true << true;
    QTest::newRow("no node, stick mounted") << QByteArray() << true << false;
    QTest::newRow("node, nothing mounted") << QByteArray("a") << false << false;
    QTest::newRow("no node, nothing mounted") << QByteArray() << false << false;
}

void tst_maintenancecommands::probe()
{
    QFETCH(QByteArray, nodes);
    QFETCH(bool, mounted);
    QFETCH(bool, found);
    if (mounted && !m_root->mountStick())
        QSKIP("needs a mounted stick: run through tests/mountns.sh");
    for (char letter : nodes)
        QVERIFY(m_root->plugNode(letter));

    ModalCloser closer;
    QCOMPARE(m_panel->getUDisk(), found);
    QCOMPARE(closer.boxes.size(), found ? 0 : 1);
    if (!found) {
        QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
        QCOMPARE(closer.boxes.first().text,
                 !nodes.isEmpty() && !mounted
                     ? QStringLiteral("The U disk is not mounted at /mnt/usb.")
                     : QStringLiteral("Please insert U disk!"));
    }
    QVERIFY(m_runner.lines.isEmpty());
}

void tst_maintenancecommands::nothingRunsWithoutStick_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("node");
    QTest::newRow("backup, no node") << "btn_back" << false;
    QTest::newRow("backup, node but not mounted") << "btn_back" << true;
    QTest::newRow("restore, no node") << "btn_reduction" << false;
    QTest::newRow("restore, node but not mounted") << "btn_reduction" << true;
}

void tst_maintenancecommands::nothingRunsWithoutStick()
{
    QFETCH(QString, button);
    QFETCH(bool, node);
    if (node)
        QVERIFY(m_root->plugNode());
    writeCompleteSet();
    QFile file(m_root->file("opt/kept"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    ModalCloser closer;
    clickMaintenance(m_panel.get(), button.toLatin1().constData());
    QCOMPARE(closer.boxes.size(), 1);
    // A stick that is there but not mounted is named as such.
    QCOMPARE(closer.boxes.first().text,
             node ? QStringLiteral("The U disk is not mounted at /mnt/usb.")
                  : QStringLiteral("Please insert U disk!"));
    QVERIFY(m_runner.lines.isEmpty());
    QVERIFY(QFile::exists(m_root->file("opt/kept")));
    QVERIFY(!QFile::exists(m_root->file("mnt/usb/BackupData/opt/kept")));
}

void tst_maintenancecommands::incompleteSetTouchesNothing_data()
{
    QTest::addColumn<QString>("remove");
    QTest::addColumn<QByteArray>("miscDump");
    const QByteArray complete = "INSERT INTO t VALUES (1);\n-- Dump completed on 2024-05-02\n";
    QTest::newRow("no opt folder") << "mnt/usb/BackupData/opt" << complete;
    QTest::newRow("appdb dump missing") << "mnt/usb/BackupData/appdb.sql" << complete;
    QTest::newRow("Misc dump cut short") << QString() << QByteArray("INSERT INTO t VALUES (1");
    QTest::newRow("Misc dump empty") << QString() << QByteArray();
    QTest::newRow("no backup folder") << "mnt/usb/BackupData" << complete;
}

void tst_maintenancecommands::incompleteSetTouchesNothing()
{
    QFETCH(QString, remove);
    QFETCH(QByteArray, miscDump);
    if (!needStick())
        QSKIP("needs a mounted stick: run through tests/mountns.sh");
    writeCompleteSet();
    QFile misc(m_root->file("mnt/usb/BackupData/Misc.sql"));
    QVERIFY(misc.open(QIODevice::WriteOnly));
    misc.write(miscDump);
    misc.close();
    if (!remove.isEmpty()) {
        QFileInfo info(m_root->file(remove));
        QVERIFY(info.isDir() ? QDir(info.filePath()).removeRecursively()
                             : QFile::remove(info.filePath()));
    }

    ModalCloser closer;
    clickMaintenance(m_panel.get(), "btn_reduction");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QCOMPARE(closer.boxes.first().text, QStringLiteral("No complete backup on U disk!"));
    QVERIFY(m_runner.lines.isEmpty());
}

// Opening a FIFO for reading waits for a writer: the set check must look before it opens.
void tst_maintenancecommands::fifoDumpDoesNotBlock()
{
    if (!needStick())
        QSKIP("needs a mounted stick: run through tests/mountns.sh");
    writeCompleteSet();
    const QString dump = m_root->file("mnt/usb/BackupData/appdb.sql");
    QVERIFY(QFile::remove(dump));
    QCOMPARE(::mkfifo(QFile::encodeName(dump).constData(), 0644), 0);

    ModalCloser closer;
    clickMaintenance(m_panel.get(), "btn_reduction");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().text, QStringLiteral("No complete backup on U disk!"));
    QVERIFY(m_runner.lines.isEmpty());
}

void tst_maintenancecommands::failedStepsAreNamed_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("failing");
    QTest::addColumn<QStringList>("expected");
    const QString dumpAppdb = backupTexts.at(2);
    const QString dumpMisc = backupTexts.at(3);
    const QString kept = "The previous backup on the U disk was left as it was.";
    QTest::newRow("a dump fails") << "btn_back" << QStringList{dumpMisc}
                                  << QStringList{dumpMisc, kept};
    // The Misc dump is not even started.
    QTest::newRow("the first dump fails")
        << "btn_back" << QStringList{dumpAppdb, dumpMisc} << QStringList{dumpAppdb, kept};
    QTest::newRow("the server does not answer")
        << "btn_back" << QStringList{backupTexts.at(0)}
        << QStringList{"The database server cannot be reached: exit status 1", kept};
    const QStringList restore = restoreTexts();
    const QString untouched = "/opt and the databases appdb and Misc were left as they were.";
    // Lines that read this text fail (the runner runs no statement).
    QTest::newRow("a dump does not load into its staging database")
        << "btn_reduction" << QStringList{"<< SET ROLE", "`servicepanel_new_appdb`"}
        << QStringList{"appdb.sql does not load: exit status 1", untouched};
    QTest::newRow("the server cannot be reached")
        << "btn_reduction" << QStringList{"<< SELECT 'socket'"}
        << QStringList{"The database server cannot be reached: exit status 1", untouched};
    // The databases it switched are put back (here: gone again, as the runner lists none).
    QTest::newRow("the switch of Misc fails")
        << "btn_reduction" << QStringList{"<< CREATE DATABASE IF NOT EXISTS `Misc`"}
        << QStringList{"Misc cannot be replaced: exit status 1", "Misc is gone again, as before",
                       "appdb is gone again, as before", untouched};
    QTest::newRow("the last sync fails")
        << "btn_reduction" << QStringList{restore.last()}
        << QStringList{"/opt and the databases were restored, but writing them to disk failed "
                       "(sync): exit status 1"};
}

// The box names every failed step, one per line, in the order they ran.
void tst_maintenancecommands::failedStepsAreNamed()
{
    QFETCH(QString, button);
    QFETCH(QStringList, failing);
    QFETCH(QStringList, expected);
    if (!needStick())
        QSKIP("needs a mounted stick: run through tests/mountns.sh");
    writeCompleteSet();
    const QString root = m_root->path();
    if (failing.value(0).startsWith("<< ")) {
        // What a line reads: its first statement, and a name it holds.
        m_runner.failWith = [&](const QByteArray &, const QByteArray &input) {
            const bool match = input.startsWith(failing.first().mid(3).toUtf8()) &&
                               input.contains(failing.value(1).toUtf8());
            return match ? 256 : 0;
        };
    } else {
        for (const QString &text : failing)
            m_runner.statuses.insert(rootedText(text, root).toLatin1(), 256);
    }
    QFile misc(m_root->file("mnt/usb/BackupData/Misc.sql"));
    QVERIFY(misc.open(QIODevice::ReadOnly));
    const QByteArray previousMisc = misc.readAll();
    misc.close();

    ModalCloser closer;
    clickMaintenance(m_panel.get(), button.toLatin1().constData());
    if (expected.isEmpty()) {
        QCOMPARE(closer.boxes.size(), 0);
        return;
    }
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QStringList lines;
    for (const QString &text : expected)
        lines << rootedText(text, root);
    QCOMPARE(closer.boxes.first().text, lines.join(QLatin1Char('\n')));
    // A restore that says it left /opt as it was did.
    if (expected.last().contains(" left as "))
        QVERIFY(!QFileInfo::exists(m_root->file("opt/Brevin/kept.txt")));
    if (button == QLatin1String("btn_back")) {
        // A failed step stops the backup: no dump is started after it.
        const int failedAt = m_runner.lines.indexOf(rootedText(failing.first(), root).toLatin1());
        QVERIFY(failedAt >= 0);
        for (const QByteArray &later : m_runner.lines.mid(failedAt + 1))
            QVERIFY2(!later.startsWith("mysqldump"), later.constData());
        // The failed dump never entered a set: the previous one is as it was.
        QVERIFY(!QFileInfo::exists(m_root->file("mnt/usb/BackupData.new")));
        QVERIFY(misc.open(QIODevice::ReadOnly));
        QCOMPARE(misc.readAll(), previousMisc);
    }
}

void tst_maintenancecommands::copyFailuresAreNamed_data()
{
    QTest::addColumn<int>("conflicts");
    QTest::addColumn<int>("lines");
    QTest::newRow("one") << 1 << 1;
    QTest::newRow("ten") << 10 << 10;
    QTest::newRow("twelve, the rest counted") << 12 << 11;
}

// Files of the device that cannot be read are named, the first ten, then counted; the set
// is not swapped in and no dump is taken.
void tst_maintenancecommands::copyFailuresAreNamed()
{
    QFETCH(int, conflicts);
    QFETCH(int, lines);
    if (!needStick())
        QSKIP("needs a mounted stick: run through tests/mountns.sh");
    writeCompleteSet();
    for (int i = 0; i < conflicts; ++i) {
        const QString name = QStringLiteral("f%1").arg(i, 2, 10, QLatin1Char('0'));
        QFile file(m_root->file("opt/" + name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.setPermissions(QFileDevice::Permissions()));
    }

    ModalCloser closer;
    {
        WithoutReadOverride unprivileged;
        QVERIFY(unprivileged.ok());
        clickMaintenance(m_panel.get(), "btn_back");
    }
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    const QStringList shown = closer.boxes.first().text.split(QLatin1Char('\n'));
    QCOMPARE(shown.size(), lines + 1);
    const QString first = m_root->file("opt/f");
    for (int i = 0; i < qMin(conflicts, 10); ++i)
        QVERIFY2(shown.at(i).startsWith("Not copied: " + first) &&
                     shown.at(i).endsWith(" (Permission denied)"),
                 qPrintable(shown.at(i)));
    if (conflicts > 10)
        QCOMPARE(shown.at(10), QStringLiteral("... and %1 more not copied").arg(conflicts - 10));
    QCOMPARE(shown.last(), QStringLiteral("The previous backup on the U disk was left as it was."));
    QCOMPARE(m_runner.lines, (Lines{databaseSizesCommand(m_root->path()), "sync", "sync"}));
    QVERIFY(!QFileInfo::exists(m_root->file("mnt/usb/BackupData.new")));
}

void tst_maintenancecommands::clearSaysWhatIsLeft_data()
{
    QTest::addColumn<QStringList>("failing");
    QTest::addColumn<QStringList>("timingOut");
    QTest::addColumn<bool>("folderStays");
    QTest::addColumn<int>("linesRun"); // of clearTexts, then "sync "
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");
    const QString dropAppdb = clearTexts.at(0);
    const QString dropMisc = clearTexts.at(1);
    QTest::newRow("all gone") << QStringList() << QStringList() << false << 5 << " "
                              << "Clear Data Ok ";
    // Nothing after a failed step: the folder stays with the databases.
    QTest::newRow("server unreachable")
        << QStringList{dropAppdb, dropMisc} << QStringList() << false << 1 << "Fail"
        << "Database appdb not dropped: exit status 1\nNothing was deleted.\n"
           "Not deleted: appdb, Misc, /opt/Brevin.";
    QTest::newRow("the drop of Misc fails")
        << QStringList{dropMisc} << QStringList() << false << 2 << "Fail"
        << "Database Misc not dropped: exit status 1\nDeleted: appdb.\n"
           "Not deleted: Misc, /opt/Brevin.";
    QTest::newRow("a drop runs out of time")
        << QStringList() << QStringList{dropAppdb} << false << 1 << "Fail"
        << "Database appdb not dropped: stopped after its time limit of 15 min\n"
           "Nothing was deleted.\nNot deleted: appdb, Misc, /opt/Brevin.";
    QTest::newRow("folder still there")
        << QStringList() << QStringList() << true << 3 << "Fail"
        << "Folder %1/opt/Brevin still there\nDeleted: appdb, Misc.\nNot deleted: /opt/Brevin.";
}

void tst_maintenancecommands::clearSaysWhatIsLeft()
{
    QFETCH(QStringList, failing);
    QFETCH(QStringList, timingOut);
    QFETCH(bool, folderStays);
    QFETCH(int, linesRun);
    QFETCH(QString, title);
    QFETCH(QString, text);
    // The recording runner removes nothing, so a folder made here stays.
    if (folderStays)
        QVERIFY(QDir().mkpath(m_root->file("opt/Brevin")));
    for (const QString &line : failing)
        m_runner.statuses.insert(line.toLatin1(), 256);
    for (const QString &line : timingOut)
        m_runner.timeouts << line.toLatin1();

    ModalCloser closer;
    clickMaintenance(m_panel.get(), "btn_clear");
    Lines expected = linesFor(clearTexts, m_root->path()).mid(0, linesRun);
    if (linesRun < clearTexts.size())
        expected << clearTexts.last().toLatin1();
    QCOMPARE(m_runner.lines, expected);
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, title);
    QCOMPARE(closer.boxes.first().text, rootedText(text, m_root->path()));
}

void tst_maintenancecommands::runnerExitStatusOne()
{
    int status = 0;
    const QByteArray printed = captureStdout([&] { status = runSystemCommand("exit 1"); });
    QVERIFY(status > 0);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 1);
    QCOMPARE(printed, QByteArray());
}

// system() reports -1 when it cannot get a shell's status; with SIGCHLD ignored the
// child is reaped by the kernel, which is the one reliable way to make that happen here.
void tst_maintenancecommands::runnerShellCannotStart()
{
    struct sigaction ignore = {};
    struct sigaction saved = {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGCHLD, &ignore, &saved);
    int status = 0;
    const QByteArray printed = captureStdout([&] { status = runSystemCommand("true"); });
    sigaction(SIGCHLD, &saved, nullptr);
    QVERIFY(status < 0);
    QCOMPARE(printed, QByteArray("Error!System :true error!"));
}

void tst_maintenancecommands::shellArgumentIsOneWord_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("plain");
    QTest::newRow("plain") << QStringLiteral("/tmp/root-1/mnt/usb") << true;
    QTest::newRow("blank") << QStringLiteral("/tmp/a b") << false;
    QTest::newRow("quote") << QStringLiteral("/tmp/it's") << false;
    QTest::newRow("newline") << QStringLiteral("/tmp/x\n; touch /tmp/y") << false;
    QTest::newRow("dollar") << QStringLiteral("/tmp/$(id)`id`") << false;
    QTest::newRow("glob") << QStringLiteral("/tmp/*") << false;
    QTest::newRow("dash") << QStringLiteral("-rf") << false;
    QTest::newRow("non-ascii") << QStringLiteral("/tmp/Stra\u00dfe") << false;
}

// The shell must see the path as one word, byte for byte, whatever it holds.
void tst_maintenancecommands::shellArgumentIsOneWord()
{
    QFETCH(QString, path);
    QFETCH(bool, plain);
    const QByteArray word = shellArgument(path);
    QCOMPARE(word == QFile::encodeName(path), plain);
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QString::fromLocal8Bit("printf '%s|' " + word)});
    QVERIFY(shell.waitForFinished());
    QCOMPARE(shell.readAllStandardOutput(), QFile::encodeName(path) + '|');
}

QTEST_MAIN(tst_maintenancecommands)
#include "tst_maintenancecommands.moc"
