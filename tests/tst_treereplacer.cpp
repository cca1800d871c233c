#include "maintenance/fs/treeremover.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/restore/treereplacer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// The replacer's states where nothing is mounted in the folder: the new tree is made
// beside it and swapped in, and what a power loss left half done is put right, in the
// direction the restore's journal says (finish() or undo()), or, without a journal, by the
// next restore's stage(). (The states of folders that are mount points need mounts: the
// restore tests.)
class tst_treereplacer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void replacesTheFolder();
    void cancelledKeepsTheFolder();
    void recovers_data();
    void recovers();
    void followsTheJournal_data();
    void followsTheJournal();
    void aLinkIsKeptAndItsFolderReplaced();

private:
    QString file(const QString &relative) const { return m_dir->path() + '/' + relative; }
    void write(const QString &relative, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(file(relative)).path());
        QFile out(file(relative));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(content);
    }
    QByteArray read(const QString &relative) const
    {
        QFile in(file(relative));
        return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
    }
    QStringList entries() const
    {
        return QDir(m_dir->path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                       QDir::Name);
    }
    // The new tree, written where the replacer staged it.
    void fillStaging(TreeReplacer &replacer)
    {
        const int staging = replacer.part(0).staging.get();
        QVERIFY(staging >= 0);
        QCOMPARE(::mkdirat(staging, "Brevin", 0755), 0);
        UniqueFd out(::openat(staging, "Brevin/new.txt", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        QVERIFY(out.isValid());
        QCOMPARE(::write(out.get(), "new", 3), ssize_t(3));
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void tst_treereplacer::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void tst_treereplacer::replacesTheFolder()
{
    write("opt/Brevin/old.txt", "old");
    TreeReplacer replacer(file("opt"));
    QVERIFY(replacer.plan());
    QCOMPARE(replacer.partCount(), 1);
    QVERIFY(!replacer.part(0).pinned);
    QVERIFY(replacer.stage());
    fillStaging(replacer);
    // Until the commit the folder is as it was.
    QCOMPARE(read("opt/Brevin/old.txt"), QByteArray("old"));
    QVERIFY(replacer.commit());
    QCOMPARE(read("opt/Brevin/new.txt"), QByteArray("new"));
    QVERIFY(!QFileInfo::exists(file("opt/Brevin/old.txt")));
    QVERIFY(replacer.removeOld());
    QCOMPARE(entries(), QStringList{"opt"});
}

void tst_treereplacer::cancelledKeepsTheFolder()
{
    write("opt/Brevin/old.txt", "old");
    TreeReplacer replacer(file("opt"));
    QVERIFY(replacer.plan());
    QVERIFY(replacer.stage());
    fillStaging(replacer);
    replacer.discard();
    QCOMPARE(read("opt/Brevin/old.txt"), QByteArray("old"));
    QCOMPARE(entries(), QStringList{"opt"});
}

void tst_treereplacer::recovers_data()
{
    // What the folder's parent holds when the power went: opt (the folder, "old" in it),
    // and the replacer's folders beside it; what stage() then leaves.
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QByteArray>("kept");
    QTest::newRow("a half-made new tree")
        << QStringList{"opt", ".opt.servicepanel-new"} << QByteArray("old");
    QTest::newRow("the old tree aside, the new one not yet in")
        << QStringList{".opt.servicepanel-old", ".opt.servicepanel-new"} << QByteArray("old");
    QTest::newRow("the old tree aside, nothing else")
        << QStringList{".opt.servicepanel-old"} << QByteArray("old");
    QTest::newRow("swapped, the old tree not yet removed")
        << QStringList{"opt", ".opt.servicepanel-old"} << QByteArray("old");
    QTest::newRow("a first restore cut short: no opt yet")
        << QStringList{".opt.servicepanel-new"} << QByteArray("<missing>");
}

void tst_treereplacer::recovers()
{
    QFETCH(QStringList, before);
    QFETCH(QByteArray, kept);
    for (const QString &name : before) {
        if (name == "opt" || (name == ".opt.servicepanel-old" && !before.contains("opt")))
            write(name + "/Brevin/old.txt", "old");
        else
            write(name + "/Brevin/leftover.txt", "leftover of " + name.toUtf8());
    }
    TreeReplacer replacer(file("opt"));
    QVERIFY(replacer.plan());
    QVERIFY2(replacer.stage(), qPrintable(QString::fromLocal8Bit(replacer.errorPath())));
    // The device's tree is back in its place, no leftover stays, and the work folder is
    // empty for the new tree.
    QCOMPARE(read("opt/Brevin/old.txt"), kept);
    QVERIFY(!QFileInfo::exists(file("opt/Brevin/leftover.txt")));
    QStringList expected{".opt.servicepanel-new"};
    if (kept != "<missing>")
        expected << "opt";
    QCOMPARE(entries(), expected);
    QCOMPARE(QDir(file(".opt.servicepanel-new"))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
    // And the restore goes on as usual.
    fillStaging(replacer);
    QVERIFY(replacer.commit());
    QVERIFY(replacer.removeOld());
    QCOMPARE(read("opt/Brevin/new.txt"), QByteArray("new"));
    QCOMPARE(entries(), QStringList{"opt"});
}

void tst_treereplacer::followsTheJournal_data()
{
    // Who holds which tree when the power went: "old", "new" (the staged tree) or nothing,
    // for the folder and the two names beside it.
    QTest::addColumn<QString>("opt");
    QTest::addColumn<QString>("fresh"); // .opt.servicepanel-new
    QTest::addColumn<QString>("aside"); // .opt.servicepanel-old
    QTest::newRow("staged, not swapped") << "old"
                                         << "new"
                                         << "";
    QTest::newRow("exchanged") << "new"
                               << "old"
                               << "";
    QTest::newRow("between the two renames") << ""
                                             << "new"
                                             << "old";
    QTest::newRow("after the two renames") << "new"
                                           << ""
                                           << "old";
    QTest::newRow("a first restore, staged") << ""
                                             << "new"
                                             << "";
    QTest::newRow("a first restore, swapped") << "new"
                                              << ""
                                              << "";
    QTest::newRow("an undo between its two renames") << "old"
                                                     << ""
                                                     << "new";
}

void tst_treereplacer::followsTheJournal()
{
    QFETCH(QString, opt);
    QFETCH(QString, fresh);
    QFETCH(QString, aside);
    const bool hadOld = opt == "old" || fresh == "old" || aside == "old";
    for (const bool forward : {true, false}) {
        init();
        const QList<QPair<QString, QString>> places{
            {"opt", opt}, {".opt.servicepanel-new", fresh}, {".opt.servicepanel-old", aside}};
        for (const auto &place : places) {
            if (!place.second.isEmpty())
                write(place.first + "/Brevin/" + place.second + ".txt", place.second.toUtf8());
        }
        ino_t staged = 0;
        for (const auto &place : places) {
            struct stat status;
            if (place.second == "new" &&
                ::stat(QFile::encodeName(file(place.first)).constData(), &status) == 0)
                staged = status.st_ino;
        }
        QVERIFY(staged != 0);
        TreeReplacer replacer(file("opt"));
        QVERIFY(replacer.plan());
        QVERIFY(replacer.isBeside());
        const bool done = forward ? replacer.finish(staged) : replacer.undo(staged);
        QVERIFY2(done, qPrintable(QString::fromLocal8Bit(replacer.errorPath())));
        QVERIFY(replacer.removeWork());
        if (forward) {
            QCOMPARE(read("opt/Brevin/new.txt"), QByteArray("new"));
            QCOMPARE(entries(), QStringList{"opt"});
        } else if (hadOld) {
            QCOMPARE(read("opt/Brevin/old.txt"), QByteArray("old"));
            QCOMPARE(entries(), QStringList{"opt"});
        } else {
            QCOMPARE(entries(), QStringList());
        }
        // Again, from where it is now: nothing changes.
        TreeReplacer again(file("opt"));
        QVERIFY(again.plan());
        if (forward || hadOld)
            QVERIFY(forward ? again.finish(staged) : again.undo(staged));
    }
}

// /opt a link to a data partition: the folder it leads to is replaced, the link stays.
void tst_treereplacer::aLinkIsKeptAndItsFolderReplaced()
{
    write("data/opt/Brevin/old.txt", "old");
    QVERIFY(QFile::link(file("data/opt"), file("opt")));
    TreeReplacer replacer(file("opt"));
    QVERIFY(replacer.plan());
    QCOMPARE(replacer.target(), QFile::encodeName(QFileInfo(file("data/opt")).canonicalFilePath()));
    QVERIFY(replacer.stage());
    fillStaging(replacer);
    QVERIFY(replacer.commit());
    QVERIFY(replacer.removeOld());
    QVERIFY(QFileInfo(file("opt")).isSymLink());
    QCOMPARE(read("opt/Brevin/new.txt"), QByteArray("new"));
    QCOMPARE(read("data/opt/Brevin/new.txt"), QByteArray("new"));
}

QTEST_GUILESS_MAIN(tst_treereplacer)
#include "tst_treereplacer.moc"
