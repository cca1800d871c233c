// Printer link and the parameter area of the printer test page.
#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "panel/printertext.h"
#include "printer/printercommands.h"
#include "printer/serialprinterlink.h"

QStringList sendordertoprinter_test::sendReceive(QString command)
{
    if (!m_link) {
        if (!m_serialLink)
            m_serialLink = std::make_unique<SerialPrinterLink>();
        m_link = m_serialLink.get();
    }
    const QStringList reply = m_link->exchange(command);
    testprinter(QLatin1String("> ") + command);
    for (const IgnoredAnswer &ignored : m_link->ignoredAnswers())
        testprinter(QLatin1String("< ") + PrinterText::ignored(ignored));
    testprinter(isNoAnswer(reply) ? QStringLiteral("< (no answer)")
                                  : QLatin1String("< ") + reply.join(QLatin1Char(',')));
    return reply;
}

bool sendordertoprinter_test::showIfNoAnswer(const QStringList &reply)
{
    if (!isNoAnswer(reply))
        return false;
    // A port that is missing or cannot be opened is no silent printer: say which and why.
    const QString failure = m_link ? m_link->openFailure() : QString();
    if (failure.isEmpty())
        ui->textEdit->setText(tr("No answer from printer"));
    else
        ui->textEdit->setText(
            tr("Printer port %1 cannot be opened: %2").arg(m_link->portName(), failure));
    return true;
}

void sendordertoprinter_test::on_comboBox_currentIndexChanged(int index)
{
    ui->textEdit_2->clear();
    const QString description = PrinterText::parameterDescription(index);
    if (!description.isEmpty())
        ui->textEdit_2->setText(description);
}

void sendordertoprinter_test::on_combox_send_clicked()
{
    if (ui->combox_lab_data->text().isEmpty()) {
        ui->textEdit->setText(tr("No Input Found"));
        return;
    }
    switch (ui->comboBox->currentIndex()) {
    case 0:
        getCurrSitCmd(QStringLiteral("f3"));
        break;
    case 1:
        getCurrSitCmd(QStringLiteral("fa"));
        break;
    case 2:
        getCurrSitCmd(QStringLiteral("f7"));
        break;
    case 3:
        getCurrSitCmd(QStringLiteral("f8"));
        break;
    case 4:
        getCurrSitCmd(QStringLiteral("f9"));
        break;
    case 5:
        getCurrReapeatHeatLocation(QStringLiteral("1"));
        break;
    case 6:
        getCurrReapeatHeatLocation(QStringLiteral("2"));
        break;
    case 7:
        getCurrReapeatHeatLocation(QStringLiteral("3"));
        break;
    case 8:
        sendInsideOptoValue(QStringLiteral("f5"));
        break;
    default:
        break;
    }
}

void sendordertoprinter_test::getCurrSitCmd(QString code)
{
    const ParameterRule *rule = parameterRule(code);
    if (!rule)
        return;
    // A value the panel itself refuses, or text that is no number, never reaches the printer.
    const std::optional<int> value = enteredValue(ui->combox_lab_data->text());
    const QString command = value ? basicParameterCommand(*rule, *value) : QString();
    if (command.isEmpty()) {
        ui->textEdit->setText(tr("Incorrect Parameter Value"));
        return;
    }
    const QStringList reply = sendReceive(command);
    if (showIfNoAnswer(reply))
        return;
    if (isParameterFailure(code, reply)) {
        ui->textEdit->setText(tr("Settings Failed"));
        return;
    }
    ui->textEdit->setText(PrinterText::parameterName(*rule) + QLatin1String(": ") +
                          QString::number(parameterReadBack(*rule, reply)));
}

void sendordertoprinter_test::getCurrReapeatHeatLocation(QString Location)
{
    const std::optional<int> value = enteredValue(ui->combox_lab_data->text());
    const QString command = value ? heatSectionCommand(Location, *value) : QString();
    if (command.isEmpty()) {
        ui->textEdit->clear();
        ui->textEdit->setText(tr("Setting Failed! Incorrect Parameter Value"));
        return;
    }
    const QStringList reply = sendReceive(command);
    if (showIfNoAnswer(reply))
        return;
    ui->textEdit->clear();
    if (reply.value(0) == QLatin1String("fe"))
        ui->textEdit->setText(tr("Reset to default heating\n\nPlease check Current Settings"));
    else
        ui->textEdit->setText(tr("Setting Failed! Please check command"));
}

void sendordertoprinter_test::sendInsideOptoValue(QString code)
{
    const QString entry = ui->combox_lab_data->text();
    if (entry.isEmpty()) {
        ui->textEdit->clear();
        ui->textEdit->setText(tr("No Input Found"));
        return;
    }
    const std::optional<int> value = enteredValue(entry);
    if (value && *value < 0) {
        ui->textEdit->clear();
        ui->textEdit->setText(tr("Invalid Input. Must not be negative."));
        return;
    }
    const QString command =
        value ? parameterCommand(code, *value, FieldLayout::ValueSecond) : QString();
    if (command.isEmpty()) {
        ui->textEdit->clear();
        ui->textEdit->setText(tr("Incorrect Parameter Value"));
        return;
    }
    ui->textEdit->clear();
    ui->textEdit->setText(tr("Internel Sensor Threshold has been set."));
    showIfNoAnswer(sendReceive(command));
}
