#include "maintenance/fs/entrymover.h"

#include "scratchfolder.h"

#include <QtTest>

Q_DECLARE_METATYPE(EntryMover::Existing)
Q_DECLARE_METATYPE(EntryMover::Folders)

// Moving a folder's entries one by one into another: the rule for a name the target holds,
// the names that stay, and folders made again where the file system cannot rename them.
class tst_entrymover : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void existing_data();
    void existing();
    void skippedNamesStay_data();
    void skippedNamesStay();
    void rebuildsFolders();
    void unreadableSource();

private:
    std::unique_ptr<ScratchFolder> m_dir;
};

void tst_entrymover::init()
{
    m_dir = std::make_unique<ScratchFolder>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(m_dir->path("from")));
    QVERIFY(QDir().mkpath(m_dir->path("to")));
}

void tst_entrymover::existing_data()
{
    QTest::addColumn<EntryMover::Existing>("existing");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("inTarget");
    QTest::addColumn<QByteArray>("leftInSource");
    QTest::addColumn<int>("moved");
    QTest::newRow("replace") << EntryMover::Existing::Replace << true << QByteArray("from")
                             << QByteArray("(none)") << 2;
    QTest::newRow("skip") << EntryMover::Existing::Skip << true << QByteArray("to")
                          << QByteArray("from") << 1;
    QTest::newRow("refuse") << EntryMover::Existing::Refuse << false << QByteArray("to")
                            << QByteArray("from") << -1;
}

void tst_entrymover::existing()
{
    QFETCH(EntryMover::Existing, existing);
    QFETCH(bool, ok);
    QFETCH(QByteArray, inTarget);
    QFETCH(QByteArray, leftInSource);
    QFETCH(int, moved);
    QVERIFY(m_dir->write("from/both", "from"));
    QVERIFY(m_dir->write("from/only", "only"));
    QVERIFY(m_dir->write("to/both", "to"));
    EntryMover mover(existing);
    QCOMPARE(mover.move(m_dir->open("from"), m_dir->open("to")), ok);
    QCOMPARE(m_dir->read("to/both"), inTarget);
    QCOMPARE(m_dir->read("from/both"), leftInSource);
    if (ok) {
        QCOMPARE(mover.moved().size(), moved);
        QCOMPARE(m_dir->read("to/only"), QByteArray("only"));
    } else {
        QCOMPARE(mover.error(), EEXIST);
        QCOMPARE(mover.errorName(), QByteArray("both"));
        // What was moved before the refusal is told, so that it can be moved back.
        QCOMPARE(mover.moved().contains("both"), false);
        for (const QByteArray &name : mover.moved())
            QVERIFY(QFileInfo::exists(m_dir->path("to/" + QString::fromUtf8(name))));
    }
}

void tst_entrymover::skippedNamesStay_data()
{
    QTest::addColumn<EntryMover::Folders>("folders");
    QTest::newRow("rename") << EntryMover::Folders::Rename;
    QTest::newRow("rebuild") << EntryMover::Folders::Rebuild;
}

void tst_entrymover::skippedNamesStay()
{
    QFETCH(EntryMover::Folders, folders);
    QVERIFY(m_dir->write("from/.marker", ""));
    QVERIFY(m_dir->write("from/data", "data"));
    // Only the top folder's names are skipped.
    QVERIFY(m_dir->write("from/sub/.marker", "deep"));
    EntryMover mover(EntryMover::Existing::Replace, folders);
    mover.setSkipped([](const QByteArray &name) { return name == ".marker"; });
    QVERIFY(mover.move(m_dir->open("from"), m_dir->open("to")));
    QVERIFY(QFileInfo::exists(m_dir->path("from/.marker")));
    QVERIFY(!QFileInfo::exists(m_dir->path("to/.marker")));
    QCOMPARE(m_dir->read("to/data"), QByteArray("data"));
    QCOMPARE(m_dir->read("to/sub/.marker"), QByteArray("deep"));
    QCOMPARE(mover.moved().size(), 2);
}

void tst_entrymover::rebuildsFolders()
{
    QVERIFY(m_dir->write("from/a/b/c/file", "deep"));
    QVERIFY(m_dir->write("from/a/top", "top"));
    QVERIFY(m_dir->write("to/a/kept", "kept"));
    QVERIFY(m_dir->write("to/a/top", "older"));
    EntryMover mover(EntryMover::Existing::Replace, EntryMover::Folders::Rebuild);
    QVERIFY(mover.move(m_dir->open("from"), m_dir->open("to")));
    QCOMPARE(m_dir->read("to/a/b/c/file"), QByteArray("deep"));
    QCOMPARE(m_dir->read("to/a/top"), QByteArray("top"));
    // The target's folder is filled in, not replaced; the source keeps only empty folders.
    QCOMPARE(m_dir->read("to/a/kept"), QByteArray("kept"));
    QVERIFY(!QFileInfo::exists(m_dir->path("from/a/b/c/file")));
    QVERIFY(QFileInfo(m_dir->path("from/a/b/c")).isDir());
}

void tst_entrymover::unreadableSource()
{
    EntryMover mover(EntryMover::Existing::Skip);
    QVERIFY(!mover.move(-1, m_dir->open("to")));
    QCOMPARE(mover.error(), EBADF);
    QVERIFY(mover.errorName().isEmpty());
}

QTEST_GUILESS_MAIN(tst_entrymover)
#include "tst_entrymover.moc"
