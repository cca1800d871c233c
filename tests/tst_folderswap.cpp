#include "maintenance/fs/folderswap.h"

#include "scratchfolder.h"

#include <QtTest>

// The swap of a finished folder into the place of the one in use, and what each caller's
// fallback rule leaves behind when the exchange fails.
Q_DECLARE_METATYPE(FolderSwap::Fallback)

class tst_folderswap : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void exchangesWhereBothExist_data();
    void exchangesWhereBothExist();
    void renamesWhereNothingStands();
    void failedExchange_data();
    void failedExchange();
    void previousComesBackWhenTheSecondRenameFails();

private:
    QString path(const QString &name) const { return m_dir->path(name); }
    void makeFolder(const QString &name, const QByteArray &mark)
    {
        QVERIFY(m_dir->write(name + "/mark", mark));
    }
    QByteArray markOf(const QString &name) const { return m_dir->read(name + "/mark"); }

    std::unique_ptr<ScratchFolder> m_dir;
    int m_fd = -1;
};

void tst_folderswap::init()
{
    m_dir = std::make_unique<ScratchFolder>();
    QVERIFY(m_dir->isValid());
    m_fd = m_dir->open(".");
    QVERIFY(m_fd >= 0);
}

void tst_folderswap::exchangesWhereBothExist_data()
{
    QTest::addColumn<FolderSwap::Fallback>("fallback");
    QTest::newRow("after any failure") << FolderSwap::Fallback::AfterAnyFailure;
    QTest::newRow("where unsupported") << FolderSwap::Fallback::WhereUnsupported;
}

void tst_folderswap::exchangesWhereBothExist()
{
    QFETCH(FolderSwap::Fallback, fallback);
    makeFolder("set", "old");
    makeFolder("set.new", "new");
    FolderSwap swap(fallback);
    QVERIFY(swap.swap(m_fd, "set.new", "set", "set.old"));
    QCOMPARE(markOf("set"), QByteArray("new"));
    // The exchange leaves the previous folder under the fresh one's name.
    QCOMPARE(swap.leftover(), QByteArray("set.new"));
    QCOMPARE(markOf("set.new"), QByteArray("old"));
    QVERIFY(!QFileInfo::exists(path("set.old")));
}

void tst_folderswap::renamesWhereNothingStands()
{
    makeFolder("set.new", "new");
    FolderSwap swap(FolderSwap::Fallback::AfterAnyFailure);
    QVERIFY(swap.swap(m_fd, "set.new", "set", "set.old"));
    QCOMPARE(markOf("set"), QByteArray("new"));
    QVERIFY(swap.leftover().isEmpty());
    QVERIFY(!QFileInfo::exists(path("set.new")));
}

void tst_folderswap::failedExchange_data()
{
    QTest::addColumn<FolderSwap::Fallback>("fallback");
    QTest::addColumn<bool>("triedRenames");
    // The fresh folder is missing: the exchange fails with ENOENT, which is no sign of a
    // file system without exchanges.
    QTest::newRow("backup set: any failure falls back")
        << FolderSwap::Fallback::AfterAnyFailure << true;
    QTest::newRow("restore: only an unknown exchange falls back")
        << FolderSwap::Fallback::WhereUnsupported << false;
}

void tst_folderswap::failedExchange()
{
    QFETCH(FolderSwap::Fallback, fallback);
    QFETCH(bool, triedRenames);
    makeFolder("set", "old");
    // A folder where the aside name is, not empty: the fallback's first rename fails on it
    // (ENOTEMPTY), which tells whether the fallback was tried at all.
    makeFolder("set.old", "aside");
    FolderSwap swap(fallback);
    QVERIFY(!swap.swap(m_fd, "set.missing", "set", "set.old"));
    QCOMPARE(swap.error(), triedRenames ? ENOTEMPTY : ENOENT);
    QVERIFY(swap.previousInPlace());
    QCOMPARE(markOf("set"), QByteArray("old"));
    QCOMPARE(markOf("set.old"), QByteArray("aside"));
}

void tst_folderswap::previousComesBackWhenTheSecondRenameFails()
{
    makeFolder("set", "old");
    FolderSwap swap(FolderSwap::Fallback::AfterAnyFailure);
    QVERIFY(!swap.swap(m_fd, "set.missing", "set", "set.old"));
    QCOMPARE(swap.error(), ENOENT);
    QVERIFY(swap.previousInPlace());
    QCOMPARE(markOf("set"), QByteArray("old"));
    QVERIFY(!QFileInfo::exists(path("set.old")));
}

QTEST_GUILESS_MAIN(tst_folderswap)
#include "tst_folderswap.moc"
