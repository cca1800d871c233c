#include "panel/sendordertoprinter_test.h"

#include "recordingrunner.h"
#include "systemroot.h"
#include "testutil.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QtTest>

#include <memory>
#include <sys/stat.h>

// Where a copied entry should end up, by its path relative to the copy's destination.
enum class Kind { File, Folder, Link, Fifo, Absent };
Q_DECLARE_METATYPE(Kind)

class tst_treecopy : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void copiesTheTree_data();
    void copiesTheTree();
    void progress_data();
    void progress();
    void missingSource();
    void clrPath();
    void mkPath();

private:
    void writeFile(const QString &relative, const QByteArray &content,
                   QFile::Permissions permissions = QFile::Permissions());
    void buildDeviceTree();

    std::unique_ptr<TestSystemRoot> m_root;
    std::unique_ptr<sendordertoprinter_test> m_panel;
    RecordingRunner m_runner;
};

void tst_treecopy::init()
{
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid());
    m_runner.lines.clear();
    m_runner.onRun = nullptr;
    m_panel = makeRootedPanel(*m_root, &m_runner);
}

void tst_treecopy::cleanup()
{
    m_panel.reset();
    m_root.reset();
}

void tst_treecopy::writeFile(const QString &relative, const QByteArray &content,
                             QFile::Permissions permissions)
{
    const QString path = m_root->file(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
    file.close();
    if (permissions)
        QVERIFY(file.setPermissions(permissions));
}

void tst_treecopy::buildDeviceTree()
{
    writeFile("opt/Brevin/bin/app", "binary",
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup |
                  QFile::ExeGroup);
    writeFile("opt/Brevin/etc/secret.conf", "key", QFile::ReadOwner | QFile::WriteOwner);
    writeFile("opt/Brevin/data/a/b/c/deep.txt", "deep");
    writeFile("opt/Brevin/.profile", "hidden file");
    writeFile("opt/.cache/state/.inner", "hidden folder");
    writeFile("opt/Brevin/report.txt", "new report");
    QVERIFY(QDir().mkpath(m_root->file("opt/Brevin/empty")));
    QVERIFY(QFile::link("bin/app", m_root->file("opt/Brevin/app-link")));
    QVERIFY(QFile::link("data/a", m_root->file("opt/Brevin/a-link")));
    QVERIFY(QFile::link("../nowhere", m_root->file("opt/Brevin/dangling")));
    QVERIFY(QFile::link("/opt/Brevin/bin/app", m_root->file("opt/absolute-link")));
    QCOMPARE(::mkfifo(QFile::encodeName(m_root->file("opt/Brevin/fifo")).constData(), 0644), 0);
    // What a restore left in a folder that stays: its work, no data of the device's.
    writeFile("opt/Brevin/.servicepanel-restore-old/old.txt", "the tree before a restore");
    writeFile("opt/.servicepanel-restore-moving/new.txt", "half moved in");
    writeFile("opt/Brevin/data/.servicepanel-restore-new", "a file of that name is data");
    writeFile("opt/Brevin/.servicepanel-restore-older/kept.txt", "another name is data");

    // An older copy on the stick: one file to replace, one without counterpart to keep.
    writeFile("mnt/usb/BackupData/opt/Brevin/report.txt", "old report, longer than the new one");
    writeFile("mnt/usb/BackupData/opt/Brevin/removed-on-device.txt", "stays");
}

void tst_treecopy::copiesTheTree_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QByteArray>("expected"); // content of a file, target text of a link
    QTest::addColumn<int>("mode");            // permission bits of a file, -1: not checked

    QTest::newRow("nested folders")
        << "Brevin/data/a/b/c/deep.txt" << Kind::File << QByteArray("deep") << -1;
    QTest::newRow("empty folder") << "Brevin/empty" << Kind::Folder << QByteArray() << -1;
    QTest::newRow("existing target replaced")
        << "Brevin/report.txt" << Kind::File << QByteArray("new report") << -1;
    QTest::newRow("target without source kept")
        << "Brevin/removed-on-device.txt" << Kind::File << QByteArray("stays") << -1;
    QTest::newRow("hidden file") << "Brevin/.profile" << Kind::File << QByteArray("hidden file")
                                 << -1;
    QTest::newRow("inside hidden folders")
        << ".cache/state/.inner" << Kind::File << QByteArray("hidden folder") << -1;
    QTest::newRow("link to a file")
        << "Brevin/app-link" << Kind::Link << QByteArray("bin/app") << -1;
    QTest::newRow("link to a folder")
        << "Brevin/a-link" << Kind::Link << QByteArray("data/a") << -1;
    QTest::newRow("dangling link")
        << "Brevin/dangling" << Kind::Link << QByteArray("../nowhere") << -1;
    QTest::newRow("absolute link keeps its text")
        << "absolute-link" << Kind::Link << QByteArray("/opt/Brevin/bin/app") << -1;
    QTest::newRow("fifo recreated") << "Brevin/fifo" << Kind::Fifo << QByteArray() << -1;
    QTest::newRow("permission bits, executable")
        << "Brevin/bin/app" << Kind::File << QByteArray("binary") << 0750;
    QTest::newRow("permission bits, private")
        << "Brevin/etc/secret.conf" << Kind::File << QByteArray("key") << 0600;
    QTest::newRow("a restore's old tree left behind")
        << "Brevin/.servicepanel-restore-old" << Kind::Absent << QByteArray() << -1;
    QTest::newRow("a restore's new entries half moved in")
        << ".servicepanel-restore-moving" << Kind::Absent << QByteArray() << -1;
    QTest::newRow("a file with a work folder's name")
        << "Brevin/data/.servicepanel-restore-new" << Kind::File
        << QByteArray("a file of that name is data") << -1;
    QTest::newRow("a folder of another name")
        << "Brevin/.servicepanel-restore-older/kept.txt" << Kind::File
        << QByteArray("another name is data") << -1;
}

void tst_treecopy::copiesTheTree()
{
    QFETCH(QString, path);
    QFETCH(Kind, kind);
    QFETCH(QByteArray, expected);
    QFETCH(int, mode);
    buildDeviceTree();
    const QString destination = m_root->file("mnt/usb/BackupData/opt");

    QVERIFY(m_panel->copyDir(m_panel.get(), destination, m_root->file("opt"), "Backup..."));
    QCOMPARE(m_runner.lines, QList<QByteArray>{"sync"});

    const QString target = destination + QLatin1Char('/') + path;
    struct stat info;
    const bool present = ::lstat(QFile::encodeName(target).constData(), &info) == 0;
    switch (kind) {
    case Kind::Absent:
        QVERIFY(!present);
        break;
    case Kind::Folder:
        QVERIFY(present && S_ISDIR(info.st_mode));
        break;
    case Kind::Fifo:
        QVERIFY(present && S_ISFIFO(info.st_mode));
        break;
    case Kind::Link: {
        QVERIFY(present && S_ISLNK(info.st_mode));
        char text[256] = {};
        QVERIFY(::readlink(QFile::encodeName(target).constData(), text, sizeof text - 1) > 0);
        QCOMPARE(QByteArray(text), expected);
        break;
    }
    case Kind::File: {
        QVERIFY(present && S_ISREG(info.st_mode));
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), expected);
        if (mode >= 0)
            QCOMPARE(int(info.st_mode & 07777), mode);
        break;
    }
    }
}

void tst_treecopy::progress_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<int>("maximum");
    // One step per entry below the source, counted before the copy.
    QTest::newRow("empty source") << QStringList() << QStringList() << 0;
    QTest::newRow("one file") << QStringList{"f"} << QStringList() << 1;
    QTest::newRow("one hidden file") << QStringList{".f"} << QStringList() << 1;
    QTest::newRow("one empty folder") << QStringList() << QStringList{"d"} << 1;
    QTest::newRow("folder with a file") << QStringList{"d/f"} << QStringList{"d"} << 2;
}

// The dialog is still up while the copy's "sync" runs: that is where the bar is read.
void tst_treecopy::progress()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(int, maximum);
    for (const QString &folder : folders)
        QVERIFY(QDir().mkpath(m_root->file("opt/" + folder)));
    for (const QString &file : files)
        writeFile("opt/" + file, "x");
    const QString destination = m_root->file("mnt/usb/BackupData/opt");
    QVERIFY(QDir().mkpath(destination));

    int seenMaximum = -1;
    int seenValue = -1;
    QString seenCaption;
    bool seenVisible = false;
    m_runner.onRun = [&](const QByteArray &) {
        auto *bar = m_panel->findChild<QProgressBar *>();
        auto *dialog = m_panel->findChild<QDialog *>();
        if (!bar || !dialog)
            return;
        seenMaximum = bar->maximum();
        seenValue = bar->value();
        seenVisible = dialog->isVisible() && !dialog->isWindow();
        if (auto *label = dialog->findChild<QLabel *>())
            seenCaption = label->text();
        saveShot(m_panel.get(), QStringLiteral("backup-progress"));
    };

    QVERIFY(m_panel->copyDir(m_panel.get(), destination, m_root->file("opt"), "Backup..."));
    QCOMPARE(m_runner.lines, QList<QByteArray>{"sync"});
    QCOMPARE(seenMaximum, maximum);
    QCOMPARE(seenValue, maximum - 1);
    QCOMPARE(seenCaption, QStringLiteral("Backup..."));
    QVERIFY(seenVisible);
    QVERIFY(!m_panel->findChild<QDialog *>());
}

void tst_treecopy::missingSource()
{
    const QString destination = m_root->file("mnt/usb/BackupData/opt");
    QVERIFY(QDir().mkpath(destination));
    QVERIFY(!m_panel->copyDir(m_panel.get(), destination, m_root->file("no-such-folder"),
                              "Restore..."));
    QVERIFY(m_runner.lines.isEmpty());
    QVERIFY(!m_panel->findChild<QDialog *>());
    QCOMPARE(QDir(destination).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 0);
}

void tst_treecopy::clrPath()
{
    QVERIFY(QDir().mkpath(m_root->file("opt/full")));
    QCOMPARE(m_panel->clrPath(m_root->file("opt/full")), 0);
    QCOMPARE(m_panel->clrPath(m_root->file("opt/missing")), 0);
    QCOMPARE(m_runner.lines,
             QList<QByteArray>{"rm  -rf " + QFile::encodeName(m_root->path()) + "/opt/full/*"});
}

void tst_treecopy::mkPath()
{
    const QString path = m_root->file("opt/x/y/z");
    QCOMPARE(m_panel->mkPath(path), 0);
    QVERIFY(QFileInfo(path).isDir());
    QCOMPARE(m_panel->mkPath(path), 0);
    QVERIFY(m_runner.lines.isEmpty());
}

QTEST_MAIN(tst_treecopy)
#include "tst_treecopy.moc"
