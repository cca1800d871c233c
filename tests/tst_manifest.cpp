#include "maintenance/set/manifestreader.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/set/namemapper.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/set/stickcapabilities.h"

#include <QtTest>

Q_DECLARE_METATYPE(ManifestEntry::Type)

namespace {

ManifestEntry sample(ManifestEntry::Type type, const QByteArray &path)
{
    ManifestEntry entry;
    entry.path = path;
    entry.type = type;
    entry.mode = 04755;
    entry.uid = 1234;
    entry.gid = 5678;
    entry.mtime = 1234567890;
    entry.mtimeNsec = 5; // five nanoseconds: mtree writes them as a plain count
    if (type == ManifestEntry::Type::File) {
        entry.size = 42;
        entry.sha256 = QByteArray(64, 'a');
    }
    if (type == ManifestEntry::Type::Link)
        entry.link = "../target with blanks\n#=\\";
    return entry;
}

// What a FAT stick takes, as the probe finds it through fusefat: ASCII without controls
// and ":*?"<>|\", names of up to 255 bytes.
StickCapabilities fatLike()
{
    StickCapabilities caps;
    caps.utf8 = false;
    caps.invalidUtf8 = false;
    for (int byte = 1; byte < 0x20; ++byte)
        caps.refuseByte(static_cast<unsigned char>(byte));
    for (char c : QByteArray(":*?\"<>|\\\x7f"))
        caps.refuseByte(static_cast<unsigned char>(c));
    return caps;
}

} // namespace

class tst_manifest : public QObject
{
    Q_OBJECT

private slots:
    void everyByteOfANameRoundTrips();
    void linesRoundTrip_data();
    void linesRoundTrip();
    void completeOnlyWithTheClosingLine();
    void refused_data();
    void refused();
    void safeNames_data();
    void safeNames();
    void overlongNamesFit();
};

void tst_manifest::everyByteOfANameRoundTrips()
{
    QByteArray name;
    for (int byte = 1; byte < 256; ++byte)
        name += char(byte);
    const QByteArray escaped = ManifestWriter::escape(name);
    for (char c : escaped)
        QVERIFY2(c > ' ' && c < 0x7f && c != '#' && c != '=', escaped.constData());
    QByteArray back;
    QVERIFY(ManifestReader::unescape(escaped, &back));
    QCOMPARE(back, name);
}

void tst_manifest::linesRoundTrip_data()
{
    QTest::addColumn<ManifestEntry::Type>("type");
    QTest::newRow("file") << ManifestEntry::Type::File;
    QTest::newRow("folder") << ManifestEntry::Type::Folder;
    QTest::newRow("link") << ManifestEntry::Type::Link;
    QTest::newRow("fifo") << ManifestEntry::Type::Fifo;
    QTest::newRow("socket") << ManifestEntry::Type::Socket;
    QTest::newRow("character device") << ManifestEntry::Type::CharDevice;
}

// An entry written is the entry read back, whatever its name holds.
void tst_manifest::linesRoundTrip()
{
    QFETCH(ManifestEntry::Type, type);
    ManifestEntry entry = sample(type, "opt/caf\xe9/line\nbreak/-rf #1=2");
    entry.stored = "opt/caf%E9/line%0Abreak/-rf #1=2";
    entry.group = 7;
    entry.nlink = 3;
    entry.deviceMajor = 4;
    entry.deviceMinor = 64;
    const bool notCopied =
        type == ManifestEntry::Type::Socket || type == ManifestEntry::Type::CharDevice;
    entry.optional = notCopied;
    QByteArray text = "#mtree v2.0\n";
    QByteArray line = ManifestWriter::line(entry);
    if (notCopied)
        line = QByteArray(ManifestWriter::notCopiedMarker()) + ' ' + line;
    text += line + ManifestWriter::completeMarker() + " entries=1\n";
    QCOMPARE(line.count('\n'), 1);

    ManifestReader reader;
    reader.openText(text);
    ManifestEntry back;
    QCOMPARE(reader.next(&back), ManifestReader::Result::Entry);
    QCOMPARE(back.path, entry.path);
    QCOMPARE(back.stored, entry.stored);
    QCOMPARE(back.type, entry.type);
    QCOMPARE(back.mode, entry.mode);
    QCOMPARE(back.uid, entry.uid);
    QCOMPARE(back.gid, entry.gid);
    QCOMPARE(back.mtime, entry.mtime);
    QCOMPARE(back.mtimeNsec, entry.mtimeNsec);
    QCOMPARE(back.size, entry.size);
    QCOMPARE(back.sha256, entry.sha256);
    QCOMPARE(back.link, entry.link);
    QCOMPARE(back.group, entry.group);
    QCOMPARE(back.optional, entry.optional);
    if (type == ManifestEntry::Type::CharDevice) {
        QCOMPARE(back.deviceMajor, 4u);
        QCOMPARE(back.deviceMinor, 64u);
    }
    QCOMPARE(reader.next(&back), ManifestReader::Result::End);
    QVERIFY(reader.complete());
}

void tst_manifest::completeOnlyWithTheClosingLine()
{
    const QByteArray entry = ManifestWriter::line(sample(ManifestEntry::Type::Folder, "opt"));
    ManifestReader reader;
    reader.openText("#mtree v2.0\n" + entry);
    ManifestEntry read;
    QCOMPARE(reader.next(&read), ManifestReader::Result::Entry);
    QCOMPARE(reader.next(&read), ManifestReader::Result::End);
    QVERIFY(!reader.complete());
}

void tst_manifest::refused_data()
{
    QTest::addColumn<QByteArray>("text");
    const QByteArray sha = QByteArray(64, 'b');
    const QByteArray end = QByteArray(ManifestWriter::completeMarker()) + " entries=1\n";
    QTest::newRow("no type") << QByteArray("./opt mode=0755\n") + end;
    QTest::newRow("file without checksum") << QByteArray("./opt/f type=file size=1\n") + end;
    QTest::newRow("mode out of range") << QByteArray("./opt type=dir mode=17777\n") + end;
    QTest::newRow("not below .") << QByteArray("opt/f type=dir\n") + end;
    QTest::newRow("absolute") << QByteArray("/etc/passwd type=dir\n") + end;
    QTest::newRow("unknown keyword") << QByteArray("./opt type=dir script=rm\n") + end;
    QTest::newRow("unknown type") << QByteArray("./opt type=door\n") + end;
    QTest::newRow("contents not below .")
        << "./opt/f type=file sha256=" + sha + " contents=/etc/shadow\n" + end;
    QTest::newRow("entry after the closing line") << end + "./opt type=dir\n";
    QTest::newRow("a file said not to be copied") << QByteArray(ManifestWriter::notCopiedMarker()) +
                                                         " ./opt/f type=file sha256=" + sha + "\n" +
                                                         end;
    QTest::newRow("cut in the middle of a line") << "./opt/f type=file sha256=" + sha.left(20);
    QTest::newRow("a line without end") << QByteArray(3 << 20, 'x');
}

void tst_manifest::refused()
{
    QFETCH(QByteArray, text);
    ManifestReader reader;
    reader.openText(text);
    ManifestEntry entry;
    ManifestReader::Result result;
    while ((result = reader.next(&entry)) == ManifestReader::Result::Entry) {
    }
    QCOMPARE(result, ManifestReader::Result::Error);
    QVERIFY(!reader.complete());
    QVERIFY(!reader.errorText().isEmpty());
}

void tst_manifest::safeNames_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("attempt");
    QTest::addColumn<QByteArray>("stored");
    QTest::newRow("a name FAT takes")
        << QByteArray("label-1.prn") << 0 << QByteArray("label-1.prn");
    QTest::newRow("FAT's forbidden bytes") << QByteArray("a:b*c?d\"e<f>g|h\\i") << 0
                                           << QByteArray("a%3Ab%2Ac%3Fd%22e%3Cf%3Eg%7Ch%5Ci");
    QTest::newRow("not UTF-8") << QByteArray("caf\xe9") << 0 << QByteArray("caf%E9");
    QTest::newRow("UTF-8 on FAT") << QByteArray("\xc3\x86"
                                                "ble")
                                  << 0 << QByteArray("%C3%86ble");
    QTest::newRow("a newline") << QByteArray("line\nbreak") << 0 << QByteArray("line%0Abreak");
    QTest::newRow("second of two names in one case")
        << QByteArray("data.txt") << 1 << QByteArray("data~1.txt");
    QTest::newRow("third, no extension") << QByteArray("Data") << 2 << QByteArray("Data~2");
}

void tst_manifest::safeNames()
{
    QFETCH(QByteArray, name);
    QFETCH(int, attempt);
    QFETCH(QByteArray, stored);
    const NameMapper mapper(fatLike());
    QCOMPARE(mapper.candidate(name, attempt), stored);
}

// A long name of refused bytes grows threefold when escaped: it is cut to fit, and two
// such names still differ.
void tst_manifest::overlongNamesFit()
{
    const NameMapper mapper(fatLike());
    const QByteArray first = QByteArray(200, ':') + "one";
    const QByteArray second = QByteArray(200, ':') + "two";
    const QByteArray a = mapper.candidate(first, 0);
    const QByteArray b = mapper.candidate(second, 0);
    QVERIFY(a.size() <= 255);
    QVERIFY(b.size() <= 255);
    QVERIFY(a != b);
    QVERIFY(mapper.candidate(first, 3).size() <= 255);
    QVERIFY(mapper.candidate(first, 3).contains("~3"));
    // On a stick that takes UTF-8 the cut never splits a character.
    StickCapabilities exfat = fatLike();
    exfat.utf8 = true;
    const QByteArray cut =
        NameMapper(exfat).candidate(QByteArray(120, '\xc3').replace("\xc3", "\xc3\xa9") + ":", 0);
    QVERIFY(cut.size() <= 255);
    QVERIFY(posixfs::isValidUtf8(cut));
}

QTEST_MAIN(tst_manifest)
#include "tst_manifest.moc"
