#include <QFile>
#include <QImage>
#include <QMap>
#include <QtEndian>
#include <QtTest>

// No Q_INIT_RESOURCE anywhere: the collection must register itself before main.
static QString printPath(const QByteArray &name)
{
    return QStringLiteral(":/new/prefix1/res/print/") + QString::fromLatin1(name);
}

static QByteArray readPrintFile(const QByteArray &name)
{
    QFile file(printPath(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The number of fields a template record of this type has, counting the content
// segments of barcode and QR records; -1 for an unknown type or segment.
static int expectedFieldCount(const QList<QByteArray> &fields)
{
    static const QMap<QByteArray, int> fixed = {{"", 1},  {"P", 3},   {"G", 6},
                                                {"L", 7}, {"TB", 12}, {"ROTATE", 2}};
    const QByteArray type = fields.value(0);
    if (fixed.contains(type))
        return fixed.value(type);
    int i;
    if (type == "B")
        i = 9;
    else if (type == "QR")
        i = 7;
    else
        return -1;
    while (i < fields.size()) {
        if (fields.at(i) == "TEXT")
            i += 2;
        else if (fields.at(i) == "DATA")
            i += 5;
        else
            return -1;
    }
    return i;
}

static const QByteArray utf8Bom("\xEF\xBB\xBF");

class tst_Resources : public QObject
{
    Q_OBJECT

private slots:
    void sizes_data();
    void sizes();
    void checkSelfPage();
    void templateFormat_data();
    void templateFormat();
    void bitmapHeader_data();
    void bitmapHeader();
    void bitmapPalette();
    void bitmapPixels_data();
    void bitmapPixels();
};

void tst_Resources::sizes_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("size");

    QTest::newRow("format_checkself") << QByteArray("format_checkself.fmt") << 77;
    QTest::newRow("Tester1") << QByteArray("Tester1.fmt") << 320;
    QTest::newRow("Tester2") << QByteArray("Tester2.fmt") << 2589;
    QTest::newRow("Tester3") << QByteArray("Tester3.fmt") << 865;
    QTest::newRow("TEST-60x60") << QByteArray("TEST-60x60.fmt") << 358;
    QTest::newRow("TEST-60x60-2") << QByteArray("TEST-60x60-2.fmt") << 590;
    QTest::newRow("TEST-60x60-3") << QByteArray("TEST-60x60-3.fmt") << 826;
    QTest::newRow("TEST-60X330") << QByteArray("TEST-60X330.fmt") << 3745;
    QTest::newRow("PRINT_SAMPLE") << QByteArray("PRINT_SAMPLE.bmp") << 17102;
}

void tst_Resources::sizes()
{
    QFETCH(QByteArray, name);
    QFETCH(int, size);

    QFile file(printPath(name));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    QCOMPARE(file.size(), qint64(size));
    QCOMPARE(file.readAll().size(), size);
}

void tst_Resources::checkSelfPage()
{
    const QByteArray data = readPrintFile("format_checkself.fmt");
    QCOMPARE(data, utf8Bom + "P,480,420\r\n"
                             "G,0,10,430,420,:/new/prefix1/res/print/PRINT_SAMPLE.bmp\r\n"
                             "\r\n"
                             "\r\n"
                             "\r\n");
}

void tst_Resources::templateFormat_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<int>("records");
    QTest::addColumn<QByteArray>("types");
    QTest::addColumn<QByteArray>("last");

    QTest::newRow("format_checkself")
        << QByteArray("format_checkself.fmt") << 5 << QByteArray("G:1 P:1") << QByteArray();
    QTest::newRow("Tester1") << QByteArray("Tester1.fmt") << 8
                             << QByteArray("B:2 L:3 P:1 ROTATE:1 TB:1") << QByteArray("ROTATE,0");
    QTest::newRow("Tester2") << QByteArray("Tester2.fmt") << 61 << QByteArray("P:1 ROTATE:1 TB:59")
                             << QByteArray("ROTATE,0");
    QTest::newRow("Tester3") << QByteArray("Tester3.fmt") << 43 << QByteArray("L:41 P:1 ROTATE:1")
                             << QByteArray("ROTATE,0");
    QTest::newRow("TEST-60x60") << QByteArray("TEST-60x60.fmt") << 9
                                << QByteArray("P:1 ROTATE:1 TB:7") << QByteArray("ROTATE,0");
    QTest::newRow("TEST-60x60-2") << QByteArray("TEST-60x60-2.fmt") << 9
                                  << QByteArray("B:2 P:1 QR:1 ROTATE:1 TB:4")
                                  << QByteArray("ROTATE,0");
    QTest::newRow("TEST-60x60-3") << QByteArray("TEST-60x60-3.fmt") << 8
                                  << QByteArray("B:4 P:1 ROTATE:1 TB:2") << QByteArray("ROTATE,0");
    QTest::newRow("TEST-60X330") << QByteArray("TEST-60X330.fmt") << 25
                                 << QByteArray("B:18 P:1 ROTATE:1 TB:5") << QByteArray("ROTATE,0");
}

void tst_Resources::templateFormat()
{
    QFETCH(QByteArray, name);
    QFETCH(int, records);
    QFETCH(QByteArray, types);
    QFETCH(QByteArray, last);

    const QByteArray data = readPrintFile(name);
    QVERIFY(data.startsWith(utf8Bom));
    const QByteArray text = data.mid(utf8Bom.size());
    QVERIFY(text.endsWith("\r\n"));
    // Every CR is followed by an LF and every LF follows a CR.
    QCOMPARE(text.count("\r\n"), text.count('\n'));
    QCOMPARE(text.count('\r'), text.count('\n'));

    QList<QByteArray> lines = text.split('\n');
    lines.removeLast();
    for (QByteArray &line : lines)
        line.chop(1);
    QCOMPARE(lines.size(), records);
    QVERIFY(lines.first().startsWith("P,"));
    QCOMPARE(lines.last(), last);

    QMap<QByteArray, int> typeCounts;
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(',');
        QVERIFY2(fields.size() == expectedFieldCount(fields), line.constData());
        if (!line.isEmpty())
            ++typeCounts[fields.first()];
    }
    QList<QByteArray> counted;
    for (auto it = typeCounts.cbegin(); it != typeCounts.cend(); ++it)
        counted << it.key() + ':' + QByteArray::number(it.value());
    QCOMPARE(counted.join(' '), types);
}

void tst_Resources::bitmapHeader_data()
{
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("width");
    QTest::addColumn<qint64>("value");

    QTest::newRow("file size") << 2 << 4 << qint64(17102);
    QTest::newRow("pixel offset") << 10 << 4 << qint64(62);
    QTest::newRow("info header size") << 14 << 4 << qint64(40);
    QTest::newRow("width") << 18 << 4 << qint64(355);
    QTest::newRow("height, bottom-up") << 22 << 4 << qint64(355);
    QTest::newRow("planes") << 26 << 2 << qint64(1);
    QTest::newRow("bits per pixel") << 28 << 2 << qint64(1);
    QTest::newRow("no compression") << 30 << 4 << qint64(0);
    QTest::newRow("x pixels per metre") << 38 << 4 << qint64(11811);
    QTest::newRow("y pixels per metre") << 42 << 4 << qint64(11811);
}

void tst_Resources::bitmapHeader()
{
    QFETCH(int, offset);
    QFETCH(int, width);
    QFETCH(qint64, value);

    const QByteArray data = readPrintFile("PRINT_SAMPLE.bmp");
    QCOMPARE(data.size(), 17102);
    QCOMPARE(data.left(2), QByteArray("BM"));
    const char *field = data.constData() + offset;
    const qint64 actual = width == 2 ? qint64(qFromLittleEndian<quint16>(field))
                                     : qint64(qFromLittleEndian<qint32>(field));
    QCOMPARE(actual, value);
}

void tst_Resources::bitmapPalette()
{
    const QByteArray data = readPrintFile("PRINT_SAMPLE.bmp");
    QCOMPARE(data.mid(54, 3), QByteArray(3, '\x00'));
    QCOMPARE(data.mid(58, 3), QByteArray(3, '\xFF'));
}

void tst_Resources::bitmapPixels_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<bool>("white");

    QTest::newRow("top left") << 0 << 0 << true;
    QTest::newRow("end of first column") << 35 << 0 << true;
    QTest::newRow("start of second column") << 36 << 0 << false;
    QTest::newRow("end of second column") << 70 << 0 << false;
    QTest::newRow("start of third column") << 71 << 0 << true;
    QTest::newRow("end of first row") << 0 << 35 << true;
    QTest::newRow("start of second row") << 0 << 36 << false;
    QTest::newRow("end of second row") << 0 << 70 << false;
    QTest::newRow("start of third row") << 0 << 71 << true;
    QTest::newRow("second cell of the diagonal") << 36 << 36 << true;
    QTest::newRow("top right") << 354 << 0 << false;
    QTest::newRow("bottom right") << 354 << 354 << true;
}

void tst_Resources::bitmapPixels()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(bool, white);

    const QByteArray data = readPrintFile("PRINT_SAMPLE.bmp");
    QCOMPARE(data.size(), 17102);
    const int rowStart = 62 + (354 - y) * 48;
    const int bit = (uchar(data.at(rowStart + x / 8)) >> (7 - x % 8)) & 1;
    QCOMPARE(bit == 1, white);

    const QImage image(printPath("PRINT_SAMPLE.bmp"));
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), QSize(355, 355));
    QCOMPARE(image.pixel(x, y), white ? qRgb(255, 255, 255) : qRgb(0, 0, 0));
}

QTEST_MAIN(tst_Resources)
#include "tst_resources.moc"
