#include "maintenance/set/manifestwriter.h"
#include "maintenance/fs/treeremover.h"
#include "maintenance/fs/uniquefd.h"
#include "app/language.h"
#include "panel/sendordertoprinter_test.h"

#include "modalcloser.h"
#include "mysqlclient.h"
#include "systemroot.h"
#include "testutil.h"
#include "treesnapshot.h"

#include <QDateTime>
#include <QtTest>

#include <memory>

#include <fcntl.h>
#include <unistd.h>

// One stick carried from device to device, through the panel's buttons: a temporary system
// root whose etc/machine-id and etc/hostname change between two backups stands for two
// devices; the stick is a tmpfs in a private mount namespace, the dumps come from the
// throwaway MariaDB server of the mariadb fixture.

namespace {

const char scaleA[] = "0123456789abcdef0123456789abcdef";
const char scaleB[] = "fedcba9876543210fedcba9876543210";

} // namespace

class tst_setdevice : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void manifestNamesTheDevice_data();
    void manifestNamesTheDevice();
    void anotherDevicesSet_data();
    void anotherDevicesSet();
    void replacedWithoutAQuestion_data();
    void replacedWithoutAQuestion();
    void restoreNamesTheSetsDevice_data();
    void restoreNamesTheSetsDevice();
    void questionsInChinese();

private:
    // Makes the system root the device `id` named `name`; "" leaves the file out.
    void becomeDevice(const QByteArray &id, const QByteArray &name);
    void click(const char *button);
    // Backs up, answering no question, and returns the box's "N files, SIZE".
    QString backup();
    QByteArray manifest() const;
    // Makes the set's manifest one written before sets named their device.
    void stripIdentity();
    // The set's date as the questions show it.
    QString setDate() const;
    QMap<QByteArray, QByteArray> stick() const;

    std::unique_ptr<TestSystemRoot> m_root;
    std::unique_ptr<sendordertoprinter_test> m_panel;
};

void tst_setdevice::becomeDevice(const QByteArray &id, const QByteArray &name)
{
    for (const char *file : {"etc/machine-id", "etc/hostname"})
        QFile::remove(m_root->file(file));
    if (!id.isEmpty())
        m_root->writeFile("etc/machine-id", id + '\n');
    if (!name.isEmpty())
        m_root->writeFile("etc/hostname", name + '\n');
}

void tst_setdevice::click(const char *button)
{
    clickMaintenance(m_panel.get(), button);
}

QString tst_setdevice::backup()
{
    ModalCloser closer;
    click("btn_back");
    if (!closer.questions.isEmpty())
        qWarning("backup asked: %s", qPrintable(closer.questions.first().text));
    if (closer.boxes.size() != 1 || !closer.boxes.first().text.startsWith("Backup Ok\n")) {
        qWarning("backup failed: %s",
                 closer.boxes.isEmpty() ? "no box" : qPrintable(closer.boxes.first().text));
        return QString();
    }
    return closer.questions.isEmpty() ? closer.boxes.first().text.split('\n').value(1) : QString();
}

QByteArray tst_setdevice::manifest() const
{
    QFile file(m_root->file("mnt/usb/BackupData/manifest.mtree"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void tst_setdevice::stripIdentity()
{
    QByteArray text = manifest();
    const int start = text.indexOf("# machine-id ");
    QVERIFY(start > 0);
    text.remove(start, text.indexOf("./opt ") - start);
    QFile file(m_root->file("mnt/usb/BackupData/manifest.mtree"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    QVERIFY(!manifest().contains("# hostname"));
}

QString tst_setdevice::setDate() const
{
    return m_root->setDate();
}

QMap<QByteArray, QByteArray> tst_setdevice::stick() const
{
    return TreeSnapshot(bytes(m_root->file("mnt/usb"))).entries();
}

void tst_setdevice::initTestCase()
{
    const QString missing = missingStickOrServer();
    if (!missing.isEmpty())
        QSKIP(qPrintable(missing));
    QVERIFY(sql("DROP DATABASE IF EXISTS appdb; DROP DATABASE IF EXISTS Misc;"
                "CREATE DATABASE appdb; CREATE DATABASE Misc;"));
    QVERIFY(sql("CREATE TABLE plu (id INT PRIMARY KEY, name VARCHAR(40));"
                "INSERT INTO plu VALUES (1, 'Äpfel'), (2, '苹果');",
                "appdb"));
    QVERIFY(sql("CREATE TABLE settings (k VARCHAR(20) PRIMARY KEY, v VARCHAR(40));"
                "INSERT INTO settings VALUES ('shop', 'Köln');",
                "Misc"));
}

void tst_setdevice::init()
{
    m_root = std::make_unique<TestSystemRoot>();
    QVERIFY(m_root->isValid());
    QVERIFY(m_root->plugNode());
    QVERIFY(m_root->mountStick());
    m_root->writeFile("opt/Brevin/data/plu.csv", "1;Äpfel;2.99\n2;苹果;3.49\n");
    m_root->writeFile("opt/Brevin/config/scale.ini", "[scale]\nname=front\n");
    m_panel = makeRootedPanel(*m_root);
}

void tst_setdevice::cleanup()
{
    m_panel.reset();
    m_root.reset();
}

void tst_setdevice::manifestNamesTheDevice_data()
{
    QTest::addColumn<QByteArray>("machineId");
    QTest::addColumn<QByteArray>("hostname");
    QTest::addColumn<QByteArray>("idLine");
    QTest::addColumn<QByteArray>("nameLine");
    QTest::newRow("a device with both files")
        << QByteArray(scaleA) << QByteArray("scale-a") << "# machine-id " + QByteArray(scaleA)
        << QByteArray("# hostname scale-a");
    QTest::newRow("a device without them")
        << QByteArray() << QByteArray() << QByteArray("# machine-id unknown")
        << QByteArray("# hostname unknown");
    // mtree's escapes keep the header one line a word, as the entries are.
    QTest::newRow("a name with a blank and a hash")
        << QByteArray(scaleA) << QByteArray("Waage 2#Kasse") << "# machine-id " + QByteArray(scaleA)
        << QByteArray("# hostname Waage\\0402\\043Kasse");
}

// The header of the manifest names the device backed up, before the first entry, and the
// manifest stays one that libarchive reads.
void tst_setdevice::manifestNamesTheDevice()
{
    QFETCH(QByteArray, machineId);
    QFETCH(QByteArray, hostname);
    QFETCH(QByteArray, idLine);
    QFETCH(QByteArray, nameLine);
    becomeDevice(machineId, hostname);
    QVERIFY(!backup().isEmpty());
    const QList<QByteArray> lines = manifest().split('\n');
    const int id = lines.indexOf(idLine);
    const int name = lines.indexOf(nameLine);
    QVERIFY2(id > 0 && name == id + 1, manifest().left(600).constData());
    QVERIFY(lines.value(name + 1).startsWith("./opt "));
    QProcess bsdtar;
    bsdtar.start("bsdtar", {"-tf", m_root->file("mnt/usb/BackupData/manifest.mtree")});
    QVERIFY2(bsdtar.waitForStarted(), "bsdtar is not installed");
    QVERIFY(bsdtar.waitForFinished(60000));
    QCOMPARE(bsdtar.exitCode(), 0);
    QVERIFY(bsdtar.readAllStandardOutput().contains("opt/Brevin/data/plu.csv"));
}

void tst_setdevice::anotherDevicesSet_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<bool>("swapCutShort"); // the set lies aside in BackupData.old
    QTest::newRow("Cancel") << false << false;
    QTest::newRow("Confirm") << true << false;
    QTest::newRow("Cancel, the set aside after a swap cut short") << false << true;
    QTest::newRow("Confirm, the set aside after a swap cut short") << true << true;
}

// Backup on another device asks first, naming the device, date and size of the set on the
// stick. Cancel leaves the stick exactly as it was, byte for byte; Confirm replaces the set.
void tst_setdevice::anotherDevicesSet()
{
    QFETCH(bool, confirm);
    QFETCH(bool, swapCutShort);
    becomeDevice(scaleA, "scale-a");
    const QString summary = backup();
    QVERIFY(!summary.isEmpty());
    const QString date = setDate();
    if (swapCutShort)
        QVERIFY(QDir().rename(m_root->file("mnt/usb/BackupData"),
                              m_root->file("mnt/usb/BackupData.old")));
    const auto setOfA = stick();

    becomeDevice(scaleB, "scale-b");
    m_root->writeFile("opt/Brevin/data/plu.csv", "only on scale-b\n");
    auto asked = std::make_unique<ModalCloser>();
    ModalCloser &closer = *asked;
    closer.answer = confirm ? ModalCloser::Answer::Confirm : ModalCloser::Answer::Cancel;
    closer.pictureScreen = QSize(800, 480);
    closer.questionPicture = qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath()) +
                             "/backup-question-other-device.png";
    click("btn_back");
    QCOMPARE(closer.questions.size(), 1);
    QCOMPARE(closer.questions.first().title, QStringLiteral("Backup"));
    QCOMPARE(closer.questions.first().text,
             QStringLiteral("The U disk holds the backup of scale-a from %1 (%2). Replace it with "
                            "a backup of this device?")
                 .arg(date, summary));
    QVERIFY(closer.questions.first().textFits);
    if (!confirm) {
        QCOMPARE(closer.boxes.size(), 0);
        QCOMPARE(stick(), setOfA);
        return;
    }
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().text.startsWith("Backup Ok\n"),
             qPrintable(closer.boxes.first().text));
    QVERIFY(manifest().contains("\n# machine-id " + QByteArray(scaleB) + "\n# hostname scale-b\n"));
    QFile plu(m_root->file("mnt/usb/BackupData/opt/Brevin/data/plu.csv"));
    QVERIFY(plu.open(QIODevice::ReadOnly));
    QCOMPARE(plu.readAll(), QByteArray("only on scale-b\n"));
    // And the next backup on this device asks nothing.
    asked.reset();
    QVERIFY(!backup().isEmpty());
}

void tst_setdevice::replacedWithoutAQuestion_data()
{
    QTest::addColumn<QString>("before"); // what the stick holds before the second backup
    QTest::addColumn<QByteArray>("secondId");
    QTest::addColumn<QByteArray>("secondName");
    QTest::newRow("the same device twice") << "set" << QByteArray(scaleA) << QByteArray("scale-a");
    QTest::newRow("the same device, renamed")
        << "set" << QByteArray(scaleA) << QByteArray("scale-a2");
    QTest::newRow("a set that names no device")
        << "no identity" << QByteArray(scaleB) << QByteArray("scale-b");
    QTest::newRow("a set of a device without machine-id")
        << "made without machine-id" << QByteArray(scaleB) << QByteArray("scale-b");
    QTest::newRow("an older panel's set") << "older" << QByteArray(scaleB) << QByteArray("scale-b");
    QTest::newRow("another device's backup that was cut short")
        << "cut short" << QByteArray(scaleB) << QByteArray("scale-b");
    QTest::newRow("an empty stick") << "empty" << QByteArray(scaleB) << QByteArray("scale-b");
}

// A set of this device, a set that names none, an older panel's set, one that is not whole
// and an empty stick are replaced as before: no question.
void tst_setdevice::replacedWithoutAQuestion()
{
    QFETCH(QString, before);
    QFETCH(QByteArray, secondId);
    QFETCH(QByteArray, secondName);
    const QString set = m_root->file("mnt/usb/BackupData/");
    becomeDevice(before == "made without machine-id" ? QByteArray() : QByteArray(scaleA),
                 "scale-a");
    if (before != "empty")
        QVERIFY(!backup().isEmpty());
    QFile file(set + "manifest.mtree");
    if (before == "no identity") {
        stripIdentity();
    } else if (before == "older") {
        QVERIFY(QFile::remove(set + "manifest.mtree"));
        QVERIFY(QFile::remove(set + "SHA256SUMS"));
    } else if (before == "cut short") {
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(file.readAll().lastIndexOf("# complete:")));
        file.close();
    }

    becomeDevice(secondId, secondName);
    m_root->writeFile("opt/Brevin/data/plu.csv", "second backup\n");
    ModalCloser closer;
    click("btn_back");
    QCOMPARE(closer.questions.size(), 0);
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().text.startsWith("Backup Ok\n"),
             qPrintable(closer.boxes.first().text));
    QVERIFY(
        manifest().contains("\n# machine-id " + secondId + "\n# hostname " + secondName + "\n"));
    QFile plu(set + "opt/Brevin/data/plu.csv");
    QVERIFY(plu.open(QIODevice::ReadOnly));
    QCOMPARE(plu.readAll(), QByteArray("second backup\n"));
}

void tst_setdevice::restoreNamesTheSetsDevice_data()
{
    QTest::addColumn<QByteArray>("restoreId");
    QTest::addColumn<QByteArray>("restoreName");
    QTest::addColumn<bool>("anotherDevice");
    QTest::addColumn<bool>("namesNoDevice"); // the set as written before sets named one
    QTest::addColumn<QByteArray>("setName"); // the name of the device that made the set
    QTest::newRow("on the device that made it")
        << QByteArray(scaleA) << QByteArray("scale-a") << false << false << QByteArray("scale-a");
    QTest::newRow("on another device")
        << QByteArray(scaleB) << QByteArray("scale-b") << true << false << QByteArray("scale-a");
    QTest::newRow("on another device, a long name")
        << QByteArray(scaleB) << QByteArray("scale-b") << true << false
        << QByteArray("waage-filiale-koeln-ehrenfeld-kasse-02");
    QTest::newRow("on a device without identity")
        << QByteArray() << QByteArray() << true << false << QByteArray("scale-a");
    QTest::newRow("a set that names no device")
        << QByteArray(scaleB) << QByteArray("scale-b") << false << true << QByteArray("scale-a");
}

// Restore's question names the device of the set and says so in a line of its own when that
// is another device; the set is restored all the same (a replacement device takes it).
void tst_setdevice::restoreNamesTheSetsDevice()
{
    QFETCH(QByteArray, restoreId);
    QFETCH(QByteArray, restoreName);
    QFETCH(bool, anotherDevice);
    QFETCH(bool, namesNoDevice);
    QFETCH(QByteArray, setName);
    becomeDevice(scaleA, setName);
    const QString summary = backup();
    QVERIFY(!summary.isEmpty());
    if (namesNoDevice)
        stripIdentity();
    becomeDevice(restoreId, restoreName);
    m_root->writeFile("opt/Brevin/data/plu.csv", "changed since the backup\n");

    ModalCloser closer;
    closer.pictureScreen = QSize(800, 480);
    if (QByteArray(QTest::currentDataTag()).contains("long name"))
        closer.questionPicture = qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath()) +
                                 "/restore-question-other-device.png";
    click("btn_reduction");
    QCOMPARE(closer.questions.size(), 1);
    QString expected = QStringLiteral("Replace /opt and the databases appdb and Misc with the "
                                      "backup of %1 from %2 (%3)? What they hold now will "
                                      "be lost.")
                           .arg(QString::fromUtf8(setName), setDate(), summary);
    // Another device is named in a line of its own.
    if (namesNoDevice || anotherDevice)
        expected = QStringLiteral("Replace /opt and the databases appdb and Misc with the backup "
                                  "of %1 (%2)? What they hold now will be lost.")
                       .arg(setDate(), summary);
    if (anotherDevice)
        expected += "\nThis backup was made on another device: " + setName + '.';
    QCOMPARE(closer.questions.first().text, expected);
    QVERIFY(closer.questions.first().textFits);
    QCOMPARE(closer.boxes.size(), 1);
    QVERIFY2(closer.boxes.first().text.startsWith("Restore Ok\n"),
             qPrintable(closer.boxes.first().text));
    QFile plu(m_root->file("opt/Brevin/data/plu.csv"));
    QVERIFY(plu.open(QIODevice::ReadOnly));
    QCOMPARE(plu.readAll(), QByteArray("1;Äpfel;2.99\n2;苹果;3.49\n"));
}

// Both questions in Chinese, with a long name of the other device: in the box at 800 x 480.
void tst_setdevice::questionsInChinese()
{
    const QByteArray name = "waage-filiale-koeln-ehrenfeld-kasse-02";
    becomeDevice(scaleA, name);
    QVERIFY(!backup().isEmpty());
    becomeDevice(scaleB, "scale-b");
    const auto setOfA = stick();
    QVERIFY(installLanguage("zh_CN"));
    struct English
    {
        ~English() { installLanguage("en"); }
    } english;
    const QString shots = qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath());
    for (const char *button : {"btn_back", "btn_reduction"}) {
        ModalCloser closer;
        closer.answer = ModalCloser::Answer::Cancel;
        closer.pictureScreen = QSize(800, 480);
        closer.questionPicture = shots + "/question-other-device-zh_CN-" + button + ".png";
        click(button);
        QCOMPARE(closer.questions.size(), 1);
        QVERIFY2(closer.questions.first().text.contains(QString::fromUtf8(name)),
                 qPrintable(closer.questions.first().text));
        QVERIFY2(closer.questions.first().text.contains(QStringLiteral("另一台设备")) ==
                     (QByteArray(button) == "btn_reduction"),
                 qPrintable(closer.questions.first().text));
        QVERIFY(closer.questions.first().textFits);
        QCOMPARE(closer.boxes.size(), 0);
    }
    QCOMPARE(stick(), setOfA);
}

QTEST_MAIN(tst_setdevice)
#include "tst_setdevice.moc"
