#include "printer/printeranswers.h"
#include "printer/serialframing.h"
#include "printer/serialprinterlink.h"

#include "printersimprocess.h"

#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

// Captures the link's "printer port" lines so a test can count them.
static QStringList s_portWarnings;
static QtMessageHandler s_previousHandler = nullptr;

static void captureWarnings(QtMsgType type, const QMessageLogContext &context, const QString &msg)
{
    if (type == QtWarningMsg && msg.startsWith(QLatin1String("printer port ")))
        s_portWarnings << msg;
    else if (s_previousHandler)
        s_previousHandler(type, context, msg);
}

class tst_seriallink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void commandFrame_data();
    void commandFrame();
    void replyFields_data();
    void replyFields();
    void portNameFromEnvironment();

    void everyCodeRoundTrips_data();
    void everyCodeRoundTrips();
    void settingsFollowTheCommands();
    void nothingSentForUnsendableCommand_data();
    void nothingSentForUnsendableCommand();
    void portClosedAndOpenedAgain();
    void noAnswerInTime();
    void lateAnswerDoesNotLeak_data();
    void lateAnswerDoesNotLeak();
    void faultyAnswers_data();
    void faultyAnswers();
    void answerChecked_data();
    void answerChecked();
    void lateAnswerToAlikeCommand_data();
    void lateAnswerToAlikeCommand();
    void lateAnswerDrainedBeforeNextCommand();
    void lateAnswerEveryCode_data();
    void lateAnswerEveryCode();
    void portMissing();
    void lateEchoOfAnotherValue();
    void simulatorRestarted_data();
    void simulatorRestarted();

private:
    PrinterSimProcess m_sim;
};

static QStringList fields(const char *commaSeparated)
{
    return QString::fromLatin1(commaSeparated).split(QLatin1Char(','));
}

using Kind = AnswerFault::Kind;
using Thrown = QList<IgnoredAnswer>;
Q_DECLARE_METATYPE(IgnoredAnswer)

namespace QTest {
template <> char *toString(const IgnoredAnswer &answer)
{
    return qstrdup(QByteArray(answer.bytes.toHex(' ') + " (kind " +
                              QByteArray::number(int(answer.why.kind)) + ", code " +
                              QByteArray::number(answer.why.code, 16) + ", frame " +
                              answer.why.frame.toHex(' ') + ')')
                       .constData());
}
} // namespace QTest

// Bytes (in hex, as "f3 01 2c") that the link throws away, and why; `command` is the one they
// do not answer, none for bytes that came before it.
static IgnoredAnswer thrownAway(const QString &bytes, Kind kind, const QString &command = {})
{
    IgnoredAnswer answer;
    answer.bytes = QByteArray::fromHex(bytes.toLatin1());
    answer.why.kind = kind;
    if (!command.isEmpty()) {
        answer.why.frame = commandFrame(command);
        answer.why.code = uchar(answer.why.frame.at(1));
    }
    return answer;
}

void tst_seriallink::initTestCase()
{
    s_previousHandler = qInstallMessageHandler(captureWarnings);
}

void tst_seriallink::init()
{
    s_portWarnings.clear();
}

void tst_seriallink::cleanup()
{
    m_sim.stop();
}

void tst_seriallink::commandFrame_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QByteArray>("frame");

    QTest::newRow("status query") << "aa,e2,0,0" << QByteArray::fromHex("aae20000");
    QTest::newRow("two-digit parameter") << "aa,f2,01,0" << QByteArray::fromHex("aaf20100");
    QTest::newRow("value split over two fields") << "aa,f3,1,2c" << QByteArray::fromHex("aaf3012c");
    QTest::newRow("heat section, five fields")
        << "aa,fe,1,2,0" << QByteArray::fromHex("aafe010200");
    QTest::newRow("upper-case digits") << "AA,F4,1,0" << QByteArray::fromHex("aaf40100");
    QTest::newRow("one field") << "ff" << QByteArray::fromHex("ff");
    QTest::newRow("empty command") << "" << QByteArray();
    QTest::newRow("three digits") << "aa,f3,100,0" << QByteArray();
    QTest::newRow("not hex") << "aa,g1,0,0" << QByteArray();
    QTest::newRow("empty field") << "aa,,0,0" << QByteArray();
    QTest::newRow("trailing comma") << "aa,e2,0,0," << QByteArray();
    QTest::newRow("space") << "aa, e2,0,0" << QByteArray();
    QTest::newRow("sign") << "aa,-1,0,0" << QByteArray();
    QTest::newRow("hex prefix") << "0xaa,e2,0,0" << QByteArray();
}

void tst_seriallink::commandFrame()
{
    QFETCH(QString, command);
    QFETCH(QByteArray, frame);
    QCOMPARE(::commandFrame(command).toHex(' '), frame.toHex(' '));
}

void tst_seriallink::replyFields_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("fields");

    QTest::newRow("no paper at sensor") << QByteArray::fromHex("fb0000") << fields("fb,0,0");
    QTest::newRow("yes") << QByteArray::fromHex("c2") << fields("c2");
    QTest::newRow("no leading zeros") << QByteArray::fromHex("07100a") << fields("7,10,a");
    QTest::newRow("version") << QByteArray::fromHex("56312e3000") << fields("56,31,2e,30,0");
    QTest::newRow("a zero byte is an answer") << QByteArray(1, '\0') << fields("0");
    QTest::newRow("nothing") << QByteArray() << QStringList{QString()};
}

void tst_seriallink::replyFields()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, fields);
    QCOMPARE(::replyFields(bytes), fields);
}

void tst_seriallink::portNameFromEnvironment()
{
    const QByteArray saved = qgetenv(PrinterSerial::PortVariable);
    qunsetenv(PrinterSerial::PortVariable);
    QCOMPARE(printerPortName(), QStringLiteral("/dev/ttyS1"));
    qputenv(PrinterSerial::PortVariable, "/tmp/elsewhere/printer");
    QCOMPARE(printerPortName(), QStringLiteral("/tmp/elsewhere/printer"));
    QCOMPARE(SerialPrinterLink().portName(), QStringLiteral("/tmp/elsewhere/printer"));
    qputenv(PrinterSerial::PortVariable, saved);
    if (saved.isEmpty())
        qunsetenv(PrinterSerial::PortVariable);
}

void tst_seriallink::everyCodeRoundTrips_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("reply");

    auto row = [](const char *name, const char *command, const char *frame, const char *reply) {
        QTest::newRow(name) << QString(command) << QString(frame) << fields(reply);
    };
    row("paper loaded", "aa,e2,0,0", "aa e2 00 00", "c2,0,0");
    row("labels left", "aa,e1,0,0", "aa e1 00 00", "c2,0,0");
    row("version", "aa,fd,0,0", "aa fd 00 00", "56,31,2e,30,0,0,0,0");
    row("paper sensor", "aa,fb,0,0", "aa fb 00 00", "fb,0,1");
    row("collect back paper", "aa,f6,0,0", "aa f6 00 00", "f6,0,0");
    row("stop collecting", "aa,f6,1,0", "aa f6 01 00", "f6,1,0");
    row("label paper", "aa,f2,0,0", "aa f2 00 00", "f2,0,0");
    row("receipt paper", "aa,f2,01,0", "aa f2 01 00", "f2,1,0");
    row("current settings", "aa,f4,1,0", "aa f4 01 00", "f4,0,0,0,3a,98,0,2,0,0,2,0,0,0,0");
    row("paper replacement reset", "aa,fc,0,0", "aa fc 00 00", "fc,0,0");
    row("parameter reset", "aa,f1,0,0", "aa f1 00 00", "f1,0,0");
    row("start position 300", "aa,f3,1,2c", "aa f3 01 2c", "f3,1,2c");
    row("start position 500", "aa,f3,1,f4", "aa f3 01 f4", "f3,ff,ff");
    row("heating 10", "aa,fa,a,0", "aa fa 0a 00", "fa,a,0");
    row("heating 11", "aa,fa,b,0", "aa fa 0b 00", "fa,ff,ff");
    row("speed 3", "aa,f7,3,0", "aa f7 03 00", "f7,3,0");
    row("speed 0", "aa,f7,0,0", "aa f7 00 00", "f7,ff,ff");
    row("pull back 255", "aa,f8,ff,0", "aa f8 ff 00", "f8,ff,0");
    row("pull back 256", "aa,f8,1,00", "aa f8 01 00", "f8,1,0");
    row("extra feed 300", "aa,f9,1,2c", "aa f9 01 2c", "f9,ff,ff");
    row("extra feed 20", "aa,f9,14,0", "aa f9 14 00", "f9,14,0");
    row("right section 2", "aa,fe,1,2,0", "aa fe 01 02 00", "fe,1,2");
    row("left section 4", "aa,fe,3,4,0", "aa fe 03 04 00", "fe,ff,ff");
    row("sensor threshold", "aa,f5,3a,98", "aa f5 3a 98", "f5,3a,98");
    row("unknown code", "aa,00,0,0", "aa 00 00 00", "");
}

void tst_seriallink::everyCodeRoundTrips()
{
    QFETCH(QString, command);
    QFETCH(QString, frame);
    QFETCH(QStringList, reply);

    QVERIFY(m_sim.start());
    SerialPrinterLink link(m_sim.portPath());
    QCOMPARE(link.exchange(command), reply);
    QTRY_COMPARE(m_sim.frames(), QStringList{frame});
    QVERIFY(s_portWarnings.isEmpty());
}

// The simulator keeps what it is told, as the printer does, so the settings query reads
// back the commands before it.
void tst_seriallink::settingsFollowTheCommands()
{
    QVERIFY(m_sim.start());
    SerialPrinterLink link(m_sim.portPath());
    const QStringList settings = {"aa,f3,1,2c",  "aa,fa,5,0",   "aa,f7,3,0",   "aa,f8,a,0",
                                  "aa,f9,14,0",  "aa,fe,1,1,0", "aa,fe,2,2,0", "aa,fe,3,3,0",
                                  "aa,f5,2e,e0", "aa,f2,01,0",  "aa,f6,1,0"};
    for (const QString &command : settings)
        QCOMPARE(link.exchange(command).value(0), command.section(QLatin1Char(','), 1, 1));
    QCOMPARE(link.exchange("aa,f3,1,f4"), fields("f3,ff,ff"));
    QCOMPARE(link.exchange("aa,f4,1,0"), fields("f4,1,1,2c,2e,e0,1,3,a,14,5,0,3,2,1"));

    QCOMPARE(link.exchange("aa,f1,0,0"), fields("f1,0,0"));
    QCOMPARE(link.exchange("aa,f4,1,0"), fields("f4,0,0,0,3a,98,0,2,0,0,2,0,0,0,0"));
    QCOMPARE(m_sim.frames().size(), settings.size() + 4);
}

void tst_seriallink::nothingSentForUnsendableCommand_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("empty") << "";
    QTest::newRow("three digits") << "aa,f3,100,0";
    QTest::newRow("not hex") << "aa,zz,0,0";
    QTest::newRow("empty field") << "aa,,0,0";
}

void tst_seriallink::nothingSentForUnsendableCommand()
{
    QFETCH(QString, command);
    QVERIFY(m_sim.start());
    SerialPrinterLink link(m_sim.portPath());
    QCOMPARE(link.exchange(command), QStringList{QString()});
    QVERIFY(!link.isOpen());
    // The next real command is the first and only frame on the line.
    QCOMPARE(link.exchange("aa,e1,0,0"), fields("c2,0,0"));
    QCOMPARE(m_sim.frames(), QStringList{"aa e1 00 00"});
}

// The panel may drop its link and make a new one; the line must still work.
void tst_seriallink::portClosedAndOpenedAgain()
{
    QVERIFY(m_sim.start());
    for (int round = 0; round < 3; ++round) {
        SerialPrinterLink link(m_sim.portPath());
        QCOMPARE(link.exchange("aa,fb,0,0"), fields("fb,0,1"));
        QVERIFY(link.isOpen());
    }
    QCOMPARE(m_sim.frames().size(), 3);
    QVERIFY(s_portWarnings.isEmpty());
}

void tst_seriallink::noAnswerInTime()
{
    QVERIFY(m_sim.start({"--no-answer"}));
    SerialPrinterLink link(m_sim.portPath());
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(link.exchange("aa,e2,0,0"), QStringList{QString()});
    // Not a speed measurement: a silent printer must not hold the panel for long.
    QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));
    QTRY_COMPARE(m_sim.frames(), QStringList{"aa e2 00 00"});
    QVERIFY(link.isOpen());
    QVERIFY(s_portWarnings.isEmpty());
}

void tst_seriallink::lateAnswerDoesNotLeak_data()
{
    QTest::addColumn<bool>("eventLoopRuns");
    // The late bytes wait either in the port object (read while the panel idles) or still
    // in the terminal (nothing read them).
    QTest::newRow("panel idle in its event loop") << true;
    QTest::newRow("panel busy") << false;
}

void tst_seriallink::lateAnswerDoesNotLeak()
{
    QFETCH(bool, eventLoopRuns);
    const int delayMs = 300;
    QVERIFY(m_sim.start({"--delay", QString::number(delayMs)}));
    SerialPrinterLink link(m_sim.portPath());

    link.setFirstByteWait(delayMs / 3);
    QCOMPARE(link.exchange("aa,fd,0,0"), QStringList{QString()});
    // Long enough for the version to come in after all.
    if (eventLoopRuns)
        QTest::qWait(delayMs + 300);
    else
        QThread::msleep(delayMs + 300);

    // Now patient enough for the answer: it must hold nothing of the version before it.
    link.setFirstByteWait(PrinterSerial::FirstByteWaitMs + delayMs);
    QCOMPARE(link.exchange("aa,e2,0,0"), fields("c2,0,0"));
    QCOMPARE(m_sim.frames(), QStringList({"aa fd 00 00", "aa e2 00 00"}));
}

void tst_seriallink::faultyAnswers_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<Thrown>("ignored");

    QTest::newRow("cut short") << QStringList{"--short"} << "aa,f4,1,0" << QStringList{QString()}
                               << Thrown{thrownAway("f4", Kind::TooShort, "aa,f4,1,0")};
    QTest::newRow("slow but in time")
        << QStringList{"--delay", "200"} << "aa,e2,0,0" << fields("c2,0,0") << Thrown();
    QTest::newRow("slow and cut short")
        << QStringList{"--delay", "200", "--short"} << "aa,fb,0,0" << QStringList{QString()}
        << Thrown{thrownAway("fb", Kind::TooShort, "aa,fb,0,0")};
    QTest::newRow("unknown code answered by nobody")
        << QStringList() << "aa,00,0,0" << QStringList{QString()} << Thrown();
}

void tst_seriallink::faultyAnswers()
{
    QFETCH(QStringList, options);
    QFETCH(QString, command);
    QFETCH(QStringList, reply);
    QFETCH(Thrown, ignored);

    QVERIFY(m_sim.start(options));
    SerialPrinterLink link(m_sim.portPath());
    QCOMPARE(link.exchange(command), reply);
    QCOMPARE(link.ignoredAnswers(), ignored);
    QVERIFY(s_portWarnings.isEmpty());
}

// One command of every code, with the printer's answer and the answer it gives with
// --wrong-code (that of the next code in its ring, with the same parameters).
struct CodeRow
{
    const char *name;
    const char *command;
    const char *frame;
    const char *answer;
    const char *wrongCodeAnswer;
};

static const char Settings[] = "f4 00 00 00 3a 98 00 02 00 00 02 00 00 00 00";
static const char Version[] = "56 31 2e 30 00 00 00 00";

static const CodeRow CodeRows[] = {
    {"e2 paper loaded", "aa,e2,0,0", "aa e2 00 00", "c2 00 00", "fb 00 01"},
    {"e1 labels left", "aa,e1,0,0", "aa e1 00 00", "c2 00 00", Version},
    {"fd version", "aa,fd,0,0", "aa fd 00 00", Version, Settings},
    {"fb paper sensor", "aa,fb,0,0", "aa fb 00 00", "fb 00 01", "c2 00 00"},
    {"f4 current settings", "aa,f4,1,0", "aa f4 01 00", Settings, "f6 01 00"},
    {"f6 back paper", "aa,f6,1,0", "aa f6 01 00", "f6 01 00", "f2 01 00"},
    {"f2 paper type", "aa,f2,01,0", "aa f2 01 00", "f2 01 00", "fa 01 00"},
    {"fa heating level", "aa,fa,5,0", "aa fa 05 00", "fa 05 00", "f7 ff ff"},
    {"f7 speed level", "aa,f7,3,0", "aa f7 03 00", "f7 03 00", "f8 03 00"},
    {"f8 pull-back", "aa,f8,a,0", "aa f8 0a 00", "f8 0a 00", "f9 0a 00"},
    {"f9 extra feed", "aa,f9,14,0", "aa f9 14 00", "f9 14 00", "f3 ff ff"},
    {"f3 start position", "aa,f3,1,2c", "aa f3 01 2c", "f3 01 2c", "f5 01 2c"},
    {"f5 sensor threshold", "aa,f5,3a,98", "aa f5 3a 98", "f5 3a 98", "fe ff ff"},
    {"fe heat section", "aa,fe,1,2,0", "aa fe 01 02 00", "fe 01 02", "fc 01 02"},
    {"fc paper replacement reset", "aa,fc,0,0", "aa fc 00 00", "fc 00 00", "f1 00 00"},
    {"f1 parameter reset", "aa,f1,0,0", "aa f1 00 00", "f1 00 00", "c2 00 00"},
};

static QString codeOf(const QString &command)
{
    return command.section(QLatin1Char(','), 1, 1);
}

void tst_seriallink::answerChecked_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QStringList>("reply");
    // What was thrown away; no bytes stand for random ones, any from 1 to 16.
    QTest::addColumn<Thrown>("ignored");

    const QStringList none{QString()};
    const QString anyBytes;
    for (const CodeRow &row : CodeRows) {
        const QString command = QLatin1String(row.command);
        const QString answer = QLatin1String(row.answer);
        QTest::addRow("%s, answered", row.name)
            << QStringList() << command << row.frame
            << ::replyFields(QByteArray::fromHex(row.answer)) << Thrown();
        QTest::addRow("%s, cut short", row.name)
            << QStringList{"--short"} << command << row.frame << none
            << Thrown{thrownAway(answer.left(2), Kind::TooShort, command)};
        QTest::addRow("%s, one byte too many", row.name)
            << QStringList{"--long"} << command << row.frame << none
            << Thrown{thrownAway(answer + " 00", Kind::TooLong, command)};
        QTest::addRow("%s, garbage", row.name)
            << QStringList{"--garbage"} << command << row.frame << none
            << Thrown{thrownAway(anyBytes, Kind::NotAnAnswer, command)};
        QTest::addRow("%s, answer for another code", row.name)
            << QStringList{"--wrong-code"} << command << row.frame << none
            << Thrown{thrownAway(row.wrongCodeAnswer, Kind::NotAnAnswer, command)};
    }
}

// Every answer that does not fit the command is thrown away and named in the traffic log.
void tst_seriallink::answerChecked()
{
    QFETCH(QStringList, options);
    QFETCH(QString, command);
    QFETCH(QString, frame);
    QFETCH(QStringList, reply);
    QFETCH(Thrown, ignored);

    QVERIFY(m_sim.start(options));
    SerialPrinterLink link(m_sim.portPath());
    QCOMPARE(link.exchange(command), reply);
    Thrown thrown = link.ignoredAnswers();
    if (ignored.size() == 1 && ignored.first().bytes.isEmpty()) {
        QCOMPARE(thrown.size(), 1);
        // The message is made whether or not the check fails: no toString(), which leaks.
        QVERIFY2(thrown.first().bytes.size() >= 1 && thrown.first().bytes.size() <= 16,
                 thrown.first().bytes.toHex(' ').constData());
        thrown.first().bytes = ignored.first().bytes;
    }
    QCOMPARE(thrown, ignored);
    QCOMPARE(m_sim.frames(), QStringList{frame});
    QVERIFY(s_portWarnings.isEmpty());
}

void tst_seriallink::lateAnswerToAlikeCommand_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("firstAnswer");
    QTest::addColumn<QString>("second");

    // Answers alike: the late one would pass for the next command's own.
    QTest::newRow("same query twice") << "aa,e2,0,0"
                                      << "c2 00 00"
                                      << "aa,e2,0,0";
    QTest::newRow("the two yes/no queries") << "aa,e2,0,0"
                                            << "c2 00 00"
                                            << "aa,e1,0,0";
    QTest::newRow("start position, then another") << "aa,f3,1,2c"
                                                  << "f3 01 2c"
                                                  << "aa,f3,0,c8";
    QTest::newRow("version twice") << "aa,fd,0,0" << Version << "aa,fd,0,0";
}

// An answer that comes late may pass for the answer to a command alike: the link waits it out
// before it writes that command, so the late one never stands for the new one's answer.
void tst_seriallink::lateAnswerToAlikeCommand()
{
    QFETCH(QString, first);
    QFETCH(QString, firstAnswer);
    QFETCH(QString, second);

    QVERIFY(m_sim.start({"--delay", "300"}));
    SerialPrinterLink link(m_sim.portPath());
    link.setFirstByteWait(200);
    QCOMPARE(link.exchange(first), QStringList{QString()});
    QCOMPARE(link.ignoredAnswers(), Thrown());

    QCOMPARE(link.exchange(second), QStringList{QString()});
    QCOMPARE(link.ignoredAnswers(), Thrown{thrownAway(firstAnswer, Kind::CameBefore)});
    QCOMPARE(m_sim.frames().size(), 2);
}

// After an exchange that timed out, an answer arriving just then is read off the line before
// the next command goes out, so the next command gets its own answer.
void tst_seriallink::lateAnswerDrainedBeforeNextCommand()
{
    QVERIFY(m_sim.start({"--delay", "300"}));
    SerialPrinterLink link(m_sim.portPath());
    link.setQuietGap(300);
    link.setFirstByteWait(200);
    QCOMPARE(link.exchange("aa,fd,0,0"), QStringList{QString()});

    link.setFirstByteWait(1000);
    QCOMPARE(link.exchange("aa,e2,0,0"), fields("c2,0,0"));
    QCOMPARE(link.ignoredAnswers(), Thrown{thrownAway(Version, Kind::CameBefore)});
}

void tst_seriallink::lateAnswerEveryCode_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QString>("next");

    for (const CodeRow &row : CodeRows) {
        const QString command = QLatin1String(row.command);
        const char *next = codeOf(command) == QLatin1String("fb") ? "aa,e2,0,0" : "aa,fb,0,0";
        QTest::newRow(row.name) << command << QString(row.answer) << QString(next);
    }
}

// A late answer comes in while the link waits for the next command's answer, and is thrown
// away there as not belonging to it.
void tst_seriallink::lateAnswerEveryCode()
{
    QFETCH(QString, command);
    QFETCH(QString, answer);
    QFETCH(QString, next);

    QVERIFY(m_sim.start({"--delay", "300"}));
    SerialPrinterLink link(m_sim.portPath());
    link.setFirstByteWait(200);
    QCOMPARE(link.exchange(command), QStringList{QString()});
    QCOMPARE(link.ignoredAnswers(), Thrown());

    QCOMPARE(link.exchange(next), QStringList{QString()});
    QCOMPARE(link.ignoredAnswers(), Thrown{thrownAway(answer, Kind::NotAnAnswer, next)});
    QCOMPARE(m_sim.frames().size(), 2);
}

void tst_seriallink::portMissing()
{
    const QString path = m_sim.filePath("printer");
    SerialPrinterLink link(path);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(link.exchange("aa,e2,0,0"), QStringList{QString()});
        QVERIFY(!link.isOpen());
    }
    // One line for the whole outage, naming the port and why.
    QCOMPARE(s_portWarnings.size(), 1);
    QVERIFY2(s_portWarnings.first().contains(path), qPrintable(s_portWarnings.first()));
    QVERIFY2(s_portWarnings.first().contains("No such file"), qPrintable(s_portWarnings.first()));
    // The panel says so too: a missing port is no silent printer.
    QCOMPARE(link.portName(), path);
    QVERIFY2(link.openFailure().contains("No such file"), qPrintable(link.openFailure()));

    // Plugged in later: the next exchange opens the port.
    QVERIFY(m_sim.start({"--link", path}));
    QCOMPARE(link.exchange("aa,e2,0,0"), fields("c2,0,0"));
    QCOMPARE(s_portWarnings.size(), 1);
    QVERIFY(link.openFailure().isEmpty());
}

// A late echo that arrives while the link waits for the next command of the same code is no
// answer to it when it carries the earlier value: setting 200 and then 300 never shows 300
// for the command that set 200, nor 200 for the one that set 300.
void tst_seriallink::lateEchoOfAnotherValue()
{
    QVERIFY(m_sim.start({"--delay", "500"}));
    SerialPrinterLink link(m_sim.portPath());
    link.setFirstByteWait(200);
    QCOMPARE(link.exchange("aa,f3,0,c8"), QStringList{QString()});
    // The echo of 200 comes 500 ms after its command: after this one went out.
    QCOMPARE(link.exchange("aa,f3,1,2c"), QStringList{QString()});
    QVERIFY(
        link.ignoredAnswers().contains(thrownAway("f3 00 c8", Kind::EchoesOther, "aa,f3,1,2c")));
}

void tst_seriallink::simulatorRestarted_data()
{
    QTest::addColumn<bool>("killed");
    QTest::addColumn<bool>("eventLoopRuns");
    QTest::newRow("killed, panel busy") << true << false;
    QTest::newRow("killed, panel idle") << true << true;
    QTest::newRow("terminated, panel busy") << false << false;
}

void tst_seriallink::simulatorRestarted()
{
    QFETCH(bool, killed);
    QFETCH(bool, eventLoopRuns);
    const QString path = m_sim.filePath("printer");
    QVERIFY(m_sim.start({"--link", path}));
    SerialPrinterLink link(path);
    QCOMPARE(link.exchange("aa,fd,0,0"), fields("56,31,2e,30,0,0,0,0"));

    if (killed)
        m_sim.kill();
    else
        m_sim.stop();
    if (eventLoopRuns) {
        // The hang-up is noticed while the panel waits for the next touch.
        QTRY_VERIFY(!link.isOpen());
        QCOMPARE(s_portWarnings.size(), 1);
    }
    for (int i = 0; i < 3; ++i)
        QCOMPARE(link.exchange("aa,e2,0,0"), QStringList{QString()});
    QCOMPARE(s_portWarnings.size(), 1);
    QVERIFY(s_portWarnings.first().contains(path));
    QVERIFY2(s_portWarnings.first().endsWith(": the line hung up"),
             qPrintable(s_portWarnings.first()));

    QVERIFY(m_sim.start({"--link", path}));
    QCOMPARE(link.exchange("aa,e2,0,0"), fields("c2,0,0"));
    QCOMPARE(link.exchange("aa,fb,0,0"), fields("fb,0,1"));
    QCOMPARE(s_portWarnings.size(), 1);
}

QTEST_GUILESS_MAIN(tst_seriallink)
#include "tst_seriallink.moc"
