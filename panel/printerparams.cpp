// Printer link and the parameter area of the printer test page.
#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "panel/printercommands.h"
#include "panel/serialprinterlink.h"

QStringList sendordertoprinter_test::sendReceive(QString command)
{
    if (!m_link) {
        if (!m_serialLink)
            m_serialLink = std::make_unique<SerialPrinterLink>();
        m_link = m_serialLink.get();
    }
    const QStringList reply = m_link->exchange(command);
    testprinter(QLatin1String("> ") + command);
    testprinter(isNoAnswer(reply) ? QStringLiteral("< (no answer)")
                                  : QLatin1String("< ") + reply.join(QLatin1Char(',')));
    return reply;
}

bool sendordertoprinter_test::showIfNoAnswer(const QStringList &reply)
{
    if (!isNoAnswer(reply))
        return false;
    ui->textEdit->setText(tr("No answer from printer"));
    return true;
}

void sendordertoprinter_test::on_comboBox_currentIndexChanged(int index)
{
    Q_UNUSED(index)
}

void sendordertoprinter_test::on_combox_send_clicked() {}

void sendordertoprinter_test::getCurrSitCmd(QString code)
{
    Q_UNUSED(code)
}

void sendordertoprinter_test::getCurrReapeatHeatLocation(QString Location)
{
    Q_UNUSED(Location)
}

void sendordertoprinter_test::sendInsideOptoValue(QString code)
{
    Q_UNUSED(code)
}
