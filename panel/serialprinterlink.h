#ifndef SERIALPRINTERLINK_H
#define SERIALPRINTERLINK_H

#include "panel/printerlink.h"

#include <QSerialPort>
#include <QString>

// The built-in printer on its serial line: one frame of bytes out, the bytes that come
// back until the line goes quiet are the answer.
class SerialPrinterLink : public PrinterLink
{
public:
    // The port named by PANEL_PRINTER_PORT, or the printer's own line.
    SerialPrinterLink();
    explicit SerialPrinterLink(const QString &portName);
    ~SerialPrinterLink() override;

    QStringList exchange(const QString &command) override;

    // How long to wait for the first byte of an answer; a slow printer may need more.
    void setFirstByteWait(int ms) { m_firstByteWaitMs = ms; }
    QString portName() const { return m_portName; }
    bool isOpen() const { return m_port.isOpen(); }

private:
    bool openPort();
    bool portBroken() const;
    QByteArray readAnswer();
    void dropPort(const QString &reason);

    QString m_portName;
    QSerialPort m_port;
    int m_firstByteWaitMs;
    bool m_inExchange = false;
    bool m_failureReported = false;
};

#endif
