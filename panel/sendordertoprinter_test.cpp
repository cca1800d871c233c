#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "maintenance/system/commandrunner.h"
#include "printer/printercommands.h"
#include "printer/serialprinterlink.h"

#include <QDebug>
#include <QTextCursor>
#include <QTextDocument>

QString sendordertoprinter_test::mTempSendCommder;

sendordertoprinter_test::sendordertoprinter_test(QWidget *parent)
    : QWidget(parent), ui(new Ui::sendordertoprinter_test)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    ui->textEdit_2->setText(tr(parameterDescription(0)));
    ui->textEdit->setReadOnly(true);
    ui->textEdit_2->setReadOnly(true);
    ui->print_format->setText(QStringLiteral("Test\nMethod:1"));
    testMethod = 1;
    ui->send_2->hide();
    ui->stackedWidget->setCurrentWidget(ui->widget_backup);
}

sendordertoprinter_test::~sendordertoprinter_test()
{
    qDebug("sendordertoprinter_test::~sendordertoprinter_test()");
    delete ui;
}

void sendordertoprinter_test::setPrinterLink(PrinterLink *link)
{
    m_link = link;
}

void sendordertoprinter_test::setCommandRunner(CommandRunner *runner)
{
    m_runner = runner;
}

void sendordertoprinter_test::setSystemRoot(const QString &root)
{
    m_systemRoot = root;
}

void sendordertoprinter_test::setCurrentPage(int index)
{
    ui->stackedWidget->setCurrentIndex(index);
}

void sendordertoprinter_test::on_btn_openPrinter_clicked()
{
    ui->stackedWidget->setCurrentWidget(ui->widget_printer);
}

void sendordertoprinter_test::on_btn_openBackUp_clicked()
{
    ui->stackedWidget->setCurrentWidget(ui->widget_backup);
}

void sendordertoprinter_test::on_print_format_clicked()
{
    const int next = testMethod + 1;
    if (next > 3) {
        testMethod = 1;
        ui->print_format->setText(QStringLiteral("Test\nMethod:1"));
        return;
    }
    testMethod = next;
    if (next == 2)
        ui->print_format->setText(QStringLiteral("Test\nMethod:2"));
    else if (next == 3)
        ui->print_format->setText(QStringLiteral("Test\nMethod:3"));
}

void sendordertoprinter_test::testprinter(QString text)
{
    ui->label_test->insertPlainText(text + QLatin1Char('\n'));
    QTextCursor cursor = ui->label_test->textCursor();
    cursor.movePosition(QTextCursor::End, QTextCursor::MoveAnchor);
    ui->label_test->setTextCursor(cursor);
    if (ui->label_test->document()->lineCount() > 200)
        ui->label_test->clear();
}

void sendordertoprinter_test::on_send_2_clicked()
{
    deleteLater();
}

void sendordertoprinter_test::on_Print_clicked() {}

void sendordertoprinter_test::on_feed_clicked() {}
