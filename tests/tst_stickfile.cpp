#include "maintenance/database/stickfile.h"
#include "maintenance/fs/posixfs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

Q_DECLARE_METATYPE(JobProblem::Kind)

// A file on the stick is read only when it is a regular file, reached without a link; a
// FIFO is refused before it is opened, so it never blocks.
class tst_stickfile : public QObject
{
    Q_OBJECT

private slots:
    void readsARegularFile();
    void refused_data();
    void refused();
    void largerThanFourGiB();

private:
    QTemporaryDir m_dir;
};

void tst_stickfile::readsARegularFile()
{
    const QString path = m_dir.filePath("appdb.sql");
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write("0123456789");
    out.close();
    StickFile file(path);
    QVERIFY2(file.open(), qPrintable(posixfs::errorText(file.problem().error)));
    QCOMPARE(file.size(), qint64(10));
    char buffer[4] = {};
    QCOMPARE(file.read(buffer, 4), qint64(4));
    QCOMPARE(QByteArray(buffer, 4), QByteArray("0123"));
    QVERIFY(file.seek(8));
    QCOMPARE(file.read(buffer, 4), qint64(2));
    QCOMPARE(QByteArray(buffer, 2), QByteArray("89"));
    QCOMPARE(file.read(buffer, 4), qint64(0));
}

void tst_stickfile::refused_data()
{
    // What open() reports: the kind, and the file type it found (0 where none) or errno.
    QTest::addColumn<QString>("kind");
    QTest::addColumn<JobProblem::Kind>("problem");
    QTest::addColumn<qint64>("type");
    QTest::addColumn<int>("error");
    QTest::newRow("missing") << "missing" << JobProblem::Kind::DumpUnreadable << qint64(0)
                             << ENOENT;
    QTest::newRow("a link to a regular file")
        << "link" << JobProblem::Kind::DumpNotAFile << qint64(S_IFLNK) << 0;
    QTest::newRow("a dangling link")
        << "dangling" << JobProblem::Kind::DumpNotAFile << qint64(S_IFLNK) << 0;
    QTest::newRow("a folder") << "folder" << JobProblem::Kind::DumpNotAFile << qint64(S_IFDIR) << 0;
    QTest::newRow("a FIFO, no writer")
        << "fifo" << JobProblem::Kind::DumpNotAFile << qint64(S_IFIFO) << 0;
    QTest::newRow("a socket") << "socket" << JobProblem::Kind::DumpNotAFile << qint64(S_IFSOCK)
                              << 0;
    QTest::newRow("a device node")
        << "device" << JobProblem::Kind::DumpNotAFile << qint64(S_IFCHR) << 0;
}

void tst_stickfile::refused()
{
    QFETCH(QString, kind);
    QFETCH(JobProblem::Kind, problem);
    QFETCH(qint64, type);
    QFETCH(int, error);
    const QString path = m_dir.filePath(kind);
    const QByteArray local = QFile::encodeName(path);
    const QString target = m_dir.filePath("target");
    QFile::remove(target);
    QFile(target).open(QIODevice::WriteOnly);
    if (kind == "link")
        QVERIFY(QFile::link(target, path));
    else if (kind == "dangling")
        QVERIFY(QFile::link(m_dir.filePath("nowhere"), path));
    else if (kind == "folder")
        QVERIFY(QDir().mkpath(path));
    else if (kind == "fifo")
        QCOMPARE(::mkfifo(local.constData(), 0600), 0);
    else if (kind == "socket") {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        if (size_t(local.size()) >= sizeof address.sun_path)
            QSKIP("the temporary folder's path is too long for a socket");
        ::strcpy(address.sun_path, local.constData());
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        ::close(fd);
    } else if (kind == "device") {
        // /dev/null is a device wherever the tests run; a link would be refused as a link.
        if (::mknod(local.constData(), S_IFCHR | 0600, makedev(1, 3)) != 0)
            QSKIP("no device node can be made here (not root)");
    }
    StickFile file(path);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!file.open());
    QVERIFY(timer.elapsed() < 5000);
    QCOMPARE(file.problem().kind, problem);
    QCOMPARE(file.problem().count, type);
    QCOMPARE(file.problem().error, error);
    QCOMPARE(file.problem().path, local);
    char byte;
    QCOMPARE(file.read(&byte, 1), qint64(-1));
    QCOMPARE(file.problem().kind, JobProblem::Kind::DumpUnreadable);
    QCOMPARE(file.problem().error, EBADF);
}

// The size and the offsets of a dump past 4 GiB (a sparse file here) are not cut to 32 bits.
void tst_stickfile::largerThanFourGiB()
{
    const QString path = m_dir.filePath("big.sql");
    const qint64 size = (qint64(4) << 30) + 3;
    QFile out(path);
    QVERIFY(out.open(QIODevice::WriteOnly));
    if (!out.resize(size))
        QSKIP("the temporary folder's file system holds no file this large");
    QVERIFY(out.seek(size - 3));
    out.write("end");
    out.close();
    StickFile file(path);
    QVERIFY2(file.open(), qPrintable(posixfs::errorText(file.problem().error)));
    QCOMPARE(file.size(), size);
    QVERIFY(file.seek(size - 3));
    char buffer[8];
    QCOMPARE(file.read(buffer, 8), qint64(3));
    QCOMPARE(QByteArray(buffer, 3), QByteArray("end"));
    QFile::remove(path);
}

QTEST_GUILESS_MAIN(tst_stickfile)
#include "tst_stickfile.moc"
