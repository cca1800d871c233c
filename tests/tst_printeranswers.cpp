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
};

static QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

void tst_printeranswers::answerFault_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("answer");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("code"); // the command's code; 0 for a frame without a known one

    using K = AnswerFault::Kind;
    auto row = [](const char *name, const char *frame, const char *answer, K kind, int code) {
        QTest::newRow(name) << hex(frame) << hex(answer) << int(kind) << code;
    };
    // What the printer answers to each command.
    row("paper loaded, yes", "aae20000", "c20000", K::None, 0xe2);
    row("paper loaded, no", "aae20000", "c00000", K::None, 0xe2);
    row("labels left, yes", "aae10000", "c20000", K::None, 0xe1);
    row("labels left, no", "aae10000", "c00000", K::None, 0xe1);
    row("version", "aafd0000", "56312e3000000000", K::None, 0xfd);
    row("version of eight characters", "aafd0000", "56312e302e313233", K::None, 0xfd);
    row("paper sensor", "aafb0000", "fb0001", K::None, 0xfb);
    row("current settings", "aaf40100", "f40000003a98000200000200000000", K::None, 0xf4);
    row("back paper", "aaf60100", "f60100", K::None, 0xf6);
    row("paper type", "aaf20100", "f20100", K::None, 0xf2);
    row("heating level", "aafa0200", "fa0200", K::None, 0xfa);
    row("speed level", "aaf70300", "f70300", K::None, 0xf7);
    row("pull-back", "aaf8ff00", "f8ff00", K::None, 0xf8);
    row("extra feed", "aaf91400", "f91400", K::None, 0xf9);
    row("start position", "aaf3012c", "f3012c", K::None, 0xf3);
    row("start position refused", "aaf301f4", "f3ffff", K::None, 0xf3);
    row("sensor threshold", "aaf53a98", "f53a98", K::None, 0xf5);
    row("heat section", "aafe010200", "fe0102", K::None, 0xfe);
    row("paper replacement reset", "aafc0000", "fc0000", K::None, 0xfc);
    row("parameter reset", "aaf10000", "f10000", K::None, 0xf1);
    // A yes/no that echoes its code instead, or a yes in another byte.
    row("yes/no echoed", "aae20000", "e20000", K::NotAnAnswer, 0xe2);
    row("yes in capitals would be another byte", "aae10000", "c30000", K::NotAnAnswer, 0xe1);
    // An answer to another command.
    row("start position echo to the sensor", "aafb0000", "f3012c", K::NotAnAnswer, 0xfb);
    row("sensor answer to the start position", "aaf3012c", "fb0001", K::NotAnAnswer, 0xf3);
    row("yes to the sensor", "aafb0000", "c20000", K::NotAnAnswer, 0xfb);
    row("version to the settings", "aaf40100", "56312e3000000000", K::NotAnAnswer, 0xf4);
    row("settings to the version", "aafd0000", "f40000003a98000200000200000000", K::NotAnAnswer,
        0xfd);
    row("heat echo to the threshold", "aaf53a98", "fe0102", K::NotAnAnswer, 0xf5);
    // Cut short or run on.
    row("one byte of three", "aaf3012c", "f3", K::TooShort, 0xf3);
    row("two bytes of three", "aae20000", "c200", K::TooShort, 0xe2);
    row("settings cut short", "aaf40100", "f4000000", K::TooShort, 0xf4);
    row("version cut short", "aafd0000", "56", K::TooShort, 0xfd);
    row("nothing at all", "aafb0000", "", K::TooShort, 0xfb);
    row("one byte too many", "aaf3012c", "f3012c00", K::TooLong, 0xf3);
    row("settings and more", "aaf40100", "f40000003a9800020000020000000000", K::TooLong, 0xf4);
    row("version and more", "aafd0000", "56312e300000000000", K::TooLong, 0xfd);
    // The version is text, zero-padded.
    row("version without text", "aafd0000", "0000000000000000", K::NotAnAnswer, 0xfd);
    row("version starting with a control byte", "aafd0000", "07312e3000000000", K::NotAnAnswer,
        0xfd);
    row("version with a control byte inside", "aafd0000", "5631072e30000000", K::NotAnAnswer, 0xfd);
    row("version with bytes after the zero", "aafd0000", "56312e3000410000", K::NotAnAnswer, 0xfd);
    row("version with a high byte", "aafd0000", "56c3a93000000000", K::NotAnAnswer, 0xfd);
    // A setting's answer echoes the value sent: another value is a late answer to an earlier
    // command of the same code.
    row("start position echoes another", "aaf3012c", "f300c8", K::EchoesOther, 0xf3);
    row("heating echoes another", "aafa0200", "fa0300", K::EchoesOther, 0xfa);
    row("paper type echoes the other type", "aaf20100", "f20000", K::EchoesOther, 0xf2);
    row("another section's heat", "aafe010200", "fe0202", K::EchoesOther, 0xfe);
    row("threshold echoes another", "aaf53a98", "f53a99", K::EchoesOther, 0xf5);
    row("reset echoes values it was not sent", "aaf10000", "f10100", K::EchoesOther, 0xf1);
    row("heating refused", "aafa0b00", "faffff", K::None, 0xfa);
    // Answers that are no echo: the sensor, whatever its bytes.
    row("paper sensor, no paper", "aafb0000", "fb0000", K::None, 0xfb);
    // Frames the printer does not answer.
    row("unknown code", "aa000000", "000000", K::UnknownCommand, 0);
    row("heat section frame of four bytes", "aafe0102", "fe0102", K::UnknownCommand, 0);
    row("five bytes for a four-byte command", "aaf3012c00", "f3012c", K::UnknownCommand, 0);
    row("no lead byte", "bbf3012c", "f3012c", K::UnknownCommand, 0);
    row("lead byte alone", "aa", "c20000", K::UnknownCommand, 0);
}

void tst_printeranswers::answerFault()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, answer);
    QFETCH(int, kind);
    QFETCH(int, code);
    const AnswerFault fault = ::answerFault(frame, answer);
    QCOMPARE(int(fault.kind), kind);
    QCOMPARE(int(fault.code), code);
    QCOMPARE(fault.frame, frame);
    QCOMPARE(fault.isFault(), kind != int(AnswerFault::Kind::None));
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

QTEST_GUILESS_MAIN(tst_printeranswers)
#include "tst_printeranswers.moc"
