#include "panel/printertext.h"
#include "printer/printeranswers.h"
#include "printer/printercommands.h"

#include <QtTest>

// The printer page's words for what the printer library reports, word for word.
class tst_printertext : public QObject
{
    Q_OBJECT

private slots:
    void answerFault_data();
    void answerFault();
    void ignored();
    void trafficHex_data();
    void trafficHex();
    void parameterName_data();
    void parameterName();
    void parameterDescription();
};

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

void tst_printertext::answerFault_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<QString>("text");

    auto row = [](const char *name, const char *frame, const char *answer, const char *text) {
        QTest::newRow(name) << hex(frame) << hex(answer) << QString::fromLatin1(text);
    };
    row("the answer", "aaf3012c", "f3012c", "");
    row("another code", "aafb0000", "f3012c", "not an answer to fb");
    row("no version text", "aafd0000", "0000000000000000", "not an answer to fd");
    row("cut short", "aaf40100", "f4000000", "too short for an answer to f4");
    row("nothing at all", "aae20000", "", "too short for an answer to e2");
    row("run on", "aaf3012c", "f3012c00", "too long for an answer to f3");
    row("a late echo", "aaf3012c", "f300c8", "echoes other values than aa f3 01 2c sent");
    row("the heat of another section", "aafe010200", "fe0202",
        "echoes other values than aa fe 01 02 00 sent");
    row("unknown code", "aa000000", "000000", "no answer is known for aa 00 00 00");
    row("lead byte alone", "aa", "c20000", "no answer is known for aa");
    row("a code below 0x10", "aa050000", "050000", "no answer is known for aa 05 00 00");
}

void tst_printertext::answerFault()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, answer);
    QFETCH(QString, text);
    QCOMPARE(PrinterText::answerFault(::answerFault(frame, answer)), text);
}

void tst_printertext::ignored()
{
    AnswerFault before;
    before.kind = AnswerFault::Kind::CameBefore;
    QCOMPARE(PrinterText::ignored({hex("56312e3000000000"), before}),
             QStringLiteral("ignored 56 31 2e 30 00 00 00 00: came before this command"));
    QCOMPARE(PrinterText::ignored({hex("f3"), ::answerFault(hex("aaf3012c"), hex("f3"))}),
             QStringLiteral("ignored f3: too short for an answer to f3"));
    QCOMPARE(PrinterText::ignored({QByteArray(20, '\x01'), before}),
             QStringLiteral("ignored 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 ... "
                            "(20 bytes): came before this command"));
}

void tst_printertext::trafficHex_data()
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

void tst_printertext::trafficHex()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(PrinterText::trafficHex(bytes), text);
}

void tst_printertext::parameterName_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("name");

    QTest::newRow("f3") << "f3"
                        << "Start Position";
    QTest::newRow("fa") << "fa"
                        << "Heating Level";
    QTest::newRow("f7") << "f7"
                        << "Speed Level";
    QTest::newRow("f8") << "f8"
                        << "Roll Back Distance";
    QTest::newRow("f9") << "f9"
                        << "Extra Feed";
}

void tst_printertext::parameterName()
{
    QFETCH(QString, code);
    QFETCH(QString, name);
    const ParameterRule *rule = parameterRule(code);
    QVERIFY(rule);
    QCOMPARE(PrinterText::parameterName(*rule), name);
}

// One for each item of the selector, nothing beyond.
void tst_printertext::parameterDescription()
{
    for (int index = 0; index < 9; ++index) {
        QVERIFY(PrinterText::parameterDescriptionSource(index));
        QCOMPARE(PrinterText::parameterDescription(index),
                 QString::fromUtf8(PrinterText::parameterDescriptionSource(index)));
    }
    for (int index : {-1, 9}) {
        QVERIFY(!PrinterText::parameterDescriptionSource(index));
        QCOMPARE(PrinterText::parameterDescription(index), QString());
    }
}

QTEST_GUILESS_MAIN(tst_printertext)
#include "tst_printertext.moc"
