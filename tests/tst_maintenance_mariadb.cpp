#include "maintenance/system/devicecommands.h"
#include "panel/sendordertoprinter_test.h"

#include "duringprogress.h"
#include "modalcloser.h"
#include "mysqlclient.h"
#include "systemroot.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

#include <functional>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

// Real runs of the backup page: real mkdir, rm, sync, mysql and mysqldump against the
// throwaway MariaDB server of the mariadb fixture (reached through HOME/.my.cnf), on a
// temporary system root whose mnt/usb is a tmpfs mounted in a private mount namespace.

static const char appdbContent[] = R"SQL(
CREATE TABLE articles (id INT AUTO_INCREMENT PRIMARY KEY, name VARCHAR(100) NOT NULL,
                       price DECIMAL(10,2), note TEXT) DEFAULT CHARSET=utf8mb4;
INSERT INTO articles (name, price, note) VALUES
  ('Käse', 12.50, 'Bergkäse, 200 g'), ('寿司', 9.90, NULL), ('Crème brûlée', 4.20, 'ø 8 cm'),
  ('Bread', 2.00, 'line one\nline two');
CREATE TABLE labels (id INT PRIMARY KEY, article INT, layout VARCHAR(20)) DEFAULT CHARSET=utf8mb4;
INSERT INTO labels VALUES (1, 1, 'small'), (2, 2, 'big'), (3, 4, 'ÄÖÜ');
)SQL";

static const char miscContent[] = R"SQL(
CREATE TABLE settings (k VARCHAR(50) PRIMARY KEY, v VARCHAR(200)) DEFAULT CHARSET=utf8mb4;
INSERT INTO settings VALUES ('greeting', 'Grüße aus Köln'), ('shop', 'Łódź 1'), ('empty', '');
CREATE TABLE counters (name VARCHAR(20) PRIMARY KEY, value BIGINT);
INSERT INTO counters VALUES ('tickets', 4711), ('labels', 0);
)SQL";

// mysqldump's last line, which a dump cut short lacks.
static bool dumpEnds(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll().trimmed();
    return text.mid(text.lastIndexOf('\n') + 1).startsWith("-- Dump completed");
}

class tst_maintenance_mariadb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void backupKeepsEverything();
    void secondBackupOverTheFirst();
    void emptyOpt();
    void noUsableStick_data();
    void noUsableStick();
    void failedDumpKeepsThePreviousOne();
    void routinesEventsAndTriggers();
    void hostileStick_data();
    void hostileStick();
    void stickTooSmall();
    void stickFillsUpDuringTheCopy();
    void stickReadOnly();
    void stickUnmountedDuringTheCopy();
    void clearDataTwice();
    void clearDataServerUnreachable();
    void powerOffRunsTheStub();

private:
    QByteArray dumpOf(const QString &database);
    QMap<QString, QString> snapshot(const QString &folder) const;
    void fillDevice();
    void click(const char *button);
    // Clicks Backup and checks that it ends with the "Backup Ok" box alone.
    void backup();
    // The Fail box of a Backup that did not take place; `why` is its first line.
    void backupFails(const QString &why);
    qint64 filesIn(const QString &folder) const;

    QString m_socket;
    std::unique_ptr<TestSystemRoot> m_root;
    std::unique_ptr<sendordertoprinter_test> m_panel;
};

// mysqldump's output less its date line, which is all that differs between two dumps
// of the same data.
QByteArray tst_maintenance_mariadb::dumpOf(const QString &database)
{
    QProcess dump;
    dump.start(QStringLiteral("mysqldump"), {database});
    dump.waitForFinished(120000);
    if (dump.exitCode() != 0)
        return "mysqldump failed: " + dump.readAllStandardError();
    QByteArray kept;
    for (const QByteArray &line : dump.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("-- Dump completed"))
            kept += line + '\n';
    }
    return kept;
}

// Every entry below a folder: kind, permission bits, and content digest or link text.
QMap<QString, QString> tst_maintenance_mariadb::snapshot(const QString &folder) const
{
    QMap<QString, QString> entries;
    QDirIterator walk(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        const QString path = walk.next();
        const QByteArray local = QFile::encodeName(path);
        struct stat info;
        if (::lstat(local.constData(), &info) != 0)
            continue;
        const QString mode = QString::number(info.st_mode & 07777, 8);
        QString description;
        if (S_ISLNK(info.st_mode)) {
            char text[512] = {};
            const ssize_t length = ::readlink(local.constData(), text, sizeof text - 1);
            description = QStringLiteral("link -> ") + QString::fromLocal8Bit(text, int(length));
        } else if (S_ISDIR(info.st_mode)) {
            description = QStringLiteral("folder ") + mode;
        } else {
            QFile file(path);
            file.open(QIODevice::ReadOnly);
            description =
                QStringLiteral("file %1 %2")
                    .arg(mode, QString::fromLatin1(QCryptographicHash::hash(
                                                       file.readAll(), QCryptographicHash::Sha1)
                                                       .toHex()));
        }
        entries.insert(QDir(folder).relativeFilePath(path), description);
    }
    return entries;
}

void tst_maintenance_mariadb::fillDevice()
{
    m_root->writeFile("opt/Brevin/bin/scale-app", "#!/bin/sh\necho weighing\n");
    QVERIFY(QFile::setPermissions(m_root->file("opt/Brevin/bin/scale-app"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                      QFile::ExeOther));
    m_root->writeFile("opt/Brevin/etc/app.conf", "port=/dev/ttyS1\nshop=Köln\n");
    QVERIFY(QFile::setPermissions(m_root->file("opt/Brevin/etc/app.conf"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup));
    m_root->writeFile("opt/Brevin/.settings", "hidden settings");
    m_root->writeFile("opt/Brevin/.cache/fonts/.index", "hidden folder content");
    m_root->writeFile("opt/Brevin/data/labels/2024/label-0001.prn", QByteArray(5000, 'L'));
    m_root->writeFile("opt/Brevin/data/labels/Etikett-\xc3\xa4.prn", "non-ASCII name");
    m_root->writeFile("opt/Brevin/data/empty.log", QByteArray());
    m_root->writeFile("opt/other-vendor/readme.txt", "not the main application");
    QVERIFY(QDir().mkpath(m_root->file("opt/Brevin/spool")));
    QVERIFY(QFile::link("bin/scale-app", m_root->file("opt/Brevin/run")));
    QVERIFY(QFile::link("data/labels", m_root->file("opt/Brevin/current-labels")));
    QVERIFY(QFile::link("/media/sd/missing", m_root->file("opt/Brevin/sd-card")));

    QVERIFY(sql("DROP DATABASE IF EXISTS appdb; DROP DATABASE IF EXISTS Misc;"
                "CREATE DATABASE appdb; CREATE DATABASE Misc;"));
    QVERIFY(sql(QString::fromUtf8(appdbContent), "appdb"));
    QVERIFY(sql(QString::fromUtf8(miscContent), "Misc"));
}

// Every click goes through the guard of systemroot.h.
void tst_maintenance_mariadb::click(const char *button)
{
    clickMaintenance(m_panel.get(), button);
}

void tst_maintenance_mariadb::backup()
{
    ModalCloser closer;
    click("btn_back");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral(" "));
    const QStringList lines = closer.boxes.first().text.split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("Backup Ok"));
    QVERIFY2(lines.value(1).startsWith(QString::number(filesIn(m_root->file("opt"))) + " files, "),
             qPrintable(closer.boxes.first().text));
    QVERIFY(QFile::exists(m_root->file("mnt/usb/BackupData/manifest.mtree")));
    QVERIFY(!QFileInfo::exists(m_root->file("mnt/usb/BackupData.new")));
}

void tst_maintenance_mariadb::backupFails(const QString &why)
{
    ModalCloser closer;
    click("btn_back");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    const QStringList lines = closer.boxes.first().text.split(QLatin1Char('\n'));
    QVERIFY2(lines.first().startsWith(why), qPrintable(closer.boxes.first().text));
    QCOMPARE(lines.last(), QStringLiteral("The previous backup on the U disk was left as it was."));
}

qint64 tst_maintenance_mariadb::filesIn(const QString &folder) const
{
    qint64 files = 0;
    QDirIterator walk(folder, QDir::Files | QDir::Hidden | QDir::System,
                      QDirIterator::Subdirectories);
    while (walk.hasNext()) {
        walk.next();
        files += walk.fileInfo().isFile() && !walk.fileInfo().isSymLink() ? 1 : 0;
    }
    return files;
}

void tst_maintenance_mariadb::initTestCase()
{
    const QString problem = TestSystemRoot::namespaceProblem();
    if (!problem.isEmpty())
        QSKIP(qPrintable("no private mount namespace for the stick (" + problem + ")"));
    const QString server = qEnvironmentVariable("PANEL_TEST_MARIADB_DIR");
    if (server.isEmpty())
        QSKIP("no throwaway MariaDB server: run through ctest (the mariadb fixture)");
    // A deep server folder has its socket elsewhere, named in socket-path.
    QFile socketPath(server + "/socket-path");
    m_socket = socketPath.open(QIODevice::ReadOnly)
                   ? QString::fromLocal8Bit(socketPath.readAll().trimmed())
                   : server + "/mysqld.sock";
    QVERIFY2(QFile::exists(QDir::homePath() + "/.my.cnf"), "HOME has no .my.cnf");
    // The plain client must reach the throwaway server and nothing else.
    QByteArray socket;
    QVERIFY2(sql("SELECT @@socket;", QString(), &socket),
             "the mariadb client cannot reach the throwaway server from the namespace");
    QCOMPARE(QString::fromLocal8Bit(socket.trimmed()), m_socket);
    TestSystemRoot probe;
    if (!probe.mountStick())
        QSKIP("cannot mount a tmpfs in the private mount namespace");
}

void tst_maintenance_mariadb::init()
{
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid());
    QVERIFY(m_root->plugNode());
    QVERIFY(m_root->mountStick());
    fillDevice();
    m_panel = makeRootedPanel(*m_root);
}

void tst_maintenance_mariadb::cleanup()
{
    m_panel.reset();
    m_root.reset();
}

// The set holds /opt as it is and both dumps whole; tst_restore brings it back.
void tst_maintenance_mariadb::backupKeepsEverything()
{
    const auto opt = snapshot(m_root->file("opt"));
    QVERIFY(opt.size() > 15);
    backup();
    QCOMPARE(snapshot(m_root->file("mnt/usb/BackupData/opt")), opt);
    QVERIFY(dumpEnds(m_root->file("mnt/usb/BackupData/appdb.sql")));
    QVERIFY(dumpEnds(m_root->file("mnt/usb/BackupData/Misc.sql")));
    QFile dump(m_root->file("mnt/usb/BackupData/appdb.sql"));
    QVERIFY(dump.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(dump.readAll()).contains(QString::fromUtf8("寿司")));
}

// The second set replaces the first whole: what was deleted on the device since is gone
// from the stick too, so a restore cannot bring it back.
void tst_maintenance_mariadb::secondBackupOverTheFirst()
{
    backup();
    QVERIFY(QFile::remove(m_root->file("opt/Brevin/etc/app.conf")));
    QVERIFY(QDir(m_root->file("opt/Brevin/.cache")).removeRecursively());
    m_root->writeFile("opt/Brevin/data/empty.log", "now with content");
    QVERIFY(sql("INSERT INTO settings VALUES ('second', 'zweite Sicherung');", "Misc"));

    backup();
    const QString stick = m_root->file("mnt/usb/BackupData/opt/Brevin/");
    QVERIFY(!QFileInfo::exists(stick + "etc/app.conf"));
    QVERIFY(!QFileInfo::exists(stick + ".cache"));
    QCOMPARE(snapshot(m_root->file("mnt/usb/BackupData/opt")), snapshot(m_root->file("opt")));
    QFile log(stick + "data/empty.log");
    QVERIFY(log.open(QIODevice::ReadOnly));
    QCOMPARE(log.readAll(), QByteArray("now with content"));
    QFile misc(m_root->file("mnt/usb/BackupData/Misc.sql"));
    QVERIFY(misc.open(QIODevice::ReadOnly));
    QVERIFY(misc.readAll().contains("zweite Sicherung"));
}

void tst_maintenance_mariadb::emptyOpt()
{
    QVERIFY(QDir(m_root->file("opt")).removeRecursively());
    QVERIFY(QDir().mkpath(m_root->file("opt")));
    backup();
    QVERIFY(QFileInfo(m_root->file("mnt/usb/BackupData/opt")).isDir());
    QVERIFY(snapshot(m_root->file("mnt/usb/BackupData/opt")).isEmpty());
    QVERIFY(dumpEnds(m_root->file("mnt/usb/BackupData/appdb.sql")));
    QVERIFY(dumpEnds(m_root->file("mnt/usb/BackupData/Misc.sql")));
}

void tst_maintenance_mariadb::noUsableStick_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<bool>("node");
    QTest::addColumn<bool>("mounted");
    QTest::newRow("backup, no stick") << QByteArray("btn_back") << false << true;
    QTest::newRow("backup, stick not mounted") << QByteArray("btn_back") << true << false;
    QTest::newRow("restore, no stick") << QByteArray("btn_reduction") << false << true;
    QTest::newRow("restore, stick not mounted") << QByteArray("btn_reduction") << true << false;
}

void tst_maintenance_mariadb::noUsableStick()
{
    QFETCH(QByteArray, button);
    QFETCH(bool, node);
    QFETCH(bool, mounted);
    backup();
    ModalCloser closer;
    m_root->writeFile("opt/Brevin/etc/app.conf", "changed since the backup");
    if (!node)
        m_root->unplugNodes();
    if (!mounted)
        m_root->unmountStick();
    const auto opt = snapshot(m_root->file("opt"));
    const auto stick = snapshot(m_root->file("mnt/usb"));
    const QByteArray appdb = dumpOf("appdb");

    click(button.constData());
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QCOMPARE(closer.boxes.first().text,
             node ? QStringLiteral("The U disk is not mounted at /mnt/usb.")
                  : QStringLiteral("Please insert U disk!"));
    QCOMPARE(snapshot(m_root->file("opt")), opt);
    QCOMPARE(snapshot(m_root->file("mnt/usb")), stick);
    QCOMPARE(dumpOf("appdb"), appdb);
}

// A dump that fails never enters a set, and the previous set stays whole.
void tst_maintenance_mariadb::failedDumpKeepsThePreviousOne()
{
    backup();
    const auto previous = snapshot(m_root->file("mnt/usb/BackupData"));
    QVERIFY(sql("DROP DATABASE Misc;"));
    m_root->writeFile("opt/Brevin/after.txt", "not in any set");

    backupFails(QString::fromLatin1(dumpCommand(m_root->path(), QStringLiteral("Misc"))));
    QCOMPARE(snapshot(m_root->file("mnt/usb/BackupData")), previous);
    QVERIFY(!QFileInfo::exists(m_root->file("mnt/usb/BackupData.new")));
}

void tst_maintenance_mariadb::routinesEventsAndTriggers()
{
    QVERIFY(sql("CREATE PROCEDURE count_articles() SELECT COUNT(*) FROM articles;"
                "CREATE FUNCTION twice(x INT) RETURNS INT DETERMINISTIC RETURN 2 * x;"
                "CREATE TRIGGER stamp BEFORE INSERT ON labels FOR EACH ROW SET NEW.layout = "
                "COALESCE(NEW.layout, 'small');"
                "CREATE EVENT nightly ON SCHEDULE EVERY 1 DAY DO DELETE FROM labels WHERE id < 0;",
                "appdb"));
    backup();
    QFile dump(m_root->file("mnt/usb/BackupData/appdb.sql"));
    QVERIFY(dump.open(QIODevice::ReadOnly));
    const QByteArray text = dump.readAll();
    for (const char *object : {"PROCEDURE `count_articles`", "FUNCTION `twice`", "TRIGGER",
                               "stamp BEFORE INSERT", "EVENT `nightly`"})
        QVERIFY2(text.contains(object), object);
}

void tst_maintenance_mariadb::hostileStick_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("text");
    QTest::newRow("BackupData -> /")
        << "BackupData"
        << "/"
        << "BackupData on the U disk is not a folder (a link?).\nNothing was written.";
    QTest::newRow("BackupData/opt -> ../../../opt")
        << "BackupData/opt"
        << "../../../opt"
        << "BackupData/opt on the U disk is not a folder (a link?).\nNothing was written.";
    QTest::newRow("BackupData/opt -> /etc")
        << "BackupData/opt"
        << "/etc"
        << "BackupData/opt on the U disk is not a folder (a link?).\nNothing was written.";
    QTest::newRow("BackupData another mount")
        << "BackupData" << QString()
        << "BackupData on the U disk is another file system.\nNothing was written.";
}

// Each layout is refused with one box, before anything is written, removed or dumped.
void tst_maintenance_mariadb::hostileStick()
{
    QFETCH(QString, link);
    QFETCH(QString, target);
    QFETCH(QString, text);
    m_root->writeFile("etc/passwd", "root:x:0:0:root:/root:/bin/sh\n");
    const QString stick = m_root->file("mnt/usb/");
    QVERIFY(QDir().mkpath(stick + "BackupData"));
    if (target.isEmpty()) {
        QCOMPARE(
            QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=1m", "other", stick + link}), 0);
    } else {
        if (link == "BackupData")
            QVERIFY(QDir(stick + link).removeRecursively());
        // Absolute targets point into the temporary root, never at the machine's own.
        const QString where = target.startsWith('/') ? m_root->file(target.mid(1)) : target;
        QVERIFY(QFile::link(where, stick + link));
    }
    const auto opt = snapshot(m_root->file("opt"));
    const auto etc = snapshot(m_root->file("etc"));
    const QStringList rootEntries = QDir(m_root->path()).entryList(QDir::AllEntries | QDir::Hidden);
    const QStringList stickEntries =
        QDir(stick).entryList(QDir::AllEntries | QDir::Hidden | QDir::System);

    ModalCloser closer;
    click("btn_back");
    if (target.isEmpty())
        QProcess::execute("umount", {stick + link});
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QCOMPARE(closer.boxes.first().text, text);
    QCOMPARE(snapshot(m_root->file("opt")), opt);
    QCOMPARE(snapshot(m_root->file("etc")), etc);
    QCOMPARE(QDir(m_root->path()).entryList(QDir::AllEntries | QDir::Hidden), rootEntries);
    QCOMPARE(QDir(stick).entryList(QDir::AllEntries | QDir::Hidden | QDir::System), stickEntries);
}

// Too little room for the new set, even once the old one were gone: refused at once, with the
// sizes, and no question.
void tst_maintenance_mariadb::stickTooSmall()
{
    backup();
    const auto previous = snapshot(m_root->file("mnt/usb/BackupData"));
    QCOMPARE(QProcess::execute("mount", {"-o", "remount,size=24m", m_root->file("mnt/usb")}), 0);
    // 32 MB of data: blocks in use, not a sparse file.
    m_root->writeFile("opt/Brevin/data/video.bin", QByteArray(32 << 20, 'v'));
    ModalCloser closer;
    click("btn_back");
    QCOMPARE(closer.questions.size(), 0);
    QCOMPARE(closer.boxes.size(), 1);
    const QString text = closer.boxes.first().text;
    QVERIFY2(text.startsWith("Not enough space on U disk: the backup needs 4") &&
                 text.contains(" MB free.\nThe previous backup on the U disk was left as it was."),
             qPrintable(text));
    QCOMPARE(snapshot(m_root->file("mnt/usb/BackupData")), previous);
    QVERIFY(!QFileInfo::exists(m_root->file("mnt/usb/BackupData.new")));
}

// The stick fills up while the tree is copied: the copy stops, the new set goes, the old
// one stays.
void tst_maintenance_mariadb::stickFillsUpDuringTheCopy()
{
    backup();
    const auto previous = snapshot(m_root->file("mnt/usb/BackupData"));
    for (int i = 0; i < 40; ++i)
        m_root->writeFile(QStringLiteral("opt/Brevin/data/part-%1.bin").arg(i),
                          QByteArray(1 << 20, 'p'));
    QCOMPARE(QProcess::execute("mount", {"-o", "remount,size=80m", m_root->file("mnt/usb")}), 0);
    const QString filler = m_root->file("mnt/usb/filler");
    DuringProgress hook(QString(), 5, [&] {
        QFile file(filler);
        if (file.open(QIODevice::WriteOnly)) {
            const QByteArray block(1 << 20, 'f');
            while (file.write(block) == block.size()) {
            }
        }
    });
    backupFails("Writing stopped at ");
    QVERIFY(hook.fired);
    QVERIFY(QFile::remove(filler));
    QCOMPARE(snapshot(m_root->file("mnt/usb/BackupData")), previous);
    QVERIFY(!QFileInfo::exists(m_root->file("mnt/usb/BackupData.new")));
}

void tst_maintenance_mariadb::stickReadOnly()
{
    backup();
    const auto previous = snapshot(m_root->file("mnt/usb/BackupData"));
    QCOMPARE(QProcess::execute("mount", {"-o", "remount,ro", m_root->file("mnt/usb")}), 0);
    backupFails("Cannot write to the U disk: Read-only file system");
    QCOMPARE(snapshot(m_root->file("mnt/usb/BackupData")), previous);
    QCOMPARE(QProcess::execute("mount", {"-o", "remount,rw", m_root->file("mnt/usb")}), 0);
}

// The stick is unmounted while the tree is copied (the file system stays reachable through
// the folders the copy holds open, as a lazy unmount leaves it): nothing is swapped on a
// stick that is no longer there, and its previous set stays as it was.
void tst_maintenance_mariadb::stickUnmountedDuringTheCopy()
{
    const QString stickFs = m_root->mountPullableStick();
    QVERIFY(!stickFs.isEmpty());
    const QString stick = m_root->file("mnt/usb");
    backup();
    const auto previous = snapshot(stickFs + "/BackupData");
    for (int i = 0; i < 30; ++i)
        m_root->writeFile(QStringLiteral("opt/Brevin/data/more-%1.txt").arg(i), "more");

    DuringProgress hook(QString(), 3, [&] { QProcess::execute("umount", {"-l", stick}); });
    backupFails("The U disk was removed during the backup.");
    QVERIFY(hook.fired);
    QCOMPARE(snapshot(stickFs + "/BackupData"), previous);
    QVERIFY(!QFileInfo::exists(stickFs + "/BackupData.new"));
    QProcess::execute("umount", {stickFs});
}

void tst_maintenance_mariadb::clearDataTwice()
{
    const QString other = m_root->file("opt/other-vendor/readme.txt");
    for (int round = 1; round <= 2; ++round) {
        ModalCloser closer;
        click("btn_clear");
        QCOMPARE(closer.boxes.size(), 1);
        QCOMPARE(closer.boxes.first().title, QStringLiteral(" "));
        QCOMPARE(closer.boxes.first().text, QStringLiteral("Clear Data Ok "));
        QVERIFY(closer.boxes.first().onlyOk);
        QByteArray databases;
        QVERIFY(sql("SHOW DATABASES;", QString(), &databases));
        QVERIFY(!databases.split('\n').contains("appdb"));
        QVERIFY(!databases.split('\n').contains("Misc"));
        QVERIFY(!QFileInfo::exists(m_root->file("opt/Brevin")));
        QVERIFY(QFile::exists(other));
    }
}

void tst_maintenance_mariadb::clearDataServerUnreachable()
{
    QTemporaryDir elsewhere;
    QFile config(elsewhere.filePath(".my.cnf"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write("[client]\nsocket=" + QFile::encodeName(elsewhere.filePath("no-server.sock")) +
                 "\nuser=root\n");
    config.close();
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", QFile::encodeName(elsewhere.path()));
    ModalCloser closer;
    click("btn_clear");
    qputenv("HOME", home);

    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    // The first drop says why, in the client's own words; nothing after it ran, so the
    // application's folder is still there with its databases.
    const QStringList lines = closer.boxes.first().text.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines.at(0).startsWith("Database appdb not dropped: exit status 1: ERROR 2002"),
             qPrintable(lines.at(0)));
    QCOMPARE(lines.at(1), QStringLiteral("Nothing was deleted."));
    QCOMPARE(lines.at(2), QStringLiteral("Not deleted: appdb, Misc, /opt/Brevin."));
    QVERIFY(QFile::exists(m_root->file("opt/Brevin/etc/app.conf")));
    QByteArray databases;
    QVERIFY(sql("SHOW DATABASES;", QString(), &databases));
    QVERIFY(databases.split('\n').contains("appdb"));
    QVERIFY(databases.split('\n').contains("Misc"));
}

void tst_maintenance_mariadb::powerOffRunsTheStub()
{
    QTemporaryDir bin;
    const QString stub = bin.filePath("poweroff");
    const QString marker = bin.filePath("powered-off");
    QFile script(stub);
    QVERIFY(script.open(QIODevice::WriteOnly));
    script.write("#!/bin/sh\necho \"poweroff $*\" > " + QFile::encodeName(marker) + "\n");
    script.close();
    QVERIFY(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(bin.path()) + ':' + path);

    QProcess shell;
    shell.start(QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("command -v poweroff")});
    shell.waitForFinished();
    const QString resolved = QString::fromLocal8Bit(shell.readAllStandardOutput().trimmed());
    if (QStandardPaths::findExecutable(QStringLiteral("poweroff")) != stub || resolved != stub) {
        qputenv("PATH", path);
        qFatal("poweroff does not resolve to the stub (%s): not clicking Power Off",
               qPrintable(resolved));
    }

    ModalCloser closer;
    click("btn_exit");
    qputenv("PATH", path);
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral(" "));
    QCOMPARE(closer.boxes.first().text, QStringLiteral("Power Off... "));
    QVERIFY(QFile::exists(marker));
    QVERIFY(!m_panel->isEnabled());
}

QTEST_MAIN(tst_maintenance_mariadb)
#include "tst_maintenance_mariadb.moc"
