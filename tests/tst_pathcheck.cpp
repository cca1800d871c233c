#include "maintenance/system/pathcheck.h"
#include "maintenance/system/devicecommands.h"
#include "panel/sendordertoprinter_test.h"

#include "journallines.h"
#include "recordingrunner.h"
#include "systemroot.h"

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(PathCheck::Kind)

// The folders that mkPath and clrPath may touch: never "/" or what leads there, never outside
// the system root, never a path the shell could read as something else.

class tst_pathcheck : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void check_data();
    void check();
    void unusableRoot_data();
    void unusableRoot();
    void deviceRoot_data();
    void deviceRoot();
    void clrPath_data();
    void clrPath();
    void mkPath_data();
    void mkPath();

private:
    void addRows();

    std::unique_ptr<TestSystemRoot> m_root;
    std::unique_ptr<sendordertoprinter_test> m_panel;
    RecordingRunner m_runner;
};

void tst_pathcheck::init()
{
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid());
    QVERIFY(QDir().mkpath(m_root->file("opt/full/inside")));
    QVERIFY(QFile::link("/", m_root->file("opt/to-root")));
    QVERIFY(QFile::link("/tmp", m_root->file("opt/to-tmp")));
    QVERIFY(QFile::link("full", m_root->file("opt/to-full")));
    m_runner = RecordingRunner();
    m_panel = makeRootedPanel(*m_root, &m_runner);
}

void tst_pathcheck::cleanup()
{
    m_panel.reset();
    m_root.reset();
}

// %1 stands for the system root.
void tst_pathcheck::addRows()
{
    using K = PathCheck::Kind;
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<PathCheck::Kind>("kind");
    QTest::newRow("empty") << "" << false << K::Empty;
    QTest::newRow("relative") << "opt/full" << false << K::NotAbsolute;
    QTest::newRow("the root folder") << "/" << false << K::RootFolder;
    QTest::newRow("up to the root") << "%1/opt/../../../../../../.." << false << K::NotClean;
    QTest::newRow("dot part") << "%1/opt/./full" << false << K::NotClean;
    QTest::newRow("doubled slash") << "%1/opt//full" << false << K::NotClean;
    QTest::newRow("newline") << "%1/opt/full\n" << false << K::ControlCharacter;
    QTest::newRow("delete") << "%1/opt/full\x7f" << false << K::ControlCharacter;
    QTest::newRow("link to the root") << "%1/opt/to-root" << false << K::RootFolder;
    QTest::newRow("below a link to the root") << "%1/opt/to-root/etc" << false << K::OutsideRoot;
    QTest::newRow("link out of the system root") << "%1/opt/to-tmp" << false << K::OutsideRoot;
    QTest::newRow("outside the system root") << "/tmp" << false << K::OutsideRoot;
    QTest::newRow("the system root itself") << "%1" << false << K::OutsideRoot;
    QTest::newRow("folder inside") << "%1/opt/full" << true << K::Allowed;
    QTest::newRow("trailing slash") << "%1/opt/full/" << true << K::Allowed;
    QTest::newRow("link inside") << "%1/opt/to-full" << true << K::Allowed;
    QTest::newRow("not there yet") << "%1/opt/new/deeper" << true << K::Allowed;
    QTest::newRow("a blank and a quote") << "%1/opt/it's here" << true << K::Allowed;
}

void tst_pathcheck::check_data()
{
    addRows();
}

void tst_pathcheck::check()
{
    QFETCH(QString, path);
    QFETCH(bool, ok);
    QFETCH(PathCheck::Kind, kind);
    const QString real = path.contains("%1") ? path.arg(m_root->path()) : path;
    const PathCheck check = checkMaintenancePath(real, m_root->path());
    QCOMPARE(check.ok, ok);
    QCOMPARE(check.kind, kind);
    QCOMPARE(check.path, real);
}

// A root that is no usable folder refuses every path, and says which root it is.
void tst_pathcheck::unusableRoot_data()
{
    QTest::addColumn<QString>("root");
    QTest::newRow("missing") << "%1/missing";
    QTest::newRow("a link to /") << "%1/opt/to-root";
}

void tst_pathcheck::unusableRoot()
{
    QFETCH(QString, root);
    const QString real = root.arg(m_root->path());
    const PathCheck check = checkMaintenancePath(m_root->file("opt/full"), real);
    QVERIFY(!check.ok);
    QCOMPARE(check.kind, PathCheck::Kind::RootUnusable);
    QCOMPARE(check.root, real);
}

void tst_pathcheck::deviceRoot_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("ok");
    QTest::newRow("empty") << "" << false;
    QTest::newRow("root") << "/" << false;
    QTest::newRow("up to the root") << "/opt/.." << false;
    QTest::newRow("the device's folder") << "/opt/Brevin" << true;
}

// On the device itself ("" root) only "/" and what leads there is refused.
void tst_pathcheck::deviceRoot()
{
    QFETCH(QString, path);
    QFETCH(bool, ok);
    QCOMPARE(checkMaintenancePath(path, QString()).ok, ok);
}

void tst_pathcheck::clrPath_data()
{
    addRows();
}

// A refused path builds no command at all: clrPath("") must never become "rm  -rf /*".
void tst_pathcheck::clrPath()
{
    QFETCH(QString, path);
    QFETCH(bool, ok);
    const QString real = path.contains("%1") ? path.arg(m_root->path()) : path;
    const JournalLines journal;
    const int result = m_panel->clrPath(real);
    if (!ok) {
        QCOMPARE(result, int(sendordertoprinter_test::PathRefused));
        QVERIFY(m_runner.lines.isEmpty());
        // The record says why.
        QCOMPARE(journal.lines().size(), 1);
        QVERIFY2(journal.lines().first().startsWith("servicepanel: panel: step: refused: "),
                 qPrintable(journal.lines().first()));
        return;
    }
    QVERIFY(!journal.lines().join('\n').contains("refused"));
    QCOMPARE(result, int(sendordertoprinter_test::PathDone));
    if (QFileInfo(real).isDir()) {
        QCOMPARE(m_runner.lines.size(), 1);
        QVERIFY(m_runner.lines.first().startsWith("rm  -rf "));
        QVERIFY(m_runner.lines.first().endsWith("/*"));
    } else {
        QVERIFY(m_runner.lines.isEmpty());
    }
    m_runner.lines.clear();
    m_runner.statuses.insert(clearPathCommand(real), 256);
    if (QFileInfo(real).isDir())
        QCOMPARE(m_panel->clrPath(real), int(sendordertoprinter_test::PathFailed));
}

void tst_pathcheck::mkPath_data()
{
    addRows();
}

void tst_pathcheck::mkPath()
{
    QFETCH(QString, path);
    QFETCH(bool, ok);
    const QString real = path.contains("%1") ? path.arg(m_root->path()) : path;
    const bool existed = QFileInfo(real).isDir();
    const int result = m_panel->mkPath(real);
    QCOMPARE(result,
             int(ok ? sendordertoprinter_test::PathDone : sendordertoprinter_test::PathRefused));
    if (ok)
        QVERIFY(QFileInfo(real).isDir());
    else if (!existed && !real.isEmpty())
        QVERIFY(!QFileInfo::exists(real));
    // A file in the way is a failure, not a success.
    QFile blocker(m_root->file("opt/blocker"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QCOMPARE(m_panel->mkPath(m_root->file("opt/blocker/inside")),
             int(sendordertoprinter_test::PathFailed));
    QVERIFY(m_runner.lines.isEmpty());
}

QTEST_MAIN(tst_pathcheck)
#include "tst_pathcheck.moc"
