#include "printer/printeranswers.h"

#include <QtTest>

class tst_printeranswers : public QObject
{
    Q_OBJECT

private slots:
    void answerFault_data();
    void answerFault();
    void answersAlike_data();
    void answersAlike();
    void trafficHex_data();
    void trafficHex();
};

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

void tst_printeranswers::answerFault_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("fault");

    auto row = [](const char *name, const char *frame, const char *answer, const char *fault) {
        QTest::newRow(name) << hex(frame) << hex(answer) << QString::fromLatin1(fault);
    };
    // What the printer answers to each command.
    row("paper loaded, yes", "aae20000", "c20000", "");
    row("paper loaded, no", "aae20000", "c00000", "");
    row("labels left, yes", "aae10000", "c20000", "");
    row("labels left, no", "aae10000", "c00000", "");
    row("version", "aafd0000", "56312e3000000000", "");
    row("version of eight characters", "aafd0000", "56312e302e313233", "");
    row("paper sensor", "aafb0000", "fb0001", "");
    row("current settings", "aaf40100", "f40000003a98000200000200000000", "");
    row("back paper", "aaf60100", "f60100", "");
    row("paper type", "aaf20100", "f20100", "");
    row("heating level", "aafa0200", "fa0200", "");
    row("speed level", "aaf70300", "f70300", "");
    row("pull-back", "aaf8ff00", "f8ff00", "");
    row("extra feed", "aaf91400", "f91400", "");
    row("start position", "aaf3012c", "f3012c", "");
    row("start position refused", "aaf301f4", "f3ffff", "");
    row("sensor threshold", "aaf53a98", "f53a98", "");
    row("heat section", "aafe010200", "fe0102", "");
    row("paper replacement reset", "aafc0000", "fc0000", "");
    row("parameter reset", "aaf10000", "f10000", "");
    // A yes/no that echoes its code instead, or a yes in another byte.
    row("yes/no echoed", "aae20000", "e20000", "not an answer to e2");
    row("yes in capitals would be another byte", "aae10000", "c30000", "not an answer to e1");
    // An answer to another command.
    row("start position echo to the sensor", "aafb0000", "f3012c", "not an answer to fb");
    row("sensor answer to the start position", "aaf3012c", "fb0001", "not an answer to f3");
    row("yes to the sensor", "aafb0000", "c20000", "not an answer to fb");
    row("version to the settings", "aaf40100", "56312e3000000000", "not an answer to f4");
    row("settings to the version", "aafd0000", "f40000003a98000200000200000000",
        "not an answer to fd");
    row("heat echo to the threshold", "aaf53a98", "fe0102", "not an answer to f5");
    // Cut short or run on.
    row("one byte of three", "aaf3012c", "f3", "too short for an answer to f3");
    row("two bytes of three", "aae20000", "c200", "too short for an answer to e2");
    row("settings cut short", "aaf40100", "f4000000", "too short for an answer to f4");
    row("version cut short", "aafd0000", "56", "too short for an answer to fd");
    row("nothing at all", "aafb0000", "", "too short for an answer to fb");
    row("one byte too many", "aaf3012c", "f3012c00", "too long for an answer to f3");
    row("settings and more", "aaf40100", "f40000003a9800020000020000000000",
        "too long for an answer to f4");
    row("version and more", "aafd0000", "56312e300000000000", "too long for an answer to fd");
    // The version is text, zero-padded.
    row("version without text", "aafd0000", "0000000000000000", "not an answer to fd");
    row("version starting with a control byte", "aafd0000", "07312e3000000000",
        "not an answer to fd");
    row("version with a control byte inside", "aafd0000", "5631072e30000000",
        "not an answer to fd");
    row("version with bytes after the zero", "aafd0000", "56312e3000410000", "not an answer to fd");
    row("version with a high byte", "aafd0000", "56c3a93000000000", "not an answer to fd");
    // Frames the printer does not answer.
    row("unknown code", "aa000000", "000000", "no answer is known for aa 00 00 00");
    row("heat section frame of four bytes", "aafe0102", "fe0102",
        "no answer is known for aa fe 01 02");
    row("five bytes for a four-byte command", "aaf3012c00", "f3012c",
        "no answer is known for aa f3 01 2c 00");
    row("no lead byte", "bbf3012c", "f3012c", "no answer is known for bb f3 01 2c");
    row("lead byte alone", "aa", "c20000", "no answer is known for aa");
}

void tst_printeranswers::answerFault()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, answer);
    QFETCH(QString, fault);
    QCOMPARE(::answerFault(frame, answer), fault);
}

void tst_printeranswers::answersAlike_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("other");
    QTest::addColumn<bool>("alike");

    QTest::newRow("same command") << hex("aae20000") << hex("aae20000") << true;
    QTest::newRow("same code, other value") << hex("aaf3012c") << hex("aaf300c8") << true;
    QTest::newRow("the two yes/no queries") << hex("aae20000") << hex("aae10000") << true;
    QTest::newRow("two echoed codes") << hex("aaf3012c") << hex("aafb0000") << false;
    QTest::newRow("yes/no and echo") << hex("aae10000") << hex("aafb0000") << false;
    QTest::newRow("version twice") << hex("aafd0000") << hex("aafd0000") << true;
    QTest::newRow("nothing sent before") << QByteArray() << hex("aae20000") << false;
    QTest::newRow("unknown code") << hex("aa000000") << hex("aa000000") << false;
}

void tst_printeranswers::answersAlike()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, other);
    QFETCH(bool, alike);
    QCOMPARE(::answersAlike(frame, other), alike);
    QCOMPARE(::answersAlike(other, frame), alike);
}

void tst_printeranswers::trafficHex_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");

    QTest::newRow("echo") << hex("f3012c") << "f3 01 2c";
    QTest::newRow("sixteen bytes")
        << QByteArray(16, '\x7f') << "7f 7f 7f 7f 7f 7f 7f 7f 7f 7f 7f 7f 7f 7f 7f 7f";
    QTest::newRow("a long run")
        << QByteArray(5000, '\x01')
        << "01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 ... (5000 bytes)";
    QTest::newRow("nothing") << QByteArray() << "";
}

void tst_printeranswers::trafficHex()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(::trafficHex(bytes), text);
}

QTEST_GUILESS_MAIN(tst_printeranswers)
#include "tst_printeranswers.moc"
