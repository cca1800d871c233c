#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"
#include "panel/sendordertoprinter_test.h"

#include "modalcloser.h"
#include "progresswatch.h"
#include "stubtools.h"
#include "systemroot.h"
#include "testutil.h"
#include "treesnapshot.h"

#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#include <memory>

// A Backup as the technician watches it, with stand-ins for mysql and mysqldump first on PATH
// and the device's own command runner: the bar moves by bytes through the tree and through
// each dump as its file grows, the step is named, and a dump that fails or runs out of time
// ends the Backup there, its box ending with what the client said last.

namespace {

// What a stick holds, less the times of its top folder (a new set begun and abandoned
// changes them).
QMap<QByteArray, QByteArray> stickContent(const QString &stick)
{
    QMap<QByteArray, QByteArray> entries = TreeSnapshot(QFile::encodeName(stick)).entries();
    entries.remove(".");
    return entries;
}

const qint64 MB = qint64(1) << 20;

} // namespace

class tst_backupprogress : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void barMovesDuringTheDumps();
    void failedDumpEndsTheBackup_data();
    void failedDumpEndsTheBackup();
    void serverThatDoesNotAnswer();

private:
    // A dump stub that writes `chunks` megabytes, one every 0.2 s.
    void dumpsGrowSlowly(int chunks);
    QStringList ran() const;

    std::unique_ptr<TestSystemRoot> m_root;
    std::unique_ptr<StubTools> m_stubs;
    std::unique_ptr<SystemCommandRunner> m_runner;
    std::unique_ptr<sendordertoprinter_test> m_panel;
};

void tst_backupprogress::initTestCase()
{
    const QString problem = TestSystemRoot::namespaceProblem();
    if (!problem.isEmpty())
        QSKIP(qPrintable("no private mount namespace for the stick (" + problem + ")"));
}

void tst_backupprogress::init()
{
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid());
    QVERIFY(m_root->plugNode());
    QVERIFY(m_root->mountStick());
    for (int i = 0; i < 20; ++i)
        m_root->writeFile(QStringLiteral("opt/Brevin/data/label-%1.prn").arg(i),
                          QByteArray(100000, 'L'));
    m_root->writeFile("opt/Brevin/images/logo.bmp", QByteArray(3 << 20, 'I'));
    m_stubs = std::make_unique<StubTools>();
    // The server knows appdb as 5 MB of data and Misc as 1 MB.
    m_stubs->add("mysql", "echo \"mysql $*\" >> '" + QFile::encodeName(m_stubs->dir()) +
                              "/ran'\nprintf 'appdb\\t5242880\\nMisc\\t1048576\\n'");
    m_runner = std::make_unique<SystemCommandRunner>();
    m_panel = makeRootedPanel(*m_root, m_runner.get());
    m_panel->resize(800, 480);
}

void tst_backupprogress::cleanup()
{
    m_panel.reset();
    m_runner.reset();
    m_stubs.reset();
    m_root.reset();
}

void tst_backupprogress::dumpsGrowSlowly(int chunks)
{
    m_stubs->add("mysqldump", "echo \"mysqldump $*\" >> '" + QFile::encodeName(m_stubs->dir()) +
                                  "/ran'\n"
                                  "echo '-- MariaDB dump'\n"
                                  "n=" +
                                  QByteArray::number(chunks) +
                                  "\n"
                                  "[ \"$4\" = Misc ] && n=1\n"
                                  "i=0\n"
                                  "while [ $i -lt $n ]; do\n"
                                  "    head -c 1048576 /dev/zero | tr '\\0' 'x'; echo\n"
                                  "    sleep 0.2; i=$((i + 1))\n"
                                  "done\n"
                                  "echo '-- Dump completed on 2026-01-01 10:00:00'");
}

QStringList tst_backupprogress::ran() const
{
    QFile file(m_stubs->file("ran"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

// The bar covers the tree and the dumps by bytes: it moves while a dump is written, steps
// forward only, names each step, and ends full.
void tst_backupprogress::barMovesDuringTheDumps()
{
    dumpsGrowSlowly(5);
    ProgressWatch watch;
    watch.atStep = QStringLiteral("Writing the dump of appdb");
    watch.at = 600;
    watch.atValue = [this] { saveShot(m_panel.get(), "progress-backup-during-dump"); };
    ModalCloser closer;
    clickMaintenance(m_panel.get(), "btn_back");
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().text.startsWith("Backup Ok\n"),
             qPrintable(closer.boxes.first().text));

    QVERIFY(watch.onlyForward());
    const QStringList steps = watch.steps();
    const QList<int> duringAppdb = watch.values(QStringLiteral("Writing the dump of appdb"));
    QVERIFY2(steps.contains("Copying /opt"), qPrintable(steps.join(", ")));
    QVERIFY2(steps.contains("Writing the dump of Misc"), qPrintable(steps.join(", ")));
    QCOMPARE(steps.last(), QStringLiteral("Writing to disk"));
    QCOMPARE(watch.seen.last().value, 1000);
    // The tree (about 5 MB) comes first; appdb's 5 MB then fill most of the rest, a little
    // at a time as its file grows.
    QVERIFY2(duringAppdb.size() >= 4, qPrintable(QString::number(duringAppdb.size())));
    QVERIFY2(
        duringAppdb.first() < 500 && duringAppdb.last() > 700,
        qPrintable(QStringLiteral("%1 .. %2").arg(duringAppdb.first()).arg(duringAppdb.last())));
    QVERIFY(!watch.atValue);
}

void tst_backupprogress::failedDumpEndsTheBackup_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("why"); // what follows the command line in the box
    QTest::newRow("the server goes away")
        << QByteArray("echo \"mysqldump: Got error: 2002: \\\"Can't connect to local server "
                      "through socket '/run/mysqld/mysqld.sock' (111)\\\" when trying to "
                      "connect\" >&2\nexit 2")
        << "mysqldump: Got error: 2002: \"Can't connect to local server through socket "
           "'/run/mysqld/mysqld.sock' (111)\" when trying to connect";
    QTest::newRow("the server hangs")
        << QByteArray("echo 'mysqldump: waiting for the server' >&2\nexec sleep 30")
        << "stopped after its time limit of 700 ms: mysqldump: waiting for the server";
}

// The first dump fails or runs out of time: the second is never started, nothing of the new
// set stays, the previous set is as it was, and the box ends with the client's own words.
void tst_backupprogress::failedDumpEndsTheBackup()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, why);
    dumpsGrowSlowly(1);
    {
        ModalCloser closer;
        clickMaintenance(m_panel.get(), "btn_back");
        QCOMPARE(closer.boxes.size(), 1);
    }
    const auto previous = stickContent(m_root->file("mnt/usb"));
    QFile::remove(m_stubs->file("ran"));
    m_stubs->add("mysqldump", "echo \"mysqldump $*\" >> '" + QFile::encodeName(m_stubs->dir()) +
                                  "/ran'\n" + script);
    m_runner->setTimeLimit(std::chrono::milliseconds(700));

    ModalCloser closer;
    clickMaintenance(m_panel.get(), "btn_back");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    const QString dump = QString::fromLatin1(dumpCommand(m_root->path(), QStringLiteral("appdb")));
    QCOMPARE(closer.boxes.first().text,
             dump + ": " + why + "\nThe previous backup on the U disk was left as it was.");
    QStringList dumps = ran().filter(QStringLiteral("mysqldump"));
    QCOMPARE(dumps, QStringList{"mysqldump --routines --events --triggers appdb"});
    QCOMPARE(stickContent(m_root->file("mnt/usb")), previous);
}

// A server that does not answer is found before anything is copied: the stick stays as it
// was, and the box says why in the client's words.
void tst_backupprogress::serverThatDoesNotAnswer()
{
    dumpsGrowSlowly(1);
    m_stubs->add("mysql", "echo \"ERROR 2002 (HY000): Can't connect to local server through "
                          "socket '/run/mysqld/mysqld.sock' (2)\" >&2\nexit 1");
    const auto before = stickContent(m_root->file("mnt/usb"));
    ModalCloser closer;
    clickMaintenance(m_panel.get(), "btn_back");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().text,
             QStringLiteral("The database server cannot be reached: exit status 1: ERROR 2002 "
                            "(HY000): Can't connect to local server through socket "
                            "'/run/mysqld/mysqld.sock' (2)\nNo backup was written to the U disk."));
    QVERIFY(ran().filter(QStringLiteral("mysqldump")).isEmpty());
    QCOMPARE(stickContent(m_root->file("mnt/usb")), before);
}

QTEST_MAIN(tst_backupprogress)
#include "tst_backupprogress.moc"
