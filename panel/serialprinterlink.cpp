#include "panel/serialprinterlink.h"

#include "panel/serialframing.h"

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
    : m_portName(portName), m_firstByteWaitMs(PrinterSerial::FirstByteWaitMs)
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
    m_port.readAll();
    m_port.clear(QSerialPort::Input);
    m_port.clearError();

    bool written = m_port.write(frame) == frame.size();
    if (written && m_port.bytesToWrite() > 0)
        written = m_port.waitForBytesWritten(PrinterSerial::MaxAnswerMs);
    if (!written) {
        dropPort(failureReason(m_port));
        return {QString()};
    }
    m_failureReported = false;

    const QByteArray answer = readAnswer();
    if (portBroken())
        dropPort(failureReason(m_port));
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
    while (clock.elapsed() < PrinterSerial::MaxAnswerMs &&
           m_port.waitForReadyRead(PrinterSerial::QuietGapMs))
        answer += m_port.readAll();
    return answer;
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
