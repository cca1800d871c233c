#ifndef SERIALPRINTERLINK_H
#define SERIALPRINTERLINK_H

#include "printer/printerlink.h"

#include <QSerialPort>
#include <QString>

// The built-in printer on its serial line: one frame of bytes out, the bytes that come back are
// the answer, taken as soon as it is as long as the printer's answer to that command is (and
// else once the line goes quiet). Only an answer of the shape the printer gives to that
// command is handed on; anything else counts as no answer.
class SerialPrinterLink : public PrinterLink
{
public:
    // The port named by PANEL_PRINTER_PORT, or the printer's own line.
    SerialPrinterLink();
    explicit SerialPrinterLink(const QString &portName);
    ~SerialPrinterLink() override;

    QStringList exchange(const QString &command) override;
    QList<IgnoredAnswer> ignoredAnswers() const override { return m_ignored; }

    // How long to wait for the first byte of an answer; a slow printer may need more.
    void setFirstByteWait(int ms) { m_firstByteWaitMs = ms; }
    // How long the line must stay silent to end an answer; a slow line may need more.
    void setQuietGap(int ms) { m_quietGapMs = ms; }
    QString portName() const override { return m_portName; }
    QString openFailure() const override { return m_openFailure; }
    bool isOpen() const { return m_port.isOpen(); }

private:
    bool openPort();
    bool portBroken() const;
    QByteArray readAnswer(const QByteArray &frame);
    QByteArray waitForQuiet(int ms);
    void ignore(const QByteArray &bytes, const AnswerFault &why);
    void dropPort(const QString &reason);

    QString m_portName;
    QSerialPort m_port;
    int m_firstByteWaitMs;
    int m_quietGapMs;
    // The last command written, and whether its answer may still be on its way.
    QByteArray m_lastFrame;
    bool m_answerOutstanding = false;
    QList<IgnoredAnswer> m_ignored;
    QString m_openFailure;
    bool m_inExchange = false;
    bool m_failureReported = false;
};

#endif
