// Mode settings, the settings report and the resets of the printer test page.
#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "panel/printertext.h"
#include "printer/printercommands.h"

static const char backPaperDescription[] = QT_TRANSLATE_NOOP(
    "sendordertoprinter_test",
    "Parameter Settings: Back Paper Collection\nExplanation: Back paper collection "
    "setting\nCaution: It is default to NO collection when it is set to receipt mode.");

void sendordertoprinter_test::setPrinterMode(const QString &command, const QString &code,
                                             const QString &value, const QString &confirmed,
                                             const QString &description)
{
    const QStringList reply = sendReceive(command);
    if (!showIfNoAnswer(reply)) {
        ui->textEdit->setText(isModeConfirmed(reply, code, value)
                                  ? confirmed
                                  : tr("Setting Failed! Please check command"));
    }
    ui->textEdit_2->clear();
    ui->textEdit_2->setText(description);
}

void sendordertoprinter_test::on_nrecieve_down_paper_clicked()
{
    setPrinterMode(QStringLiteral("aa,f6,1,0"), QStringLiteral("f6"), QStringLiteral("1"),
                   tr("No longer collecting back paper"), tr(backPaperDescription));
}

void sendordertoprinter_test::on_recieve_down_paper_clicked()
{
    setPrinterMode(QStringLiteral("aa,f6,0,0"), QStringLiteral("f6"), QStringLiteral("0"),
                   tr("Now colleccting back paper"), tr(backPaperDescription));
}

void sendordertoprinter_test::on_label_paper_clicked()
{
    setPrinterMode(QStringLiteral("aa,f2,0,0"), QStringLiteral("f2"), QStringLiteral("0"),
                   tr("Paper Type: Label"),
                   tr("Parameter Name: Label Settings\nExplanation: Change mode to label "
                      "mode.\nCaution: If mode is changed from receipt to label, please "
                      "recalibrate the printer."));
}

void sendordertoprinter_test::on_paper_clicked()
{
    // The receipt type goes out as "01" but is echoed as "1".
    setPrinterMode(QStringLiteral("aa,f2,01,0"), QStringLiteral("f2"), QStringLiteral("1"),
                   tr("Paper Type: Receipt"), tr(backPaperDescription));
}

void sendordertoprinter_test::on_parameter_query_clicked()
{
    ui->textEdit->clear();
    const QStringList reply = sendReceive(QStringLiteral("aa,f4,1,0"));
    if (!showIfNoAnswer(reply))
        ui->textEdit->setText(PrinterText::settingsReport(printerSettings(reply)));
    ui->textEdit_2->clear();
    ui->textEdit_2->setText(
        tr("Parameter Name: Current Settings\nExplanation: Lookup all current settings."));
}

void sendordertoprinter_test::on_paper_reset_clicked()
{
    const QStringList reply = sendReceive(QStringLiteral("aa,fc,0,0"));
    if (!showIfNoAnswer(reply)) {
        if (reply.value(0) == QLatin1String("fc"))
            ui->textEdit->setText(QStringLiteral("Paper Reset"));
        else
            ui->textEdit->setText(tr("Setting Failed! Please check command"));
    }
    ui->textEdit_2->clear();
    ui->textEdit_2->setText(QStringLiteral(
        "Parameter Name: Paper  Replacement Reset.\nExplanation: Reset to Label from  Receipt or "
        "Receipt from Label, printing records and no of label records would be clear for "
        "preventing incorrect record data"));
}

void sendordertoprinter_test::on_parameter_reset_clicked()
{
    ui->combox_lab_data->clear();
    // Runs the selector's handler at once when the selection changes.
    ui->comboBox->setCurrentIndex(0);
    const QStringList reply = sendReceive(QStringLiteral("aa,f1,0,0"));
    if (!showIfNoAnswer(reply))
        ui->textEdit->setText(QStringLiteral("Reset Parameters"));
    ui->textEdit_2->clear();
    ui->textEdit_2->setText(
        tr("Parameter Name: Parameter Reset.\nExplanation: Reset all parameters to default "
           "values."));
}
