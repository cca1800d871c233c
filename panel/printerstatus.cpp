// The four status queries of the printer test page.
#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "printer/statusreplies.h"

void sendordertoprinter_test::on_have_paper_reset_clicked()
{
    const QStringList reply = sendReceive(QStringLiteral("aa,e2,0,0"));
    if (!showIfNoAnswer(reply))
        ui->textEdit->setText(isYesReply(reply) ? tr("Loaded paper") : tr("Paper not loaded"));
    ui->textEdit_2->clear();
    ui->textEdit_2->setText(
        QStringLiteral("Parameter name: Paper reset  n Explanation: Print out the paper "
                       "cartridge for the last printer, and when the paper is finished, notify "
                       "the printer that the paper has completed the parameters"));
}

void sendordertoprinter_test::on_have_or_not_paper_clicked()
{
    const QStringList reply = sendReceive(QStringLiteral("aa,e1,0,0"));
    if (!showIfNoAnswer(reply))
        ui->textEdit->setText(isYesReply(reply) ? tr("Label left") : tr("None label left"));
    ui->textEdit_2->clear();
    ui->textEdit_2->setText(
        QStringLiteral("Parameter Name: Label left.\nExplanation:Judge whether"));
}

void sendordertoprinter_test::on_print_soft_version_clicked()
{
    const QStringList reply = sendReceive(QStringLiteral("aa,fd,0,0"));
    if (!showIfNoAnswer(reply))
        ui->textEdit->setText(tr("Current Version:") + versionFromReply(reply));
    ui->textEdit_2->clear();
    ui->textEdit_2->setText(tr("ameter Name: Version Lookup\nExplanation: Check the current "
                               "printer veriosn number."));
}

void sendordertoprinter_test::on_light_sensitive_status_clicked()
{
    const QStringList reply = sendReceive(QStringLiteral("aa,fb,0,0"));
    if (!showIfNoAnswer(reply))
        ui->textEdit->setText(isNoPaperAtSensor(reply) ? tr("Paper Not Detected")
                                                       : tr("Paper Detected"));
    ui->textEdit_2->clear();
    ui->textEdit_2->setText(tr("Parameter Name: Paper sensor status"));
}
