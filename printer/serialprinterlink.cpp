#include "printer/serialprinterlink.h"

#include "printer/printeranswers.h"
#include "printer/serialframing.h"

#include <QElapsedTimer>
#include <QtGlobal>

static bool isBroken(QSerialPort::SerialPortError error)
{
    return error != QSerialPort::NoError && error != QSerialPort::TimeoutError;
}

static QString failureReason(const QSerialPort &port)
{
    // A hung-up terminal reads as end of file; Qt then reports a read error with whatever
    // errno was left over, which would name the wrong cause.
    if (port.error() == QSerialPort::ReadError)
        return QStringLiteral("the line hung up");
    return port.errorString();
}

SerialPrinterLink::SerialPrinterLink() : SerialPrinterLink(printerPortName()) {}

SerialPrinterLink::SerialPrinterLink(const QString &portName)
    : m_portName(portName), m_firstByteWaitMs(PrinterSerial::FirstByteWaitMs),
      m_quietGapMs(PrinterSerial::QuietGapMs)
{
    m_port.setPortName(m_portName);
    // A line that breaks while the panel sits idle (printer unplugged) keeps signalling:
    // let it go at once; the next exchange opens it again.
    QObject::connect(&m_port, &QSerialPort::errorOccurred, &m_port,
                     [this](QSerialPort::SerialPortError error) {
                         if (!m_inExchange && isBroken(error) && m_port.isOpen())
                             dropPort(failureReason(m_port));
                     });
}

SerialPrinterLink::~SerialPrinterLink() = default;

QStringList SerialPrinterLink::exchange(const QString &command)
{
    m_ignored.clear();
    m_openFailure.clear();
    const QByteArray frame = commandFrame(command);
    if (frame.isEmpty())
        return {QString()};

    m_inExchange = true;
    struct Leave
    {
        bool &flag;
        ~Leave() { flag = false; }
    } leave{m_inExchange};

    if (m_port.isOpen()) {
        // Lets a hang-up that came while nobody listened show before we rely on the port.
        m_port.waitForReadyRead(0);
        if (portBroken())
            dropPort(failureReason(m_port));
    }
    if (!m_port.isOpen() && !openPort())
        return {QString()};

    // Whatever is still in the line belongs to an earlier command, such as a late answer.
    // When the last answer did not come or was not one, it may be arriving right now: let it
    // end first. Where it could pass for this command's answer, give it as long as an answer
    // may take.
    QByteArray before;
    if (m_answerOutstanding) {
        before = waitForQuiet(answersAlike(m_lastFrame, frame) ? m_firstByteWaitMs : m_quietGapMs);
    }
    m_port.waitForReadyRead(0);
    before += m_port.readAll();
    m_port.clear(QSerialPort::Input);
    m_port.clearError();
    if (!before.isEmpty()) {
        AnswerFault cameBefore;
        cameBefore.kind = AnswerFault::Kind::CameBefore;
        ignore(before, cameBefore);
    }

    bool written = m_port.write(frame) == frame.size();
    if (written && m_port.bytesToWrite() > 0)
        written = m_port.waitForBytesWritten(PrinterSerial::MaxAnswerMs);
    if (!written) {
        dropPort(failureReason(m_port));
        return {QString()};
    }
    m_failureReported = false;
    m_lastFrame = frame;
    m_answerOutstanding = true;

    const QByteArray answer = readAnswer(frame);
    if (portBroken())
        dropPort(failureReason(m_port));
    if (answer.isEmpty())
        return {QString()};
    const AnswerFault fault = answerFault(frame, answer);
    if (fault.isFault()) {
        ignore(answer, fault);
        return {QString()};
    }
    m_answerOutstanding = false;
    return replyFields(answer);
}

bool SerialPrinterLink::openPort()
{
    m_port.clearError();
    const bool ok =
        m_port.open(QIODevice::ReadWrite) && m_port.setBaudRate(PrinterSerial::BaudRate) &&
        m_port.setDataBits(PrinterSerial::DataBits) && m_port.setParity(PrinterSerial::Parity) &&
        m_port.setStopBits(PrinterSerial::StopBits) &&
        m_port.setFlowControl(PrinterSerial::FlowControl);
    if (!ok) {
        m_openFailure = m_port.errorString();
        dropPort(failureReason(m_port));
    }
    return ok;
}

bool SerialPrinterLink::portBroken() const
{
    return !m_port.isOpen() || isBroken(m_port.error());
}

QByteArray SerialPrinterLink::readAnswer(const QByteArray &frame)
{
    const AnswerShape *shape = answerShape(frame);
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        while (answer.isEmpty()) {
            const qint64 left = m_firstByteWaitMs - clock.elapsed();
            if (left <= 0 || !m_port.waitForReadyRead(int(left)) || portBroken())
                return answer;
            answer += m_port.readAll();
        }
        // The command tells how long its answer is: whole, it is taken at once. A shorter one,
        // or one to a command without a known answer, ends when the line goes quiet.
        QElapsedTimer streaming;
        streaming.start();
        while ((!shape || answer.size() < shape->length) &&
               streaming.elapsed() < PrinterSerial::MaxAnswerMs &&
               m_port.waitForReadyRead(m_quietGapMs))
            answer += m_port.readAll();
        if (!shape || answer.size() < shape->length)
            return answer;
        // What has already arrived behind it makes it too long.
        m_port.waitForReadyRead(0);
        answer += m_port.readAll();
        // A late echo of an earlier value: this command's own answer may still come.
        if (!echoesOtherValue(frame, answer))
            return answer;
        ignore(answer, answerFault(frame, answer));
        answer.clear();
    }
}

// Reads until the line has been silent for ms; a line that never stops is given up on after
// the longest answer.
QByteArray SerialPrinterLink::waitForQuiet(int ms)
{
    QByteArray heard;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms + PrinterSerial::MaxAnswerMs && m_port.waitForReadyRead(ms)) {
        heard += m_port.readAll();
        if (portBroken())
            break;
    }
    return heard;
}

void SerialPrinterLink::ignore(const QByteArray &bytes, const AnswerFault &why)
{
    m_ignored << IgnoredAnswer{bytes, why};
}

void SerialPrinterLink::dropPort(const QString &reason)
{
    if (m_port.isOpen())
        m_port.close();
    m_port.clearError();
    if (m_failureReported)
        return;
    m_failureReported = true;
    qWarning("printer port %s: %s", qUtf8Printable(m_portName), qUtf8Printable(reason));
}
