#include "maintenance/restore/restorejournal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <sys/stat.h>

// The record of a restore under way: what is written is read back as it was, durably
// replaced whole, and anything that is not a whole record of ours is told apart.
class tst_restorejournal : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void roundTrip();
    void madeWithItsFolders();
    void notARecord_data();
    void notARecord();
    void removed();

private:
    QString work() const { return m_dir->filePath("var/backups/servicepanel"); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_restorejournal::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_restorejournal::roundTrip()
{
    RestoreJournal::State state;
    state.step = RestoreJournal::Step::Commit;
    state.direction = RestoreJournal::Direction::Back;
    state.tree = "/data/opt with blank\nand line";
    state.beside = false;
    RestoreJournal::PinnedTop top;
    top.entry.mode = 04755;
    top.entry.uid = 1000;
    top.entry.gid = 50;
    top.entry.mtime = 1765332835;
    top.entry.mtimeNsec = 123456789;
    state.tops << top;
    top.path = {"Brevin", "caf\xe9 \\ x"};
    top.entry.mode = 0700;
    state.tops << top;
    state.databases = QStringList{"appdb", "Misc"};
    state.touched = QStringList{"appdb", "Misc"};
    state.switched = QStringList{"appdb"};
    state.treeSwapBegan = true;
    RestoreJournal journal(work());
    QVERIFY(!journal.exists());
    QVERIFY2(journal.write(state), qPrintable(QString::number(journal.error())));
    QVERIFY(journal.exists());

    RestoreJournal::State read;
    QVERIFY(RestoreJournal(work()).read(&read));
    QCOMPARE(read.step, state.step);
    QCOMPARE(read.direction, state.direction);
    QCOMPARE(read.tree, state.tree);
    QCOMPARE(read.beside, false);
    QCOMPARE(read.tops.size(), 2);
    QCOMPARE(read.tops.at(0).path, QList<QByteArray>());
    QCOMPARE(read.tops.at(1).path, top.path);
    QCOMPARE(read.tops.at(0).entry.mode, quint32(04755));
    QCOMPARE(read.tops.at(0).entry.uid, quint32(1000));
    QCOMPARE(read.tops.at(0).entry.gid, quint32(50));
    QCOMPARE(read.tops.at(0).entry.mtime, qint64(1765332835));
    QCOMPARE(read.tops.at(0).entry.mtimeNsec, qint64(123456789));
    QCOMPARE(read.tops.at(1).entry.mode, quint32(0700));
    QCOMPARE(read.databases, state.databases);
    QCOMPARE(read.touched, state.touched);
    QCOMPARE(read.switched, state.switched);
    QCOMPARE(read.treeSwapBegan, true);

    // A later step replaces it whole.
    state = RestoreJournal::State();
    state.step = RestoreJournal::Step::Cleanup;
    state.tree = "/opt";
    state.stagedInode = 4242;
    QVERIFY(journal.write(state));
    QVERIFY(journal.read(&read));
    QCOMPARE(read.step, RestoreJournal::Step::Cleanup);
    QCOMPARE(read.beside, true);
    QCOMPARE(read.stagedInode, ino_t(4242));
    QCOMPARE(read.tops.size(), 0);
    QCOMPARE(read.switched, QStringList());
}

// Its folder is made where missing, private; no temporary file stays beside it.
void tst_restorejournal::madeWithItsFolders()
{
    RestoreJournal::State state;
    state.tree = "/opt";
    RestoreJournal journal(work());
    QVERIFY(journal.write(state));
    struct stat status;
    QCOMPARE(::stat(QFile::encodeName(work()).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, mode_t(0700));
    QCOMPARE(::stat(QFile::encodeName(journal.path()).constData(), &status), 0);
    QCOMPARE(status.st_mode & 0777, mode_t(0600));
    QCOMPARE(QDir(work()).entryList(QDir::Files | QDir::Hidden),
             QStringList{RestoreJournal::fileName()});
}

void tst_restorejournal::notARecord_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("error");
    const QByteArray whole = "servicepanel restore journal 1\nstep commit\ndirection forward\n"
                             "tree 2f6f7074\nbeside 12\ndatabases appdb Misc\ntouched\n"
                             "switched\ntree-swap not-begun\nend\n";
    QTest::newRow("whole") << whole << 0;
    QTest::newRow("missing") << QByteArray() << ENOENT;
    QTest::newRow("empty") << QByteArray("") << EBADMSG;
    QTest::newRow("another program's") << QByteArray("step commit\nend\n") << EBADMSG;
    QTest::newRow("cut short") << whole.left(whole.indexOf("end")) << EBADMSG;
    QTest::newRow("an unknown step")
        << QByteArray(whole).replace("step commit", "step later") << EBADMSG;
    QTest::newRow("an unknown line")
        << QByteArray(whole).replace("switched\n", "swapped\n") << EBADMSG;
    QTest::newRow("no tree") << QByteArray(whole).replace("tree 2f6f7074\n", "") << EBADMSG;
}

void tst_restorejournal::notARecord()
{
    QFETCH(QByteArray, content);
    QFETCH(int, error);
    RestoreJournal journal(work());
    if (!content.isNull()) {
        QVERIFY(QDir().mkpath(work()));
        QFile file(journal.path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QCOMPARE(journal.exists(), !content.isNull());
    RestoreJournal::State state;
    QCOMPARE(journal.read(&state), error == 0);
    QCOMPARE(journal.error(), error);
}

void tst_restorejournal::removed()
{
    RestoreJournal::State state;
    state.tree = "/opt";
    RestoreJournal journal(work());
    QVERIFY(journal.write(state));
    QVERIFY(journal.remove());
    QVERIFY(!journal.exists());
    // Gone already is no failure.
    QVERIFY(journal.remove());
}

QTEST_GUILESS_MAIN(tst_restorejournal)
#include "tst_restorejournal.moc"
