#include "maintenance/fs/treeremover.h"
#include "maintenance/fs/uniquefd.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// The remover takes away a whole tree, whatever its modes and depth, and never what a link
// in it leads to.
class tst_treeremover : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void removesEverything();
    void linksAreRemovedNotFollowed();
    void closedFolders();
    void deeperThanTheOpenFileLimit();
    void missingIsNothingLeft();

private:
    QByteArray path(const char *relative) const
    {
        return QFile::encodeName(m_dir->path()) + '/' + relative;
    }
    int dirFd() const { return m_fd.get(); }

    std::unique_ptr<QTemporaryDir> m_dir;
    UniqueFd m_fd;
};

void tst_treeremover::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_fd.reset(::open(QFile::encodeName(m_dir->path()).constData(), O_RDONLY | O_DIRECTORY));
    QVERIFY(m_fd.isValid());
}

void tst_treeremover::removesEverything()
{
    QVERIFY(QDir().mkpath(QFile::decodeName(path("tree/a/b"))));
    QFile(QFile::decodeName(path("tree/a/b/file"))).open(QIODevice::WriteOnly);
    QFile(QFile::decodeName(path("tree/.hidden"))).open(QIODevice::WriteOnly);
    QCOMPARE(::mkfifo(path("tree/fifo").constData(), 0600), 0);
    TreeRemover remover;
    QVERIFY(remover.remove(dirFd(), "tree"));
    QCOMPARE(remover.error(), 0);
    QVERIFY(!QFileInfo::exists(QFile::decodeName(path("tree"))));
}

void tst_treeremover::linksAreRemovedNotFollowed()
{
    QVERIFY(QDir().mkpath(QFile::decodeName(path("tree"))));
    QVERIFY(QDir().mkpath(QFile::decodeName(path("kept/inner"))));
    QFile(QFile::decodeName(path("kept/inner/data"))).open(QIODevice::WriteOnly);
    QCOMPARE(::symlink(path("kept").constData(), path("tree/to-folder").constData()), 0);
    QCOMPARE(::symlink(path("kept/inner/data").constData(), path("tree/to-file").constData()), 0);
    TreeRemover remover;
    QVERIFY(remover.remove(dirFd(), "tree"));
    QVERIFY(QFileInfo::exists(QFile::decodeName(path("kept/inner/data"))));
    // The top itself a link: the link goes, what it leads to stays.
    QCOMPARE(::symlink(path("kept").constData(), path("top-link").constData()), 0);
    QVERIFY(remover.remove(dirFd(), "top-link"));
    QVERIFY(!QFileInfo(QFile::decodeName(path("top-link"))).isSymLink());
    QVERIFY(QFileInfo::exists(QFile::decodeName(path("kept/inner/data"))));
}

// A tree copied with modes like 0500 and 0000: the remover opens the folders up first.
void tst_treeremover::closedFolders()
{
    QVERIFY(QDir().mkpath(QFile::decodeName(path("tree/readonly/inside"))));
    QFile(QFile::decodeName(path("tree/readonly/inside/file"))).open(QIODevice::WriteOnly);
    QCOMPARE(::chmod(path("tree/readonly/inside").constData(), 0), 0);
    QCOMPARE(::chmod(path("tree/readonly").constData(), 0500), 0);
    TreeRemover remover;
    QVERIFY(remover.remove(dirFd(), "tree"));
    QVERIFY(!QFileInfo::exists(QFile::decodeName(path("tree"))));
}

void tst_treeremover::deeperThanTheOpenFileLimit()
{
    QVERIFY(QDir().mkpath(QFile::decodeName(path("tree"))));
    UniqueFd folder(::open(path("tree").constData(), O_RDONLY | O_DIRECTORY));
    for (int level = 0; level < 1500; ++level) {
        QCOMPARE(::mkdirat(folder.get(), "d", 0755), 0);
        folder.reset(::openat(folder.get(), "d", O_RDONLY | O_DIRECTORY));
        QVERIFY(folder.isValid());
    }
    folder.reset();
    struct rlimit saved;
    QCOMPARE(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    struct rlimit lowered = saved;
    lowered.rlim_cur = 64;
    QCOMPARE(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
    TreeRemover remover;
    const bool removed = remover.remove(dirFd(), "tree");
    ::setrlimit(RLIMIT_NOFILE, &saved);
    QVERIFY2(removed, qPrintable(QString::number(remover.error())));
    QVERIFY(!QFileInfo::exists(QFile::decodeName(path("tree"))));
}

void tst_treeremover::missingIsNothingLeft()
{
    TreeRemover remover;
    QVERIFY(remover.remove(dirFd(), "nothing"));
    QCOMPARE(remover.error(), 0);
}

QTEST_GUILESS_MAIN(tst_treeremover)
#include "tst_treeremover.moc"
