#include "maintenance/database/dumpend.h"
#include "maintenance/fs/posixfs.h"

#include "scratchfolder.h"

#include <QtTest>

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The small file-system helpers the engine's parts share: listing a folder, reading a file's
// end (a dump's last line), linking by a path too long for one call, knowing a folder is
// still the one seen, the umask.
class tst_fsprimitives : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void listNames();
    void listNamesOfNoFolder();
    void readTail_data();
    void readTail();
    void dumpEnd_data();
    void dumpEnd();
    void linkBeneath_data();
    void linkBeneath();
    void stillSameFile();
    void currentUmask();

private:
    std::unique_ptr<ScratchFolder> m_dir;
};

void tst_fsprimitives::init()
{
    m_dir = std::make_unique<ScratchFolder>();
    QVERIFY(m_dir->isValid());
}

void tst_fsprimitives::listNames()
{
    QVERIFY(m_dir->write("a", ""));
    QVERIFY(m_dir->write("sub/b", ""));
    QVERIFY(::symlink("nowhere", QFile::encodeName(m_dir->path("link")).constData()) == 0);
    // Any bytes but '/' and NUL make a name.
    const QByteArray odd("\xff\x01 x");
    QVERIFY(::mkdir(QFile::encodeName(m_dir->path(".")).append('/').append(odd).constData(),
                    0755) == 0);
    QList<QByteArray> names;
    QVERIFY(posixfs::listNames(m_dir->open("."), &names));
    std::sort(names.begin(), names.end());
    QList<QByteArray> expected{"a", "link", "sub", odd};
    std::sort(expected.begin(), expected.end());
    QCOMPARE(names, expected);
}

void tst_fsprimitives::listNamesOfNoFolder()
{
    QVERIFY(m_dir->write("file", "text"));
    QList<QByteArray> names;
    QVERIFY(!posixfs::listNames(m_dir->open("file", O_RDONLY), &names));
    QCOMPARE(errno, ENOTDIR);
    QVERIFY(names.isEmpty());
}

void tst_fsprimitives::readTail_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("bytes");
    QTest::addColumn<QByteArray>("tail");
    QTest::newRow("empty") << QByteArray() << 16 << QByteArray();
    QTest::newRow("shorter than asked") << QByteArray("abc") << 16 << QByteArray("abc");
    QTest::newRow("exactly") << QByteArray("abcd") << 4 << QByteArray("abcd");
    QTest::newRow("longer") << QByteArray(5000, 'x') + "end" << 4 << QByteArray("xend");
}

void tst_fsprimitives::readTail()
{
    QFETCH(QByteArray, content);
    QFETCH(int, bytes);
    QFETCH(QByteArray, tail);
    QVERIFY(m_dir->write("file", content));
    QByteArray got("stale");
    QVERIFY(posixfs::readTail(m_dir->open("file", O_RDONLY), bytes, &got));
    QCOMPARE(got, tail);
}

void tst_fsprimitives::dumpEnd_data()
{
    QTest::addColumn<QByteArray>("dump");
    QTest::addColumn<bool>("whole");
    const QByteArray body = QByteArray("INSERT INTO t VALUES (1);\n").repeated(400);
    QTest::newRow("whole") << body + "-- Dump completed on 2026-12-10 12:00:00\n" << true;
    QTest::newRow("whole, trailing blanks") << body + "-- Dump completed\n\n  \n" << true;
    QTest::newRow("cut short") << body.left(body.size() - 7) << false;
    QTest::newRow("marker not last") << "-- Dump completed\n" + body << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("marker alone") << QByteArray("-- Dump completed") << true;
}

void tst_fsprimitives::dumpEnd()
{
    QFETCH(QByteArray, dump);
    QFETCH(bool, whole);
    QVERIFY(m_dir->write("appdb.sql", dump));
    QCOMPARE(dumpEndsWhole(m_dir->open("appdb.sql", O_RDONLY)), whole);
    QByteArray sha256;
    qint64 size = -1;
    errno = 0;
    QCOMPARE(hashWholeDump(m_dir->open("appdb.sql", O_RDONLY), &sha256, &size), whole);
    QCOMPARE(size, qint64(dump.size()));
    QCOMPARE(sha256, QCryptographicHash::hash(dump, QCryptographicHash::Sha256).toHex());
    if (!whole)
        QCOMPARE(errno, ENODATA);
}

void tst_fsprimitives::linkBeneath_data()
{
    QTest::addColumn<int>("depth");
    QTest::newRow("short path") << 2;
    // Beyond PATH_MAX: linked through the file's descriptor.
    QTest::newRow("longer than PATH_MAX") << PATH_MAX / 100 + 4;
}

void tst_fsprimitives::linkBeneath()
{
    QFETCH(int, depth);
    const int root = m_dir->open(".");
    QByteArray relative;
    int folder = ::dup(root);
    for (int i = 0; i < depth; ++i) {
        const QByteArray name = QByteArray(99, 'd');
        QVERIFY(::mkdirat(folder, name.constData(), 0755) == 0);
        const int next = ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY);
        ::close(folder);
        folder = next;
        QVERIFY(folder >= 0);
        relative += name + '/';
    }
    const int file = ::openat(folder, "file", O_WRONLY | O_CREAT, 0644);
    QVERIFY(file >= 0);
    ::close(file);
    ::close(folder);
    relative += "file";
    QCOMPARE(relative.size() >= PATH_MAX, depth > 2);
    const int target = m_dir->open(".");
    QCOMPARE(posixfs::linkBeneath(root, relative, target, "linked"), 0);
    struct stat status;
    QVERIFY(::fstatat(target, "linked", &status, AT_SYMLINK_NOFOLLOW) == 0);
    QCOMPARE(status.st_nlink, nlink_t(2));
    // A missing file is the errno, not a link.
    QCOMPARE(posixfs::linkBeneath(root, relative + "-missing", target, "other"), ENOENT);
}

void tst_fsprimitives::stillSameFile()
{
    QVERIFY(QDir().mkpath(m_dir->path("stick")));
    struct stat seen;
    const QByteArray stick = QFile::encodeName(m_dir->path("stick"));
    QVERIFY(::stat(stick.constData(), &seen) == 0);
    QVERIFY(posixfs::stillSameFile(stick, seen));
    // Another folder in its place (another stick on the same mount point) is not it.
    QVERIFY(QDir().rename(m_dir->path("stick"), m_dir->path("pulled")));
    QVERIFY(!posixfs::stillSameFile(stick, seen));
    QVERIFY(QDir().mkpath(m_dir->path("stick")));
    QVERIFY(!posixfs::stillSameFile(stick, seen));
}

void tst_fsprimitives::currentUmask()
{
    const mode_t before = ::umask(027);
    QCOMPARE(posixfs::currentUmask(), mode_t(027));
    QCOMPARE(posixfs::currentUmask(), mode_t(027));
    ::umask(before);
}

QTEST_GUILESS_MAIN(tst_fsprimitives)
#include "tst_fsprimitives.moc"
