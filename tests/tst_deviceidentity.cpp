#include "maintenance/system/deviceidentity.h"
#include "maintenance/set/manifestreader.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/fs/uniquefd.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Which device a set comes from: what a system root's etc/machine-id and etc/hostname give,
// what a manifest's header says, and when a set counts as another device's.

namespace {

const char idA[] = "0123456789abcdef0123456789abcdef";
const char idB[] = "fedcba9876543210fedcba9876543210";

} // namespace

class tst_deviceidentity : public QObject
{
    Q_OBJECT

private slots:
    void readFromTheSystemRoot_data();
    void readFromTheSystemRoot();
    void fifoNeverWaitedOn();
    void manifestHeader_data();
    void manifestHeader();
    void writtenAndReadBack();
    void otherDevice_data();
    void otherDevice();
};

void tst_deviceidentity::readFromTheSystemRoot_data()
{
    // "-" leaves the file out.
    QTest::addColumn<QByteArray>("machineId");
    QTest::addColumn<QByteArray>("hostname");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("both files") << QByteArray(idA) + '\n'
                                << QByteArray("scale-a\n") << QByteArray(idA)
                                << QByteArray("scale-a");
    QTest::newRow("neither") << QByteArray("-") << QByteArray("-") << QByteArray("unknown")
                             << QByteArray("unknown");
    QTest::newRow("no newline, blanks around")
        << "  " + QByteArray(idA) << QByteArray("\tscale-a  ") << QByteArray(idA)
        << QByteArray("scale-a");
    QTest::newRow("comments and empty lines first")
        << "\n# made by the image\n" + QByteArray(idA) + '\n'
        << QByteArray("# the scale at the front\n\nscale-a\n") << QByteArray(idA)
        << QByteArray("scale-a");
    QTest::newRow("empty files") << QByteArray() << QByteArray() << QByteArray("unknown")
                                 << QByteArray("unknown");
    QTest::newRow("machine-id not yet made (first boot)")
        << QByteArray("uninitialized\n") << QByteArray("scale-a\n") << QByteArray("unknown")
        << QByteArray("scale-a");
    QTest::newRow("machine-id of zeros")
        << QByteArray(32, '0') + '\n'
        << QByteArray("scale-a") << QByteArray("unknown") << QByteArray("scale-a");
    QTest::newRow("machine-id in capitals") << QByteArray(idA).toUpper() << QByteArray("scale-a")
                                            << QByteArray("unknown") << QByteArray("scale-a");
    QTest::newRow("machine-id one digit short") << QByteArray(idA).left(31) << QByteArray("scale-a")
                                                << QByteArray("unknown") << QByteArray("scale-a");
    QTest::newRow("UTF-8 host name") << QByteArray(idA) << QByteArray("Waage-Köln")
                                     << QByteArray(idA) << QByteArray("Waage-Köln");
    QTest::newRow("host name of 64 bytes")
        << QByteArray(idA) << QByteArray(64, 'h') << QByteArray(idA) << QByteArray(64, 'h');
    QTest::newRow("host name of 65 bytes")
        << QByteArray(idA) << QByteArray(65, 'h') << QByteArray(idA) << QByteArray("unknown");
    QTest::newRow("host name with a control byte") << QByteArray(idA) << QByteArray("scale\x1b[2J")
                                                   << QByteArray(idA) << QByteArray("unknown");
    QTest::newRow("a huge file") << QByteArray(idA) + '\n' + QByteArray(1 << 20, 'x')
                                 << QByteArray(1 << 20, 'x') << QByteArray(idA)
                                 << QByteArray("unknown");
}

void tst_deviceidentity::readFromTheSystemRoot()
{
    QFETCH(QByteArray, machineId);
    QFETCH(QByteArray, hostname);
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, name);
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("etc"));
    const QList<QPair<QString, QByteArray>> files{{"etc/machine-id", machineId},
                                                  {"etc/hostname", hostname}};
    for (const auto &file : files) {
        if (file.second == "-")
            continue;
        QFile out(root.filePath(file.first));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(file.second);
    }
    const DeviceIdentity device = DeviceIdentity::read(root.path());
    QCOMPARE(device.id(), id);
    QCOMPARE(device.name(), name);
    QCOMPARE(device.hasId(), id != "unknown");
    QCOMPARE(device.hasName(), name != "unknown");
}

// A FIFO or a folder in place of the files is no identity, and never blocks the panel.
void tst_deviceidentity::fifoNeverWaitedOn()
{
    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath("etc/hostname"));
    QCOMPARE(::mkfifo(QFile::encodeName(root.filePath("etc/machine-id")).constData(), 0644), 0);
    QElapsedTimer clock;
    clock.start();
    const DeviceIdentity device = DeviceIdentity::read(root.path());
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!device.hasId());
    QVERIFY(!device.hasName());
}

void tst_deviceidentity::manifestHeader_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("named") << "# machine-id " + QByteArray(idA) + "\n# hostname scale-a\n"
                           << QByteArray(idA) << QByteArray("scale-a");
    QTest::newRow("a set made before sets named their device")
        << QByteArray() << QByteArray("unknown") << QByteArray("unknown");
    QTest::newRow("written as unknown") << QByteArray("# machine-id unknown\n# hostname unknown\n")
                                        << QByteArray("unknown") << QByteArray("unknown");
    QTest::newRow("escaped blank and hash")
        << "# machine-id " + QByteArray(idA) + "\n# hostname Waage\\0402\\043Kasse\n"
        << QByteArray(idA) << QByteArray("Waage 2#Kasse");
    QTest::newRow("a newline smuggled in by an escape")
        << "# machine-id " + QByteArray(idA) + "\n# hostname scale\\012Restore Ok\n"
        << QByteArray(idA) << QByteArray("unknown");
    QTest::newRow("a bad escape") << "# machine-id " + QByteArray(idA) + "\n# hostname scale\\9\n"
                                  << QByteArray(idA) << QByteArray("unknown");
    QTest::newRow("an identity that is none")
        << QByteArray("# machine-id ../../etc/passwd\n# hostname scale-a\n")
        << QByteArray("unknown") << QByteArray("scale-a");
}

// What a manifest's header says about its device; only the header counts: lines among the
// entries are passed over, as are the entries' own names.
void tst_deviceidentity::manifestHeader()
{
    QFETCH(QByteArray, header);
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, name);
    const QByteArray text = "#mtree v2.0\n# created 2026-12-09T13:02:00Z\n# source /opt\n" +
                            header +
                            "./opt type=dir mode=0755 uid=0 gid=0 time=1.0\n"
                            "# machine-id " +
                            QByteArray(idB) +
                            "\n# hostname later\n"
                            "# complete: entries=1 files=0 bytes=0\n";
    ManifestReader reader;
    reader.openText(text);
    ManifestEntry entry;
    QCOMPARE(reader.next(&entry), ManifestReader::Result::Entry);
    QCOMPARE(reader.next(&entry), ManifestReader::Result::End);
    QVERIFY(reader.complete());
    QCOMPARE(reader.device().id(), id);
    QCOMPARE(reader.device().name(), name);
}

// The writer's header, read back by the reader, names the same device.
void tst_deviceidentity::writtenAndReadBack()
{
    QTemporaryDir dir;
    UniqueFd fd(::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY));
    ManifestWriter writer;
    QVERIFY(writer.create(fd.get(), "2026-12-09T13:02:00Z", "/opt",
                          DeviceIdentity(idA, "Waage 2 #\\ Köln")));
    QVERIFY(writer.finish(0, 0, 0));
    ManifestReader reader;
    QVERIFY(reader.open(fd.get(), ManifestWriter::fileName()));
    ManifestEntry entry;
    QCOMPARE(reader.next(&entry), ManifestReader::Result::End);
    QVERIFY(reader.complete());
    QCOMPARE(reader.device().id(), QByteArray(idA));
    QCOMPARE(reader.device().name(), QByteArray("Waage 2 #\\ Köln"));
}

void tst_deviceidentity::otherDevice_data()
{
    QTest::addColumn<QByteArray>("setId");
    QTest::addColumn<QByteArray>("deviceId");
    QTest::addColumn<bool>("other");
    QTest::newRow("the same device") << QByteArray(idA) << QByteArray(idA) << false;
    QTest::newRow("another device") << QByteArray(idA) << QByteArray(idB) << true;
    QTest::newRow("a set that names no device") << QByteArray() << QByteArray(idB) << false;
    QTest::newRow("neither knows") << QByteArray() << QByteArray() << false;
    // A device without an identity cannot tell that it made the set.
    QTest::newRow("a device without identity") << QByteArray(idA) << QByteArray() << true;
}

void tst_deviceidentity::otherDevice()
{
    QFETCH(QByteArray, setId);
    QFETCH(QByteArray, deviceId);
    QFETCH(bool, other);
    // The name does not count: devices get renamed, and replacements get the old name.
    const DeviceIdentity set(setId, "scale");
    const DeviceIdentity device(deviceId, "scale");
    QCOMPARE(set.isOtherThan(device), other);
}

QTEST_MAIN(tst_deviceidentity)
#include "tst_deviceidentity.moc"
