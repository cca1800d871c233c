#include "maintenance/system/commandrunner.h"
#include "maintenance/database/databaserestore.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/fs/treeremover.h"
#include "maintenance/restore/treereplacer.h"
#include "maintenance/system/devicecommands.h"
#include "panel/sendordertoprinter_test.h"

#include "awkwardtree.h"
#include "duringprogress.h"
#include "hookedrunner.h"
#include "modalcloser.h"
#include "mysqlclient.h"
#include "postclick.h"
#include "systemroot.h"
#include "teststick.h"
#include "testutil.h"
#include "treesnapshot.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QLocale>
#include <QProcess>
#include <QtTest>

#include <functional>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Restore on real runs: a temporary system root whose mnt/usb is a stick mounted in a private
// mount namespace (tmpfs, or FAT through fusefat), real mysql and mysqldump against the
// throwaway MariaDB server of the mariadb fixture (reached through HOME/.my.cnf). Every case
// of a restore that went wrong before is here, with what the device must look like after it:
// the same /opt, entry for entry, and the same databases, unless the restore said "Restore Ok".

Q_DECLARE_METATYPE(TestStick::Kind)

namespace {

const char appdbContent[] = R"SQL(
CREATE TABLE sales (id INT AUTO_INCREMENT PRIMARY KEY, amount DECIMAL(10,2), note VARCHAR(50))
  DEFAULT CHARSET=utf8mb4;
INSERT INTO sales VALUES (1, 2.50, 'Käse'), (2, 3.50, '寿司');
CREATE TABLE log (id INT AUTO_INCREMENT PRIMARY KEY, msg TEXT);
DELIMITER //
CREATE TRIGGER sales_logged AFTER INSERT ON sales FOR EACH ROW
BEGIN
  INSERT INTO log (msg) VALUES (CONCAT('sale ', NEW.id));
END//
CREATE PROCEDURE add_sale(IN a DECIMAL(10,2))
BEGIN
  INSERT INTO sales (amount, note) VALUES (a, 'by procedure');
END//
CREATE EVENT nightly ON SCHEDULE EVERY 1 DAY STARTS '2030-01-01 03:00:00'
  DO DELETE FROM log WHERE id < 0//
DELIMITER ;
)SQL";

const char miscContent[] = R"SQL(
CREATE TABLE settings (k VARCHAR(50) PRIMARY KEY, v VARCHAR(200)) DEFAULT CHARSET=utf8mb4;
INSERT INTO settings VALUES ('greeting', 'Grüße aus Köln'), ('shop', 'Łódź 1');
)SQL";

} // namespace

class tst_restore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void roundTrip_data();
    void roundTrip();
    void hostileLayout_data();
    void hostileLayout();
    void setRefused_data();
    void setRefused();
    void damageFoundInTheOnePass_data();
    void damageFoundInTheOnePass();
    void hostileDump_data();
    void hostileDump();
    void stickPulledDuringTheRestore();
    void swapFailsDatabasesComeBack();
    void optIsALink();
    void mountPoints_data();
    void mountPoints();
    void cancelTouchesNothing_data();
    void cancelTouchesNothing();
    void tapsDuringRestoreAreDropped_data();
    void tapsDuringRestoreAreDropped();
    void olderPanelsSet();

private:
    // What the device holds: /opt entry for entry, and both databases.
    struct DeviceState
    {
        QMap<QByteArray, QByteArray> opt;
        QByteArray appdb;
        QByteArray misc;
    };

    DeviceState deviceState(const QString &opt = QString());
    void compareState(const DeviceState &expected, const DeviceState &actual);
    void fillDevice();
    void damageDevice(bool routines = true);
    void click(const char *button);
    // Restores, answering its question, and returns the lines of the Fail box that follows.
    QStringList restoreFails();
    QString backup();
    // Gives the set's manifest the size and SHA-256 of a file changed on the stick.
    void vouchFor(const QString &relative);
    // The question Restore asks, as the manifest's date and size make it.
    QString expectedDate() const;

    std::unique_ptr<TestSystemRoot> m_root;
    std::unique_ptr<sendordertoprinter_test> m_panel;
    bool m_rootUser = false;
};

// Restored views, routines, triggers and events are made by the loading account.
static QByteArray definedAsRestored(QByteArray dump)
{
    return dump.replace("`root`@`localhost`", "`servicepanel_data`@`localhost`");
}

tst_restore::DeviceState tst_restore::deviceState(const QString &opt)
{
    DeviceState state;
    TreeSnapshot::Options options;
    options.owners = m_rootUser;
    const TreeSnapshot tree(bytes(opt.isEmpty() ? m_root->file("opt") : opt), options);
    state.opt =
        tree.isValid() ? tree.entries() : QMap<QByteArray, QByteArray>{{"error", tree.error()}};
    state.appdb = definedAsRestored(fullDump("appdb"));
    state.misc = definedAsRestored(fullDump("Misc"));
    return state;
}

void tst_restore::compareState(const DeviceState &expected, const DeviceState &actual)
{
    TreeSnapshot::Options options;
    const QStringList differences = [&] {
        QStringList lines;
        for (auto it = expected.opt.cbegin(); it != expected.opt.cend() && lines.size() < 12;
             ++it) {
            if (actual.opt.value(it.key()) != it.value())
                lines << "opt/" + QString::fromLatin1(it.key().toPercentEncoding("/")) + ": " +
                             it.value() + " | " + actual.opt.value(it.key(), "missing");
        }
        for (auto it = actual.opt.cbegin(); it != actual.opt.cend() && lines.size() < 12; ++it) {
            if (!expected.opt.contains(it.key()))
                lines << "extra: opt/" + QString::fromLatin1(it.key().toPercentEncoding("/"));
        }
        return lines;
    }();
    QVERIFY2(differences.isEmpty(), qPrintable(differences.join('\n')));
    QCOMPARE(actual.appdb, expected.appdb);
    QCOMPARE(actual.misc, expected.misc);
}

void tst_restore::fillDevice()
{
    m_root->writeFile("opt/Brevin/bin/scale-app", "#!/bin/sh\necho weighing\n");
    QVERIFY(QFile::setPermissions(m_root->file("opt/Brevin/bin/scale-app"),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                      QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther |
                                      QFile::ExeOther));
    m_root->writeFile("opt/Brevin/etc/app.conf", "port=/dev/ttyS1\nshop=Köln\n");
    m_root->writeFile("opt/Brevin/.settings", "hidden settings");
    m_root->writeFile("opt/Brevin/data/journal.bin", QByteArray(20000, 'j'));
    m_root->writeFile("opt/Brevin/data/labels/Etikett-\xc3\xa4.prn", "non-ASCII name");
    m_root->writeFile("opt/other-vendor/readme.txt", "not the main application");
    QVERIFY(QFile::link("bin/scale-app", m_root->file("opt/Brevin/run")));
    QVERIFY(QFile::link("/media/sd/missing", m_root->file("opt/Brevin/sd-card")));
    QCOMPARE(::mkfifo(bytes(m_root->file("opt/Brevin/spool")).constData(), 0620), 0);
    const struct timespec when[2] = {{1234567890, 123456789}, {1234567890, 123456789}};
    QCOMPARE(::utimensat(AT_FDCWD, bytes(m_root->file("opt/Brevin/etc")).constData(), when, 0), 0);

    QVERIFY(sql("DROP DATABASE IF EXISTS appdb; DROP DATABASE IF EXISTS Misc;"
                "DROP DATABASE IF EXISTS evil; CREATE DATABASE appdb; CREATE DATABASE Misc;"));
    QVERIFY(sql(QString::fromUtf8(appdbContent), "appdb"));
    QVERIFY(sql(QString::fromUtf8(miscContent), "Misc"));
}

// What happens to a device between a backup and the restore that puts it right.
void tst_restore::damageDevice(bool routines)
{
    m_root->writeFile("opt/Brevin/etc/app.conf", "damaged");
    QVERIFY(QFile::remove(m_root->file("opt/Brevin/.settings")));
    QVERIFY(QDir(m_root->file("opt/Brevin/data")).removeRecursively());
    QVERIFY(QFile::remove(m_root->file("opt/Brevin/run")));
    QVERIFY(QFile::setPermissions(m_root->file("opt/Brevin/bin/scale-app"),
                                  QFile::ReadOwner | QFile::WriteOwner));
    m_root->writeFile("opt/Brevin/new-after-backup.txt", "goes with the restore");
    QVERIFY(sql("UPDATE sales SET note = 'changed' WHERE id = 1; DELETE FROM log;", "appdb"));
    if (routines)
        QVERIFY(sql("DROP PROCEDURE add_sale;", "appdb"));
    QVERIFY(sql("DROP DATABASE Misc;"));
}

void tst_restore::click(const char *button)
{
    clickMaintenance(m_panel.get(), button);
}

QStringList tst_restore::restoreFails()
{
    ModalCloser closer;
    click("btn_reduction");
    if (closer.questions.size() != 1 || closer.boxes.size() != 1 ||
        closer.boxes.first().title != QLatin1String("Fail"))
        return {QStringLiteral("not one question and one Fail box")};
    return closer.boxes.first().text.split('\n');
}

// Backs up and returns the box's second line: "N files, SIZE".
QString tst_restore::backup()
{
    ModalCloser closer;
    click("btn_back");
    if (closer.boxes.size() != 1 || !closer.boxes.first().text.startsWith("Backup Ok\n")) {
        qWarning("backup failed: %s",
                 closer.boxes.isEmpty() ? "no box" : qPrintable(closer.boxes.first().text));
        return QString();
    }
    return closer.boxes.first().text.split('\n').value(1);
}

void tst_restore::vouchFor(const QString &relative)
{
    const QString set = m_root->file("mnt/usb/BackupData/");
    QFile changed(set + relative);
    QVERIFY(changed.open(QIODevice::ReadOnly));
    const QByteArray content = changed.readAll();
    const QByteArray sha256 = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
    QFile manifest(set + ManifestWriter::fileName());
    QVERIFY(manifest.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = manifest.readAll().split('\n');
    manifest.close();
    bool found = false;
    for (QByteArray &line : lines) {
        if (!line.startsWith("./" + bytes(relative) + ' '))
            continue;
        QList<QByteArray> words = line.split(' ');
        for (QByteArray &word : words) {
            if (word.startsWith("size="))
                word = "size=" + QByteArray::number(content.size());
            else if (word.startsWith("sha256="))
                word = "sha256=" + sha256;
        }
        line = words.join(' ');
        found = true;
    }
    QVERIFY(found);
    QVERIFY(manifest.open(QIODevice::WriteOnly | QIODevice::Truncate));
    manifest.write(lines.join('\n'));
}

QString tst_restore::expectedDate() const
{
    return m_root->setDate();
}

void tst_restore::initTestCase()
{
    raiseOpenFileLimit();
    const QString missing = missingStickOrServer();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    QByteArray socket;
    QVERIFY2(sql("SELECT @@socket;", QString(), &socket), "the throwaway server does not answer");
    m_rootUser = isMachineRoot();
}

void tst_restore::init()
{
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid());
    QVERIFY(m_root->plugNode());
    QVERIFY(m_root->mountStick());
    fillDevice();
    m_panel = makeRootedPanel(*m_root);
}

void tst_restore::cleanup()
{
    m_panel.reset();
    // 0500 folders and paths past PATH_MAX are more than QDir can remove.
    if (m_root) {
        UniqueFd root(::open(bytes(m_root->path()).constData(), O_RDONLY | O_DIRECTORY));
        for (const char *name : {"opt", "data"}) {
            TreeRemover remover;
            remover.remove(root.get(), name);
        }
    }
    m_root.reset();
}

void tst_restore::roundTrip_data()
{
    QTest::addColumn<TestStick::Kind>("kind");
    QTest::newRow("tmpfs stick") << TestStick::Kind::Tmpfs;
    QTest::newRow("FAT stick (fusefat)") << TestStick::Kind::Fat;
    QTest::newRow("exFAT stick (exfat-fuse on a loop device)") << TestStick::Kind::Exfat;
}

// Backup, damage, restore: /opt is what it was, entry for entry (modes, owners, times,
// links, hard links, FIFOs, awkward names, deep and long paths), and so are both databases.
// A FAT stick holds no links, modes or owners: the manifest gives them back.
void tst_restore::roundTrip()
{
    QFETCH(TestStick::Kind, kind);
    QTemporaryDir work;
    std::unique_ptr<TestStick> stick;
    if (kind != TestStick::Kind::Tmpfs) {
        const QString missing = TestStick::missingTool(kind);
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        if (!m_rootUser)
            QSKIP("a loop device or a fusefat daemon needs the machine's root here");
        m_root->unmountStick();
        stick = std::make_unique<TestStick>(kind, m_root->file("mnt/usb"), work.path(), 256);
        QVERIFY(stick->mount());
    }
    AwkwardTree tree;
    tree.depth = kind == TestStick::Kind::Fat ? 100 : 300;
    tree.beyondPathMax = kind != TestStick::Kind::Fat;
    QVERIFY(QDir().mkpath(m_root->file("opt/Brevin/awkward")));
    QVERIFY2(tree.build(bytes(m_root->file("opt/Brevin/awkward")), m_rootUser),
             tree.error.constData());
    DeviceState before = deviceState();
    before.opt.remove("Brevin/awkward/" + tree.socketPath);
    // What a backup without --routines --events lost: compared below like the rest.
    for (const char *kept : {"PROCEDURE `add_sale`", "EVENT `nightly`", "sales_logged"})
        QVERIFY2(before.appdb.contains(kept), kept);
    const QString summary = backup();
    QVERIFY(!summary.isEmpty());
    damageDevice();
    QVERIFY(deviceState().opt != before.opt);

    ModalCloser closer;
    if (kind == TestStick::Kind::Tmpfs) {
        const QString shots = qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath());
        closer.questionPicture = shots + "/restore-question.png";
        closer.boxPicture = shots + "/restore-ok.png";
        closer.pictureScreen = QSize(800, 480);
    }
    click("btn_reduction");
    QCOMPARE(closer.questions.size(), 1);
    const ModalCloser::Box question = closer.questions.first();
    QCOMPARE(question.title, QStringLiteral("Restore"));
    for (const QString &named : {QStringLiteral("/opt"), QStringLiteral("appdb"),
                                 QStringLiteral("Misc"), expectedDate(), summary})
        QVERIFY2(question.text.contains(named), qPrintable(named + " not in: " + question.text));
    QVERIFY(!question.text.contains("cannot be verified"));
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral(" "));
    const QStringList lines = closer.boxes.first().text.split('\n');
    QCOMPARE(lines.value(0), QStringLiteral("Restore Ok"));
    QCOMPARE(lines.value(1), summary);
    QCOMPARE(
        lines.value(2),
        QStringLiteral("Not restored: %1 (socket)").arg(m_root->file("opt/Brevin/awkward/sock")));
    QCOMPARE(lines.size(), 3);

    compareState(before, deviceState());
    // Nothing of the work is left beside /opt or in it.
    QCOMPARE(QDir(m_root->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             (QStringList{"dev", "mnt", "opt", "run", "var"}));
    QCOMPARE(QDir(m_root->file("var/backups/servicepanel/incoming")).entryList(QDir::Files),
             QStringList());
}

void tst_restore::hostileLayout_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("text");
    const QString notAFolder = "%1 on the U disk is not a folder (a link?).\n"
                               "Nothing on the device was changed.";
    QTest::newRow("BackupData/opt -> ../../../etc")
        << "BackupData/opt"
        << "../../../etc" << notAFolder.arg("BackupData/opt");
    QTest::newRow("BackupData/opt -> ../../..") << "BackupData/opt"
                                                << "../../.." << notAFolder.arg("BackupData/opt");
    QTest::newRow("BackupData -> the device's opt") << "BackupData"
                                                    << "../../opt" << notAFolder.arg("BackupData");
    QTest::newRow("BackupData another mount")
        << "BackupData" << QString()
        << "BackupData on the U disk is another file system.\nNothing on the device was changed.";
}

// Links on the stick are never followed: /etc never lands in /opt, nor the root in /opt.
void tst_restore::hostileLayout()
{
    QFETCH(QString, link);
    QFETCH(QString, target);
    QFETCH(QString, text);
    m_root->writeFile("etc/passwd", "root:x:0:0:root:/root:/bin/sh\n");
    m_root->writeFile("etc/shadow", "root:!:19000::::::\n");
    QVERIFY(!backup().isEmpty());
    const QString stick = m_root->file("mnt/usb/");
    // The dumps and the manifest stay: only the tree is swapped for a link.
    QVERIFY(QDir(stick + "BackupData/opt").removeRecursively());
    if (link == "BackupData") {
        QVERIFY(QDir().rename(stick + "BackupData", stick + "elsewhere"));
        if (target.isEmpty()) {
            // The whole set, on a file system of its own mounted in the stick's place.
            QVERIFY(QDir().mkpath(stick + "BackupData"));
            QCOMPARE(QProcess::execute("mount",
                                       {"-t", "tmpfs", "-o", "size=64m", "other", stick + link}),
                     0);
            QCOMPARE(QProcess::execute("cp", {"-a", stick + "elsewhere/.", stick + link}), 0);
            QVERIFY(QDir().mkpath(stick + "BackupData/opt"));
        } else {
            QVERIFY(QFile::link(target, stick + link));
        }
    } else {
        QVERIFY(QFile::link(target, stick + link));
    }
    const DeviceState before = deviceState();
    const auto etc = TreeSnapshot(bytes(m_root->file("etc"))).entries();

    ModalCloser closer;
    click("btn_reduction");
    if (target.isEmpty())
        QProcess::execute("umount", {stick + link});
    QCOMPARE(closer.questions.size(), 0);
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QCOMPARE(closer.boxes.first().text, text);
    compareState(before, deviceState());
    QCOMPARE(TreeSnapshot(bytes(m_root->file("etc"))).entries(), etc);
}

void tst_restore::setRefused_data()
{
    QTest::addColumn<QString>("damage");
    // The box's first lines and its last, %1 standing for the stick's set.
    QTest::addColumn<QStringList>("lines");
    const QString incomplete = "No complete backup on U disk!";
    const QString nothing = "Nothing on the device was changed.";
    QTest::newRow("empty stick") << "no set" << QStringList{incomplete};
    QTest::newRow("a backup cut short left only BackupData.new")
        << "only new" << QStringList{incomplete};
    QTest::newRow("an older panel's failed backup: a dump cut short")
        << "older, cut dump" << QStringList{incomplete};
    QTest::newRow("an older panel's failed backup: no opt folder")
        << "older, no opt" << QStringList{incomplete};
    QTest::newRow("a FIFO as an older panel's dump")
        << "older, fifo dump" << QStringList{incomplete};
    QTest::newRow("manifest without its closing line")
        << "manifest cut"
        << QStringList{incomplete,
                       "The list of the backup (manifest.mtree) cannot be used: the manifest "
                       "was cut short",
                       nothing};
    QTest::newRow("a folder missing")
        << "remove folder" << QStringList{"Missing on the U disk: %1/opt/Brevin/data", nothing};
    QTest::newRow("a file missing")
        << "remove file"
        << QStringList{"Missing on the U disk: %1/opt/Brevin/data/journal.bin", nothing};
    QTest::newRow("a dump damaged")
        << "change dump" << QStringList{"Damaged on the U disk: %1/Misc.sql", nothing};
    QTest::newRow("a FIFO as a dump")
        << "fifo dump" << QStringList{"Damaged on the U disk: %1/appdb.sql", nothing};
    QTest::newRow("a file replaced by a link to the device's passwd")
        << "link file" << QStringList{"Damaged on the U disk: %1/opt/Brevin/etc/app.conf", nothing};
    QTest::newRow("a manifest entry leading outside")
        << "outside" << QStringList{"Leads outside the backup: %1/opt/../../etc/passwd", nothing};
}

// A set that is not whole is never restored, not even in part: nothing on the device changes,
// nothing is asked, and the box names what is wrong.
void tst_restore::setRefused()
{
    QFETCH(QString, damage);
    QFETCH(QStringList, lines);
    m_root->writeFile("etc/passwd", "root:x:0:0:root:/root:/bin/sh\n");
    QVERIFY(!backup().isEmpty());
    const QString stick = m_root->file("mnt/usb/");
    const QString set = stick + "BackupData";
    QFile file;
    if (damage == "no set") {
        QVERIFY(QDir(set).removeRecursively());
    } else if (damage == "only new") {
        QVERIFY(QDir().rename(set, stick + "BackupData.new"));
        QVERIFY(QFile::remove(stick + "BackupData.new/manifest.mtree"));
    } else if (damage.startsWith("older")) {
        QVERIFY(QFile::remove(set + "/manifest.mtree"));
        if (damage == "older, cut dump") {
            file.setFileName(set + "/Misc.sql");
            QVERIFY(file.open(QIODevice::ReadWrite) && file.resize(file.size() / 2));
        } else if (damage == "older, no opt") {
            QVERIFY(QDir(set + "/opt").removeRecursively());
        } else {
            QVERIFY(QFile::remove(set + "/appdb.sql"));
            QCOMPARE(::mkfifo(bytes(set + "/appdb.sql").constData(), 0644), 0);
        }
    } else if (damage == "manifest cut") {
        file.setFileName(set + "/manifest.mtree");
        QVERIFY(file.open(QIODevice::ReadWrite));
        const QByteArray text = file.readAll();
        QVERIFY(file.resize(text.lastIndexOf("# complete:")));
    } else if (damage == "remove folder") {
        QVERIFY(QDir(set + "/opt/Brevin/data").removeRecursively());
    } else if (damage == "remove file") {
        QVERIFY(QFile::remove(set + "/opt/Brevin/data/journal.bin"));
    } else if (damage == "change dump") {
        file.setFileName(set + "/Misc.sql");
        QVERIFY(file.open(QIODevice::Append));
        file.write("DROP TABLE settings;\n");
    } else if (damage == "fifo dump") {
        QVERIFY(QFile::remove(set + "/appdb.sql"));
        QCOMPARE(::mkfifo(bytes(set + "/appdb.sql").constData(), 0644), 0);
    } else if (damage == "link file") {
        QVERIFY(QFile::remove(set + "/opt/Brevin/etc/app.conf"));
        QVERIFY(QFile::link(m_root->file("etc/passwd"), set + "/opt/Brevin/etc/app.conf"));
    } else if (damage == "outside") {
        file.setFileName(set + "/manifest.mtree");
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray text = file.readAll();
        text.replace("./opt/Brevin/etc/app.conf ", "./opt/../../etc/passwd ");
        QVERIFY(file.resize(0));
        file.write(text);
    }
    file.close();
    m_root->writeFile("opt/Brevin/etc/app.conf", "changed since the backup");
    QVERIFY(sql("DELETE FROM sales WHERE id = 2;", "appdb"));
    const DeviceState before = deviceState();
    TreeSnapshot::Options options;
    const auto onStick = TreeSnapshot(bytes(stick)).entries();

    ModalCloser closer;
    QElapsedTimer clock;
    clock.start();
    click("btn_reduction");
    QVERIFY(clock.elapsed() < 60000);
    QCOMPARE(closer.questions.size(), 0);
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QStringList expected;
    for (const QString &line : lines)
        expected << (line.contains("%1") ? line.arg(set) : line);
    const QStringList shown = closer.boxes.first().text.split('\n');
    QCOMPARE(shown.mid(0, expected.size() - 1), expected.mid(0, expected.size() - 1));
    QCOMPARE(shown.last(), expected.last());
    compareState(before, deviceState());
    QCOMPARE(TreeSnapshot(bytes(stick)).entries(), onStick);
    QVERIFY(!QFileInfo::exists(m_root->file(".opt.servicepanel-new")));
}

void tst_restore::damageFoundInTheOnePass_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("line");
    QTest::newRow("a file of the tree") << "opt/Brevin/etc/app.conf"
                                        << "Damaged on the U disk: %1/opt/Brevin/etc/app.conf";
    QTest::newRow("a dump") << "Misc.sql"
                            << "Misc.sql changed on the U disk after it was checked";
}

// The check before the question reads no file's content: a file changed on the stick without
// changing its size is found by the one pass that restores it, and then nothing on the
// device changes either.
void tst_restore::damageFoundInTheOnePass()
{
    QFETCH(QString, file);
    QFETCH(QString, line);
    QVERIFY(!backup().isEmpty());
    const QString set = m_root->file("mnt/usb/BackupData");
    QFile changed(set + "/" + file);
    QVERIFY(changed.open(QIODevice::ReadWrite));
    QByteArray text = changed.readAll();
    const int at = text.indexOf("Grüße") >= 0 ? text.indexOf("Grüße") : 0;
    text[at] = text.at(at) == 'P' ? 'Q' : 'P';
    QVERIFY(changed.seek(0) && changed.write(text) == text.size());
    changed.close();
    damageDevice();
    const DeviceState before = deviceState();

    QCOMPARE(restoreFails(),
             QStringList(
                 {line.arg(set), "/opt and the databases appdb and Misc were left as they were."}));
    compareState(before, deviceState());
    QVERIFY(!QFileInfo::exists(m_root->file(".opt.servicepanel-new")));
    QVERIFY(!QFileInfo::exists(m_root->file("var/backups/servicepanel")));
}

void tst_restore::hostileDump_data()
{
    QTest::addColumn<QString>("dump");
    QTest::addColumn<QByteArray>("inserted");
    QTest::addColumn<bool>("whole"); // `inserted` is all the dump holds
    QTest::addColumn<QString>("problem");
    const QByteArray marker = bytes(QDir::tempPath()) + "/servicepanel-restore-pwned";
    QTest::newRow("client command \\!") << "appdb.sql"
                                        << "\\! touch " + marker + "\n"
                                        << false << "appdb.sql refused: line ";
    QTest::newRow("CREATE DATABASE evil") << "appdb.sql" << QByteArray("CREATE DATABASE evil;\n")
                                          << false << "appdb.sql refused: line ";
    QTest::newRow("SQL error in the middle")
        << "appdb.sql" << QByteArray("INSERT INTO no_such_table VALUES (1);\n") << false
        << "appdb.sql does not load: exit status 1: ERROR";
    QTest::newRow("Misc reaching into appdb")
        << "Misc.sql" << QByteArray("DELETE FROM appdb.sales;\n") << false
        << "Misc.sql refused: line ";
    QTest::newRow("only the last line of a dump")
        << "appdb.sql" << QByteArray("-- Dump completed on 2026-12-10  2:13:55\n") << true
        << "appdb.sql refused: ";
}

// A dump that the manifest vouches for is still untrusted: it is vetted and proved to load
// before any database is touched, and client commands never run.
void tst_restore::hostileDump()
{
    QFETCH(QString, dump);
    QFETCH(QByteArray, inserted);
    QFETCH(bool, whole);
    QFETCH(QString, problem);
    const QString marker = QDir::tempPath() + "/servicepanel-restore-pwned";
    QFile::remove(marker);
    QVERIFY(!backup().isEmpty());
    QFile file(m_root->file("mnt/usb/BackupData/" + dump));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    QVERIFY(text.contains("INSERT INTO"));
    if (whole)
        text = inserted;
    else
        text.insert(text.indexOf("INSERT INTO"), inserted);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    vouchFor(dump);
    damageDevice();
    const DeviceState before = deviceState();

    const QStringList lines = restoreFails();
    QVERIFY2(lines.first().startsWith(problem), qPrintable(lines.join('\n')));
    QCOMPARE(lines.last(),
             QStringLiteral("/opt and the databases appdb and Misc were left as they were."));
    QVERIFY(!QFile::exists(marker));
    compareState(before, deviceState());
    QByteArray databases;
    QVERIFY(sql("SHOW DATABASES;", QString(), &databases));
    QVERIFY(!databases.split('\n').contains("evil"));
}

// The stick goes while the tree is restored (unmounted; the files held open still answer,
// as a lazy unmount leaves them): nothing that was read counts, /opt and both databases stay.
void tst_restore::stickPulledDuringTheRestore()
{
    const QString stickFs = m_root->mountPullableStick();
    QVERIFY(!stickFs.isEmpty());
    const QString stick = m_root->file("mnt/usb");
    for (int i = 0; i < 50; ++i)
        m_root->writeFile(QStringLiteral("opt/Brevin/data/more-%1.txt").arg(i), "more");
    QVERIFY(!backup().isEmpty());
    damageDevice();
    const DeviceState before = deviceState();

    DuringProgress hook("Restore...", 5, [&] { QProcess::execute("umount", {"-l", stick}); });
    ModalCloser closer;
    click("btn_reduction");
    QVERIFY(hook.fired);
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QCOMPARE(closer.boxes.first().text,
             QStringLiteral("The U disk was removed during the restore.\n"
                            "/opt and the databases appdb and Misc were left as they were."));
    compareState(before, deviceState());
    QVERIFY(!QFileInfo::exists(m_root->file(".opt.servicepanel-new")));
    QProcess::execute("umount", {stickFs});
}

// The databases are switched before /opt is swapped; should the swap fail, they get their
// data back and /opt stays as it was.
void tst_restore::swapFailsDatabasesComeBack()
{
    QVERIFY(!backup().isEmpty());
    damageDevice();
    const DeviceState before = deviceState();
    SystemCommandRunner shell{std::chrono::minutes(2)};
    HookedRunner runner(shell);
    m_panel->setCommandRunner(&runner);
    const QString staging = m_root->file(".opt.servicepanel-new");
    // Misc's switch, the last before the swap: the new tree goes where the swap will not find
    // it.
    runner.changeInput = [&](const QByteArray &, const QByteArray &input) {
        if (input.contains("CREATE DATABASE IF NOT EXISTS `servicepanel_old_Misc`"))
            QDir().rename(staging, m_root->file("elsewhere"));
        return input;
    };

    ModalCloser closer;
    click("btn_reduction");
    m_panel->setCommandRunner(nullptr);
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    const QStringList lines = closer.boxes.first().text.split('\n');
    QVERIFY2(lines.first().startsWith(m_root->file("opt") + " cannot be replaced: "),
             qPrintable(closer.boxes.first().text));
    QVERIFY(lines.contains("appdb has its previous data back"));
    QVERIFY(lines.contains("Misc is gone again, as before"));
    QCOMPARE(lines.last(),
             QStringLiteral("/opt and the databases appdb and Misc were left as they were."));
    compareState(before, deviceState());
    TreeRemover remover;
    UniqueFd root(::open(bytes(m_root->path()).constData(), O_RDONLY | O_DIRECTORY));
    QVERIFY(remover.remove(root.get(), "elsewhere"));
}

// /opt a link to a data partition: the data lands behind the link, the link stays as it is.
void tst_restore::optIsALink()
{
    QVERIFY(QDir().mkpath(m_root->file("data")));
    QVERIFY(QDir().rename(m_root->file("opt"), m_root->file("data/opt")));
    QVERIFY(QFile::link(m_root->file("data/opt"), m_root->file("opt")));
    const DeviceState before = deviceState();
    QVERIFY(!backup().isEmpty());
    damageDevice();

    ModalCloser closer;
    click("btn_reduction");
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().text.startsWith("Restore Ok\n"),
             qPrintable(closer.boxes.first().text));
    QCOMPARE(QFileInfo(m_root->file("opt")).symLinkTarget(), m_root->file("data/opt"));
    compareState(before, deviceState());
    QCOMPARE(QDir(m_root->file("data"))
                 .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"opt"});
}

void tst_restore::mountPoints_data()
{
    QTest::addColumn<QStringList>("mounts");
    QTest::newRow("opt/Brevin a mount point") << QStringList{"opt/Brevin"};
    QTest::newRow("opt a mount point") << QStringList{"opt"};
    QTest::newRow("opt and opt/other-vendor mount points")
        << QStringList{"opt", "opt/other-vendor"};
}

// Mount points under /opt stay mount points: their entries are swapped inside them, on their
// own file system, and the restore is Ok.
void tst_restore::mountPoints()
{
    QFETCH(QStringList, mounts);
    // Unmounted however the test ends: the temporary root cannot go while they are there.
    struct Mounts
    {
        QStringList points;
        ~Mounts()
        {
            for (auto point = points.crbegin(); point != points.crend(); ++point)
                QProcess::execute("umount", {*point});
        }
    } mounted;
    // The device's files move onto the mounts, as an installation would have put them.
    for (const QString &mount : mounts) {
        const QString point = m_root->file(mount);
        // Beside the folder, on the file system that holds it.
        const QString aside = point + ".aside";
        QVERIFY(QDir().rename(point, aside));
        QVERIFY(QDir().mkpath(point));
        QCOMPARE(QProcess::execute("mount", {"-t", "tmpfs", "-o", "size=64m", "partition", point}),
                 0);
        mounted.points << point;
        QCOMPARE(QProcess::execute("sh",
                                   {"-c", "cp -a \"$0\"/. \"$1\"/ && rm -rf \"$0\"", aside, point}),
                 0);
    }
    struct stat device;
    QCOMPARE(::stat(bytes(m_root->file(mounts.last())).constData(), &device), 0);
    const DeviceState before = deviceState();
    QVERIFY(!backup().isEmpty());
    damageDevice();
    m_root->writeFile("opt/other-vendor/readme.txt", "changed");
    m_root->writeFile("opt/other-vendor/extra.txt", "goes with the restore");

    ModalCloser closer;
    click("btn_reduction");
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral(" "));
    QVERIFY2(closer.boxes.first().text.startsWith("Restore Ok\n"),
             qPrintable(closer.boxes.first().text));
    QCOMPARE(closer.boxes.first().text.split('\n').size(), 2);
    struct stat after;
    QCOMPARE(::stat(bytes(m_root->file(mounts.last())).constData(), &after), 0);
    QCOMPARE(after.st_dev, device.st_dev);
    compareState(before, deviceState());
}

// Cancel: nothing is restored, nothing is saved, nothing is written anywhere.
void tst_restore::cancelTouchesNothing_data()
{
    QTest::addColumn<bool>("older");
    QTest::newRow("a set with its manifest") << false;
    // Its check writes a manifest on the device: gone again, with the folders made for it.
    QTest::newRow("an older panel's set") << true;
}

void tst_restore::cancelTouchesNothing()
{
    QFETCH(bool, older);
    QVERIFY(!backup().isEmpty());
    if (older) {
        QVERIFY(QFile::remove(m_root->file("mnt/usb/BackupData/manifest.mtree")));
        QVERIFY(QFile::remove(m_root->file("mnt/usb/BackupData/SHA256SUMS")));
    }
    damageDevice();
    const DeviceState before = deviceState();
    const auto root = withoutLock(TreeSnapshot(bytes(m_root->path())).entries());

    ModalCloser closer;
    closer.answer = ModalCloser::Answer::Cancel;
    click("btn_reduction");
    QCOMPARE(closer.questions.size(), 1);
    QCOMPARE(closer.questions.first().text.contains("cannot be verified"), older);
    QCOMPARE(closer.boxes.size(), 0);
    compareState(before, deviceState());
    QCOMPARE(withoutLock(TreeSnapshot(bytes(m_root->path())).entries()), root);
}

void tst_restore::tapsDuringRestoreAreDropped_data()
{
    QTest::addColumn<QString>("caption");
    QTest::newRow("while the set is checked") << "Checking...";
    QTest::newRow("while the tree is restored") << "Restore...";
}

// A tap on Clear Data while Restore runs never runs afterwards (it would clear what was just
// restored), and a tap while the set is checked does not answer the question.
void tst_restore::tapsDuringRestoreAreDropped()
{
    QFETCH(QString, caption);
    for (int i = 0; i < 20; ++i)
        m_root->writeFile(QStringLiteral("opt/Brevin/data/more-%1.txt").arg(i), "more");
    QVERIFY(!backup().isEmpty());
    damageDevice();
    auto *clear = m_panel->findChild<QPushButton *>("btn_clear");
    DuringProgress hook(caption, 3, [&] { postClick(clear); });
    ModalCloser closer;
    click("btn_reduction");
    QVERIFY(hook.fired);
    QTest::qWait(200);
    QCOMPARE(closer.questions.size(), 1);
    QCOMPARE(closer.questions.first().title, QStringLiteral("Restore"));
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY(closer.boxes.first().text.startsWith("Restore Ok\n"));
    QVERIFY(QFile::exists(m_root->file("opt/Brevin/data/journal.bin")));
    QByteArray databases;
    QVERIFY(sql("SHOW DATABASES;", QString(), &databases));
    QVERIFY(databases.split('\n').contains("Misc"));
}

// A set written by an older panel (no manifest) is restored after the check of what is
// there, through the same machinery: links on the stick stay links, nothing is followed.
void tst_restore::olderPanelsSet()
{
    const QString set = m_root->file("mnt/usb/BackupData");
    QVERIFY(QDir().mkpath(set));
    QCOMPARE(QProcess::execute("cp", {"-a", m_root->file("opt"), set + "/opt"}), 0);
    for (const QString &database : {QStringLiteral("appdb"), QStringLiteral("Misc")}) {
        QFile dump(set + "/" + database + ".sql");
        QVERIFY(dump.open(QIODevice::WriteOnly));
        QProcess mysqldump;
        mysqldump.start("mysqldump", {database});
        QVERIFY(mysqldump.waitForFinished(120000));
        dump.write(mysqldump.readAllStandardOutput());
    }
    // The older panel's dumps carried no routines or events.
    QVERIFY(sql("DROP PROCEDURE add_sale; DROP EVENT nightly;", "appdb"));
    TreeSnapshot::Options options;
    options.owners = false;
    const auto opt = TreeSnapshot(bytes(m_root->file("opt")), options).entries();
    const QByteArray appdb = definedAsRestored(fullDump("appdb"));
    const QByteArray misc = definedAsRestored(fullDump("Misc"));
    damageDevice(false);
    const QStringList olderSetFolders =
        QDir::temp().entryList({"servicepanel-older-set-*"}, QDir::AllEntries | QDir::Hidden);

    ModalCloser closer;
    closer.questionPicture = qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath()) +
                             "/restore-question-older-set.png";
    closer.pictureScreen = QSize(800, 480);
    click("btn_reduction");
    QCOMPARE(closer.questions.size(), 1);
    QVERIFY2(closer.questions.first().text.contains("cannot be verified"),
             qPrintable(closer.questions.first().text));
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().text.startsWith("Restore Ok\n"),
             qPrintable(closer.boxes.first().text));
    QCOMPARE(TreeSnapshot(bytes(m_root->file("opt")), options).entries(), opt);
    QVERIFY(QFileInfo(m_root->file("opt/Brevin/run")).isSymLink());
    QCOMPARE(definedAsRestored(fullDump("appdb")), appdb);
    QCOMPARE(definedAsRestored(fullDump("Misc")), misc);
    // The manifest its check wrote is gone.
    QCOMPARE(QDir::temp().entryList({"servicepanel-older-set-*"}, QDir::AllEntries | QDir::Hidden),
             olderSetFolders);
}

QTEST_MAIN(tst_restore)
#include "tst_restore.moc"
