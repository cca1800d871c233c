#include "maintenance/fs/foldercursor.h"
#include "maintenance/fs/folderstack.h"
#include "maintenance/fs/treewalker.h"
#include "maintenance/fs/uniquefd.h"

#include "openfiles.h"

#include <QByteArray>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Folders `depth` levels deep below `top`, each named d, with a file f in the deepest.
bool deepTree(int top, int depth)
{
    UniqueFd folder(::dup(top));
    for (int level = 0; level < depth; ++level) {
        if (::mkdirat(folder.get(), "d", 0755) != 0)
            return false;
        folder.reset(::openat(folder.get(), "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!folder.isValid())
            return false;
    }
    UniqueFd file(::openat(folder.get(), "f", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
    return file.isValid();
}

} // namespace

// The walker and the folder stack and cursor under it: the order of a walk, links never
// followed, and trees deeper than the folders that may stay open.
class tst_treewalker : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void walksFoldersBeforeTheirContents();
    void neverThroughALink();
    void deeperThanTheOpenFolders_data();
    void deeperThanTheOpenFolders();
    void folderStackNoticesAMovedParent();
    void cursorRefusesALinkOnTheWay();
    void cursorFollowsAManifestsFolders();

private:
    QByteArray path(const char *relative) const
    {
        return QFile::encodeName(m_dir->path()) + '/' + relative;
    }
    void write(const char *relative)
    {
        QFile file(QFile::decodeName(path(relative)));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_treewalker::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_treewalker::walksFoldersBeforeTheirContents()
{
    QVERIFY(QDir().mkpath(QFile::decodeName(path("top/a/b"))));
    QVERIFY(QDir().mkpath(QFile::decodeName(path("top/c"))));
    write("top/a/b/f");
    write("top/a/g");
    write("top/c/.hidden");
    TreeWalker walker;
    QVERIFY(walker.open(path("top")));
    QStringList steps;
    for (TreeWalker::Step step; (step = walker.next()) != TreeWalker::Step::End;) {
        if (step == TreeWalker::Step::Leave) {
            steps << "leave " + QString::fromUtf8(walker.path());
            continue;
        }
        steps << QString::fromUtf8(walker.path());
        QCOMPARE(walker.name(), walker.path().mid(walker.path().lastIndexOf('/') + 1));
        if (S_ISDIR(walker.status().st_mode))
            QVERIFY(walker.descend());
    }
    QCOMPARE(walker.error(), 0);
    // Each folder comes before what it holds and is left after it, in whatever order the
    // file system lists names.
    QCOMPARE(steps.size(), 10);
    for (const QString &folder : {"a", "a/b", "c"}) {
        const int seen = steps.indexOf(folder);
        const int left = steps.indexOf("leave " + folder);
        QVERIFY2(seen >= 0 && left > seen, qPrintable(steps.join(", ")));
        for (int i = 0; i < steps.size(); ++i) {
            const QString step = steps.at(i);
            if (step.startsWith(folder + '/'))
                QVERIFY2(i > seen && i < left, qPrintable(steps.join(", ")));
        }
    }
    QVERIFY(steps.contains("c/.hidden"));
    QCOMPARE(steps.last(), QString("leave "));
}

void tst_treewalker::neverThroughALink()
{
    QVERIFY(QDir().mkpath(QFile::decodeName(path("top"))));
    QVERIFY(QDir().mkpath(QFile::decodeName(path("outside"))));
    write("outside/secret");
    QCOMPARE(::symlink(path("outside").constData(), path("top/link").constData()), 0);
    TreeWalker walker;
    QVERIFY(walker.open(path("top")));
    QList<QByteArray> seen;
    for (TreeWalker::Step step; (step = walker.next()) != TreeWalker::Step::End;) {
        if (step != TreeWalker::Step::Entry)
            continue;
        seen << walker.path();
        QVERIFY(S_ISLNK(walker.status().st_mode));
        // A link is no folder to walk into.
        QVERIFY(!walker.descend());
    }
    QCOMPARE(seen, QList<QByteArray>{"link"});
}

void tst_treewalker::deeperThanTheOpenFolders_data()
{
    QTest::addColumn<int>("openLevels");
    QTest::addColumn<int>("depth");
    QTest::newRow("2 open, 300 deep") << 2 << 300;
    QTest::newRow("8 open, 40 deep") << 8 << 40;
}

// Paths beyond PATH_MAX too: 300 levels of "d/" are 600 bytes, so the depth, not the
// length, is what the open-folder limit meets here.
void tst_treewalker::deeperThanTheOpenFolders()
{
    QFETCH(int, openLevels);
    QFETCH(int, depth);
    UniqueFd top(::open(QFile::encodeName(m_dir->path()).constData(), O_RDONLY | O_DIRECTORY));
    QVERIFY(deepTree(top.get(), depth));
    const int before = openFiles();
    TreeWalker walker(openLevels);
    QVERIFY(walker.open(QFile::encodeName(m_dir->path())));
    int folders = 0;
    int files = 0;
    int leaves = 0;
    int mostOpen = 0;
    for (TreeWalker::Step step; (step = walker.next()) != TreeWalker::Step::End;) {
        mostOpen = std::max(mostOpen, openFiles() - before);
        if (step == TreeWalker::Step::Leave) {
            ++leaves;
            QCOMPARE(walker.listError(), 0);
            continue;
        }
        if (S_ISDIR(walker.status().st_mode)) {
            ++folders;
            QVERIFY(walker.descend());
        } else {
            ++files;
            QCOMPARE(walker.depth(), depth + 1);
        }
    }
    QCOMPARE(walker.error(), 0);
    QVERIFY(!walker.brokenOff());
    QCOMPARE(folders, depth);
    QCOMPARE(files, 1);
    QCOMPARE(leaves, depth + 1);
    QVERIFY2(mostOpen <= openLevels + 2, qPrintable(QString::number(mostOpen)));
}

// An ancestor closed on the way down is opened again through ".."; a folder moved away
// meanwhile is not taken for it.
void tst_treewalker::folderStackNoticesAMovedParent()
{
    QVERIFY(QDir().mkpath(QFile::decodeName(path("a/b/c"))));
    QVERIFY(QDir().mkpath(QFile::decodeName(path("elsewhere"))));
    {
        FolderStack stack(1);
        stack.push(::open(path("a").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        stack.push(::openat(stack.top(), "b", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        stack.push(::openat(stack.top(), "c", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        QCOMPARE(stack.size(), 3);
        QVERIFY(stack.pop());
        QVERIFY(stack.pop());
        struct stat top, a;
        QCOMPARE(::fstat(stack.top(), &top), 0);
        QCOMPARE(::stat(path("a").constData(), &a), 0);
        QCOMPARE(top.st_ino, a.st_ino);
    }
    FolderStack stack(1);
    stack.push(::open(path("a").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    stack.push(::openat(stack.top(), "b", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    QCOMPARE(::rename(path("a/b").constData(), path("elsewhere/b").constData()), 0);
    errno = 0;
    QVERIFY(!stack.pop());
    QCOMPARE(errno, ESTALE);
}

void tst_treewalker::cursorRefusesALinkOnTheWay()
{
    QVERIFY(QDir().mkpath(QFile::decodeName(path("top/real"))));
    QVERIFY(QDir().mkpath(QFile::decodeName(path("outside/inner"))));
    QCOMPARE(::symlink(path("outside").constData(), path("top/link").constData()), 0);
    UniqueFd top(::open(path("top").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    FolderCursor cursor(top.get());
    QVERIFY(cursor.moveTo({"real"}));
    QCOMPARE(cursor.depth(), 1);
    errno = 0;
    QVERIFY(!cursor.moveTo({"link", "inner"}));
    QVERIFY2(errno == ELOOP || errno == ENOTDIR, qPrintable(QString::number(errno)));
    QVERIFY(!cursor.moveTo({"missing"}));
    QCOMPARE(errno, ENOENT);
}

// Folders in a manifest's order: each move closes what was left and opens what is entered,
// and onLeave sees every folder left, deepest first.
void tst_treewalker::cursorFollowsAManifestsFolders()
{
    QVERIFY(QDir().mkpath(QFile::decodeName(path("top/a/b"))));
    QVERIFY(QDir().mkpath(QFile::decodeName(path("top/c"))));
    UniqueFd top(::open(path("top").constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    FolderCursor cursor(top.get(), 2);
    QList<int> left;
    cursor.onLeave = [&left](int, int depth) { left << depth; };
    QVERIFY(cursor.moveTo({"a", "b"}));
    QCOMPARE(cursor.depth(), 2);
    QVERIFY(cursor.moveTo({"c"}));
    QCOMPARE(cursor.depth(), 1);
    QCOMPARE(left, (QList<int>{2, 1}));
    struct stat here, c;
    QCOMPARE(::fstat(cursor.fd(), &here), 0);
    QCOMPARE(::stat(path("top/c").constData(), &c), 0);
    QCOMPARE(here.st_ino, c.st_ino);
    QVERIFY(cursor.leaveAll());
    QCOMPARE(cursor.depth(), 0);
}

QTEST_GUILESS_MAIN(tst_treewalker)
#include "tst_treewalker.moc"
