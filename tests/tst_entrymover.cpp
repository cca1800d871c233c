#include "maintenance/fs/entrymover.h"
#include "maintenance/fs/uniquefd.h"

#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

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
    QString path(const QString &name) const { return m_dir->filePath(name); }
    void write(const QString &name, const QByteArray &text);
    QByteArray read(const QString &name) const;
    int open(const QString &name);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::vector<UniqueFd> m_fds;
};

void tst_entrymover::init()
{
    m_fds.clear();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(path("from")));
    QVERIFY(QDir().mkpath(path("to")));
}

void tst_entrymover::write(const QString &name, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path(name)).path());
    QFile file(path(name));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(text);
}

QByteArray tst_entrymover::read(const QString &name) const
{
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

int tst_entrymover::open(const QString &name)
{
    m_fds.emplace_back(::open(QFile::encodeName(path(name)).constData(), O_RDONLY | O_DIRECTORY));
    return m_fds.back().get();
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
    write("from/both", "from");
    write("from/only", "only");
    write("to/both", "to");
    EntryMover mover(existing);
    QCOMPARE(mover.move(open("from"), open("to")), ok);
    QCOMPARE(read("to/both"), inTarget);
    QCOMPARE(read("from/both"), leftInSource);
    if (ok) {
        QCOMPARE(mover.moved().size(), moved);
        QCOMPARE(read("to/only"), QByteArray("only"));
    } else {
        QCOMPARE(mover.error(), EEXIST);
        QCOMPARE(mover.errorName(), QByteArray("both"));
        // What was moved before the refusal is told, so that it can be moved back.
        QCOMPARE(mover.moved().contains("both"), false);
        for (const QByteArray &name : mover.moved())
            QVERIFY(QFileInfo::exists(path("to/" + QString::fromUtf8(name))));
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
    write("from/.marker", "");
    write("from/data", "data");
    // Only the top folder's names are skipped.
    write("from/sub/.marker", "deep");
    EntryMover mover(EntryMover::Existing::Replace, folders);
    mover.setSkipped([](const QByteArray &name) { return name == ".marker"; });
    QVERIFY(mover.move(open("from"), open("to")));
    QVERIFY(QFileInfo::exists(path("from/.marker")));
    QVERIFY(!QFileInfo::exists(path("to/.marker")));
    QCOMPARE(read("to/data"), QByteArray("data"));
    QCOMPARE(read("to/sub/.marker"), QByteArray("deep"));
    QCOMPARE(mover.moved().size(), 2);
}

void tst_entrymover::rebuildsFolders()
{
    write("from/a/b/c/file", "deep");
    write("from/a/top", "top");
    write("to/a/kept", "kept");
    write("to/a/top", "older");
    EntryMover mover(EntryMover::Existing::Replace, EntryMover::Folders::Rebuild);
    QVERIFY(mover.move(open("from"), open("to")));
    QCOMPARE(read("to/a/b/c/file"), QByteArray("deep"));
    QCOMPARE(read("to/a/top"), QByteArray("top"));
    // The target's folder is filled in, not replaced; the source keeps only empty folders.
    QCOMPARE(read("to/a/kept"), QByteArray("kept"));
    QVERIFY(!QFileInfo::exists(path("from/a/b/c/file")));
    QVERIFY(QFileInfo(path("from/a/b/c")).isDir());
}

void tst_entrymover::unreadableSource()
{
    EntryMover mover(EntryMover::Existing::Skip);
    QVERIFY(!mover.move(-1, open("to")));
    QCOMPARE(mover.error(), EBADF);
    QVERIFY(mover.errorName().isEmpty());
}

QTEST_GUILESS_MAIN(tst_entrymover)
#include "tst_entrymover.moc"
