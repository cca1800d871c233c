// Printer link and the parameter area of the printer test page.
#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "panel/printercommands.h"
#include "panel/serialprinterlink.h"

#include <iterator>

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

#define PANEL_NOOP(text) QT_TRANSLATE_NOOP("sendordertoprinter_test", text)

static const char *const parameterDescriptions[] = {
    PANEL_NOOP("Paramter Name: Start Position\nRange: [0-400], 100 = 6mm\nExplanation: Start "
               "position to the top of the label.\nDefault: 0\nCaution: Please input a "
               "reasonable value for small labels."),
    PANEL_NOOP("Parameter Name: Heating Level\nRange: [1-8]\nExplanation: Printer's heating "
               "level. Increase as level increase.\nDefault: 2"),
    PANEL_NOOP("Parameter Name: Printing Speed\nRange: [1-8]\nExplanation: Printing speed. "
               "Increase as level increases.\nDefault: 2"),
    PANEL_NOOP("Parameter Name: Pull Back Distance\nRange: [1-40] 100 = 6mm\nExplanation: Paper "
               "will be pulled back a certain distance before printing.It will automatically "
               "feed extra distance of 60.\nDefault: 0"),
    PANEL_NOOP("Parameter Name: Extra Feed Distance\nRange: [0-255] 100=6mm\nExplanation: Extra "
               "feed length after printing.\nDefault: 0"),
    PANEL_NOOP("Name: Right printing section setting\nValues:【0-3】.\nExplanation：Extra heating "
               "interation for this section.\nDefault：0\nNote：\n1:Only use this function when "
               "the printer quality is very bad.2：It is very unlikely to use any value above 1."),
    PANEL_NOOP("Name: Center printing section setting\nValues:【0-3】.\nExplanation：Extra heating "
               "interation for this section.\nDefault：0\nNote：\n1:Only use this function when "
               "the printer quality is very bad.2：It is very unlikely to use any value above 1."),
    PANEL_NOOP("Name: Left printing section setting\nValues:【0-3】.\nExplanation：Extra heating "
               "interation for this section.\nDefault：0\nNote：\n1:Only use this function when "
               "the printer quality is very bad.2：It is very unlikely to use any value above 1."),
    PANEL_NOOP("Name: Internal Sensor Threshold.\nDefault  ：15000.\nExplanation: The threshold "
               "between the index change of between paper and gap.\nNote: The value may have "
               "great effect in printing."),
};

void sendordertoprinter_test::on_comboBox_currentIndexChanged(int index)
{
    ui->textEdit_2->clear();
    if (index >= 0 && index < int(std::size(parameterDescriptions)))
        ui->textEdit_2->setText(tr(parameterDescriptions[index]));
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
    // A value the panel itself refuses never reaches the printer.
    const QString command = basicParameterCommand(*rule, ui->combox_lab_data->text().toInt());
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
    ui->textEdit->setText(tr(rule->name) + QLatin1String(": ") +
                          QString::number(parameterReadBack(*rule, reply)));
}

void sendordertoprinter_test::getCurrReapeatHeatLocation(QString Location)
{
    const QString command = heatSectionCommand(Location, ui->combox_lab_data->text().toInt());
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
    const int value = entry.toInt();
    if (value < 0) {
        ui->textEdit->clear();
        ui->textEdit->setText(tr("Invalid Input. Must not be negative."));
        return;
    }
    const QString command = parameterCommand(code, value, FieldLayout::ValueSecond);
    if (command.isEmpty()) {
        ui->textEdit->clear();
        ui->textEdit->setText(tr("Incorrect Parameter Value"));
        return;
    }
    ui->textEdit->clear();
    ui->textEdit->setText(tr("Internel Sensor Threshold has been set."));
    showIfNoAnswer(sendReceive(command));
}
