#include "printer/serialprinterlink.h"

#include "printer/printeranswers.h"
#include "printer/serialframing.h"

#include <QCoreApplication>
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
        ignore(before,
               QCoreApplication::translate("sendordertoprinter_test", "came before this command"));
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

    const QByteArray answer = readAnswer();
    if (portBroken())
        dropPort(failureReason(m_port));
    if (answer.isEmpty())
        return {QString()};
    const QString fault = answerFault(frame, answer);
    if (!fault.isEmpty()) {
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
    if (!ok)
        dropPort(failureReason(m_port));
    return ok;
}

bool SerialPrinterLink::portBroken() const
{
    return !m_port.isOpen() || isBroken(m_port.error());
}

QByteArray SerialPrinterLink::readAnswer()
{
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (answer.isEmpty()) {
        const qint64 left = m_firstByteWaitMs - clock.elapsed();
        if (left <= 0 || !m_port.waitForReadyRead(int(left)) || portBroken())
            return answer;
        answer += m_port.readAll();
    }
    clock.restart();
    while (clock.elapsed() < PrinterSerial::MaxAnswerMs && m_port.waitForReadyRead(m_quietGapMs))
        answer += m_port.readAll();
    return answer;
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

void SerialPrinterLink::ignore(const QByteArray &bytes, const QString &reason)
{
    m_ignored << QCoreApplication::translate("sendordertoprinter_test", "ignored %1: %2")
                     .arg(trafficHex(bytes), reason);
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
