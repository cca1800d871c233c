#include "app/language.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/set/legacyset.h"
#include "maintenance/set/setverifier.h"
#include "maintenance/system/stickapart.h"
#include "panel/sendordertoprinter_test.h"

#include "modalcloser.h"
#include "mysqlclient.h"
#include "systemroot.h"
#include "treesnapshot.h"

#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// What the stick is and what it can hold, through the panel's Backup with the real mysqldump
// of the mariadb fixture: a "stick" that is the device's own /opt (a bind mount) is refused
// before anything is written; a sparse file counts by the blocks it uses; a new set that fits
// only once the old one is gone is offered to replace it, and the old one goes first, safely.

Q_DECLARE_METATYPE(StickApart::Verdict)

namespace {

bool run(const QString &program, const QStringList &arguments)
{
    return QProcess::execute(program, arguments) == 0;
}

} // namespace

class tst_stickroom : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void stickThatIsTheDevice_data();
    void stickThatIsTheDevice();
    void sparseFileFits();
    void replaceAsked_data();
    void replaceAsked();
    void replacedSetLostWhenTheBackupFails();
    void removalCutShort_data();
    void removalCutShort();

private:
    bool mount(const QStringList &arguments, const QString &target);
    // A stick of `megabytes` with a first set of the device on it, and more data on the device
    // since, so that the next set fits only once that one is gone.
    void stickOnlyForOneSet();
    QString backupBox(ModalCloser &closer);

    std::unique_ptr<TestSystemRoot> m_root;
    std::unique_ptr<sendordertoprinter_test> m_panel;
    QStringList m_mounts;
};

void tst_stickroom::initTestCase()
{
    const QString problem = TestSystemRoot::namespaceProblem();
    if (!problem.isEmpty())
        QSKIP(qPrintable("no private mount namespace for the stick (" + problem + ")"));
    if (!throwawayServerProblem().isEmpty())
        QSKIP(qPrintable(throwawayServerProblem()));
    QVERIFY2(QFile::exists(QDir::homePath() + "/.my.cnf"), "HOME has no .my.cnf");
    QVERIFY(sql("CREATE OR REPLACE DATABASE appdb; CREATE OR REPLACE DATABASE Misc;"
                "CREATE TABLE appdb.plu (id INT PRIMARY KEY, name VARCHAR(40));"
                "INSERT INTO appdb.plu VALUES (1, 'Äpfel');"
                "CREATE TABLE Misc.settings (k VARCHAR(20) PRIMARY KEY);"));
}

void tst_stickroom::init()
{
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid());
    QVERIFY(m_root->plugNode());
    m_root->writeFile("opt/Brevin/data/plu.csv", "1;Äpfel;2.99\n");
    m_root->writeFile("opt/Brevin/data/labels/label-1.prn", "label");
    m_panel = makeRootedPanel(*m_root);
}

void tst_stickroom::cleanup()
{
    m_panel.reset();
    for (auto mount = m_mounts.crbegin(); mount != m_mounts.crend(); ++mount)
        run("umount", {*mount});
    m_mounts.clear();
    if (!sql("CREATE DATABASE IF NOT EXISTS Misc;"))
        qWarning("Misc could not be made again");
    m_root.reset();
}

bool tst_stickroom::mount(const QStringList &arguments, const QString &target)
{
    QDir().mkpath(target);
    if (!run("mount", arguments + QStringList{target}))
        return false;
    m_mounts << target;
    return true;
}

QString tst_stickroom::backupBox(ModalCloser &closer)
{
    clickMaintenance(m_panel.get(), "btn_back");
    if (closer.boxes.size() != 1)
        return QStringLiteral("%1 boxes").arg(closer.boxes.size());
    return closer.boxes.first().text;
}

void tst_stickroom::stickThatIsTheDevice_data()
{
    QTest::addColumn<QString>("bound"); // what is bound onto the stick folder; "" a tmpfs
    QTest::addColumn<QString>("below"); // a tmpfs mounted there below /opt first
    QTest::addColumn<StickApart::Verdict>("verdict");
    QTest::addColumn<QString>("text");
    const QString refused = "/mnt/usb is not a U disk: it is the file system of %1 on the "
                            "device.\nNothing was written.";
    QTest::newRow("a stick of its own")
        << QString() << QString() << StickApart::Verdict::Apart << QString();
    QTest::newRow("/opt bound") << "opt" << QString() << StickApart::Verdict::SameFileSystem
                                << refused.arg("/opt");
    // /opt a partition of its own: the stick folder's parent is then another file system.
    QTest::newRow("/opt a partition, bound")
        << "opt"
        << "opt" << StickApart::Verdict::SameFileSystem << refused.arg("/opt");
    QTest::newRow("a folder of /opt a partition, bound")
        << "opt/Brevin/data"
        << "opt" << StickApart::Verdict::SameFileSystem << refused.arg("/opt");
    QTest::newRow("a folder of /opt bound")
        << "opt/Brevin/data" << QString() << StickApart::Verdict::SameFileSystem
        << refused.arg("/opt");
    QTest::newRow("another folder on /opt's file system bound")
        << "var" << QString() << StickApart::Verdict::SameFileSystem << refused.arg("/opt");
    QTest::newRow("a mount below /opt bound")
        << "opt/Brevin/data"
        << "opt/Brevin/data" << StickApart::Verdict::MountBelowOpt
        << refused.arg("/opt/Brevin/data");
    QTest::newRow("a folder of a mount below /opt bound")
        << "opt/Brevin/data/labels"
        << "opt/Brevin/data" << StickApart::Verdict::MountBelowOpt
        << refused.arg("/opt/Brevin/data");
}

// A bind mount is a mount at the stick folder all right; a Backup onto it would copy /opt
// into itself, a Restore restore the device from itself. Both are refused before anything
// is written, anywhere.
void tst_stickroom::stickThatIsTheDevice()
{
    QFETCH(QString, bound);
    QFETCH(QString, below);
    QFETCH(StickApart::Verdict, verdict);
    QFETCH(QString, text);
    m_root->writeFile("var/log/app.log", "log");
    if (!below.isEmpty()) {
        QVERIFY(mount({"-t", "tmpfs", "-o", "size=16m", "below"}, m_root->file(below)));
        m_root->writeFile("opt/Brevin/data/plu.csv", "1;Äpfel;2.99\n");
        m_root->writeFile("opt/Brevin/data/labels/label-1.prn", "label");
    }
    if (bound.isEmpty())
        QVERIFY(mount({"-t", "tmpfs", "-o", "size=64m", "stick"}, m_root->file("mnt/usb")));
    else
        QVERIFY(mount({"--bind", m_root->file(bound)}, m_root->file("mnt/usb")));
    QCOMPARE(checkStickApart(m_root->path()).verdict, verdict);
    if (verdict == StickApart::Verdict::MountBelowOpt)
        QCOMPARE(checkStickApart(m_root->path()).mountPoint, QByteArray("Brevin/data"));

    // The lock is all the action may write.
    const auto device = [this] {
        return withoutLock(TreeSnapshot(bytes(m_root->path())).entries());
    };
    const auto before = device();
    ModalCloser closer;
    const QString box = backupBox(closer);
    if (verdict == StickApart::Verdict::Apart) {
        QVERIFY2(box.startsWith("Backup Ok\n"), qPrintable(box));
        return;
    }
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QCOMPARE(box, text);
    QCOMPARE(device(), before);

    // Nor is the device restored from itself: no question, the same reason.
    closer.boxes.clear();
    clickMaintenance(m_panel.get(), "btn_reduction");
    QCOMPARE(closer.questions.size(), 0);
    QCOMPARE(closer.boxes.size(), 1);
    QCOMPARE(closer.boxes.first().text, text + "\nNothing on the device was changed.");
    QCOMPARE(device(), before);
}

// The room check counts the blocks a file uses: 1 GB with no block in use fits a 256 MB
// stick, and stays a hole there.
void tst_stickroom::sparseFileFits()
{
    QVERIFY(mount({"-t", "tmpfs", "-o", "size=256m", "stick"}, m_root->file("mnt/usb")));
    const QString image = m_root->file("opt/Brevin/data/disk.img");
    {
        QFile file(image);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(qint64(1) << 30));
        QVERIFY(file.seek((qint64(1) << 30) - 5));
        QCOMPARE(file.write("tail!"), qint64(5));
    }
    struct stat status;
    QCOMPARE(::stat(bytes(image).constData(), &status), 0);
    if (qint64(status.st_blocks) * 512 > (qint64(16) << 20))
        QSKIP("the temporary folder's file system keeps no holes");

    ModalCloser closer;
    const QString box = backupBox(closer);
    QVERIFY2(box.startsWith("Backup Ok\n"), qPrintable(box));
    const QByteArray copy = bytes(m_root->file("mnt/usb/BackupData/opt/Brevin/data/disk.img"));
    QCOMPARE(::stat(copy.constData(), &status), 0);
    QCOMPARE(qint64(status.st_size), qint64(1) << 30);
    QVERIFY(qint64(status.st_blocks) * 512 < (qint64(16) << 20));
}

void tst_stickroom::stickOnlyForOneSet()
{
    QVERIFY(mount({"-t", "tmpfs", "-o", "size=80m", "stick"}, m_root->file("mnt/usb")));
    m_root->writeFile("opt/Brevin/images/first.bin", QByteArray(40 << 20, 'f'));
    ModalCloser closer;
    const QString box = backupBox(closer);
    QVERIFY2(box.startsWith("Backup Ok\n"), qPrintable(box));
    QVERIFY(QFile::remove(m_root->file("opt/Brevin/images/first.bin")));
    m_root->writeFile("opt/Brevin/images/second.bin", QByteArray(40 << 20, 's'));
}

void tst_stickroom::replaceAsked_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<QString>("language");
    QTest::newRow("Cancel") << false << "en";
    QTest::newRow("Confirm") << true << "en";
    QTest::newRow("Cancel, in Chinese") << false << "zh_CN";
}

// The new set does not fit beside the old one, but alone: the technician is asked. Cancel
// leaves the stick exactly as it was; Confirm deletes the old set, then writes the new one.
void tst_stickroom::replaceAsked()
{
    QFETCH(bool, confirm);
    QFETCH(QString, language);
    stickOnlyForOneSet();
    const QString date = m_root->setDate();
    const TreeSnapshot before(bytes(m_root->file("mnt/usb")));
    QVERIFY(installLanguage(language));
    struct English
    {
        ~English() { installLanguage(QStringLiteral("en")); }
    } english;

    ModalCloser closer;
    closer.answer = confirm ? ModalCloser::Answer::Confirm : ModalCloser::Answer::Cancel;
    closer.pictureScreen = QSize(800, 480);
    closer.questionPicture = qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath()) +
                             "/backup-question-replace" +
                             (language == "en" ? QString() : "-" + language) + ".png";
    clickMaintenance(m_panel.get(), "btn_back");
    QCOMPARE(closer.questions.size(), 1);
    QVERIFY(closer.questions.first().textFits);
    if (language == "en")
        QCOMPARE(closer.questions.first().text,
                 QStringLiteral("Replace the backup of %1 on the U disk? It is deleted before the "
                                "new one is written.")
                     .arg(date));
    else
        QVERIFY2(closer.questions.first().text.contains(date),
                 qPrintable(closer.questions.first().text));
    if (!confirm) {
        QCOMPARE(closer.boxes.size(), 0);
        const QStringList differences =
            TreeSnapshot::differences(before, TreeSnapshot(bytes(m_root->file("mnt/usb"))));
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join('\n')));
        return;
    }
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().text.startsWith("Backup Ok\n"),
             qPrintable(closer.boxes.first().text));
    const QString set = m_root->file("mnt/usb/BackupData/opt/Brevin/images/");
    QVERIFY(QFile::exists(set + "second.bin"));
    QVERIFY(!QFile::exists(set + "first.bin"));
    QCOMPARE(QDir(m_root->file("mnt/usb"))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"BackupData"});
    SetVerifier verifier(m_root->file("mnt/usb"), {"appdb.sql", "Misc.sql"});
    QCOMPARE(verifier.verify(), SetVerifier::Verdict::Good);
}

// Replaced, and then the new set fails (a database is gone): the box does not claim that the
// old one was kept.
void tst_stickroom::replacedSetLostWhenTheBackupFails()
{
    stickOnlyForOneSet();
    QVERIFY(sql("DROP DATABASE Misc;"));
    ModalCloser closer;
    const QString box = backupBox(closer);
    QCOMPARE(closer.questions.size(), 1);
    QCOMPARE(closer.boxes.first().title, QStringLiteral("Fail"));
    QVERIFY2(box.endsWith("\nThe previous backup was deleted to make room: the U disk holds no "
                          "backup now."),
             qPrintable(box));
    QCOMPARE(QDir(m_root->file("mnt/usb"))
                 .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
}

void tst_stickroom::removalCutShort_data()
{
    QTest::addColumn<QString>("cut"); // how far the removal of the old set got
    QTest::newRow("right after its mark") << "marked";
    QTest::newRow("its dumps gone") << "dumps";
    QTest::newRow("its manifest gone too, part of the tree") << "tree";
}

// The removal of the old set is cut short (the stick pulled, the power gone): what is left is
// never taken for a set, and the next Backup finishes the removal and writes its set.
void tst_stickroom::removalCutShort()
{
    QFETCH(QString, cut);
    QVERIFY(mount({"-t", "tmpfs", "-o", "size=64m", "stick"}, m_root->file("mnt/usb")));
    {
        ModalCloser closer;
        QVERIFY(backupBox(closer).startsWith("Backup Ok\n"));
    }
    const QString set = m_root->file("mnt/usb/BackupData/");
    QFile(set + ".removing").open(QIODevice::WriteOnly);
    if (cut != "marked") {
        QVERIFY(QFile::remove(set + "appdb.sql"));
        QVERIFY(QFile::remove(set + "Misc.sql"));
    }
    if (cut == "tree") {
        QVERIFY(QFile::remove(set + "manifest.mtree"));
        QVERIFY(QFile::remove(set + "SHA256SUMS"));
        QVERIFY(QDir(set + "opt/Brevin/data/labels").removeRecursively());
    }
    // Restore finds no set in what is left, neither one with a manifest nor an older panel's
    // (a whole one, just marked, it may restore).
    const QList<QByteArray> dumps{"appdb.sql", "Misc.sql"};
    SetVerifier verifier(m_root->file("mnt/usb"), dumps);
    const SetVerifier::Verdict verdict = verifier.verify();
    QTemporaryDir work;
    UniqueFd workFd(::open(bytes(work.path()).constData(), O_RDONLY | O_DIRECTORY));
    LegacySet legacy(m_root->file("mnt/usb"), dumps);
    if (cut == "marked") {
        QCOMPARE(verdict, SetVerifier::Verdict::Good);
    } else {
        QVERIFY(verdict != SetVerifier::Verdict::Good);
        QCOMPARE(legacy.check(workFd.get()), LegacySet::Verdict::NoSet);
    }

    m_root->writeFile("opt/Brevin/data/plu.csv", "after the cut\n");
    ModalCloser closer;
    const QString box = backupBox(closer);
    QCOMPARE(closer.questions.size(), 0);
    QVERIFY2(box.startsWith("Backup Ok\n"), qPrintable(box));
    QVERIFY(!QFile::exists(set + ".removing"));
    QVERIFY(QFile::exists(set + "opt/Brevin/data/labels/label-1.prn"));
    QFile plu(set + "opt/Brevin/data/plu.csv");
    QVERIFY(plu.open(QIODevice::ReadOnly));
    QCOMPARE(plu.readAll(), QByteArray("after the cut\n"));
}

QTEST_MAIN(tst_stickroom)
#include "tst_stickroom.moc"
