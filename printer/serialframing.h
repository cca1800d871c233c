#ifndef SERIALFRAMING_H
#define SERIALFRAMING_H

#include <QByteArray>
#include <QSerialPort>
#include <QString>
#include <QStringList>

// How the built-in printer is wired: its serial line and the timing of its answers.
namespace PrinterSerial {
constexpr char DefaultPort[] = "/dev/ttyS1";
constexpr char PortVariable[] = "PANEL_PRINTER_PORT";
constexpr qint32 BaudRate = 115200;
constexpr QSerialPort::DataBits DataBits = QSerialPort::Data8;
constexpr QSerialPort::Parity Parity = QSerialPort::NoParity;
constexpr QSerialPort::StopBits StopBits = QSerialPort::OneStop;
constexpr QSerialPort::FlowControl FlowControl = QSerialPort::NoFlowControl;
// How long the printer may take before the first byte of its answer.
constexpr int FirstByteWaitMs = 500;
// A pause this long after a byte ends the answer.
constexpr int QuietGapMs = 30;
// An answer that keeps streaming is cut off this long after the first byte.
constexpr int MaxAnswerMs = 500;
} // namespace PrinterSerial

// The port named by PANEL_PRINTER_PORT, or the printer's own serial line.
QString printerPortName();

// The bytes that carry a printer command string, one per comma-separated field. Empty when
// there is nothing to send: the empty command, or a field that is not one or two hex digits.
QByteArray commandFrame(const QString &command);

// One reply field per byte, in lower-case hex without leading zeros; {""} for no bytes.
QStringList replyFields(const QByteArray &bytes);

#endif
