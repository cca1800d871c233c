#include "panel/sendordertoprinter_test.h"
#include "ui_sendordertoprinter_test.h"

#include "dialogs/captionfitter.h"
#include "maintenance/system/commandrunner.h"
#include "panel/actionjournal.h"
#include "panel/printertext.h"
#include "panel/touchentry.h"
#include "printer/printercommands.h"
#include "printer/serialprinterlink.h"

#include <QDebug>
#include <QScrollBar>
#include <QScroller>
#include <QTextCursor>
#include <QTextDocument>

QString sendordertoprinter_test::mTempSendCommder;

namespace {

// A scroll bar a finger can hold; the boxes scroll by dragging their text as well.
const char FingerScrollBar[] = "QScrollBar:vertical {\n"
                               "    width: 24px;\n"
                               "    background: rgb(200, 200, 200);\n"
                               "    margin: 0px;\n"
                               "}\n"
                               "QScrollBar::handle:vertical {\n"
                               "    background: rgb(110, 110, 110);\n"
                               "    min-height: 40px;\n"
                               "    border-radius: 4px;\n"
                               "    margin: 2px;\n"
                               "}\n"
                               "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical {\n"
                               "    height: 0px;\n"
                               "}\n"
                               "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical {\n"
                               "    background: none;\n"
                               "}\n";

} // namespace

sendordertoprinter_test::sendordertoprinter_test(QWidget *parent)
    : QWidget(parent), ui(new Ui::sendordertoprinter_test)
{
    ui->setupUi(this);
    setWindowFlags(Qt::FramelessWindowHint);
    ui->textEdit_2->setText(PrinterText::parameterDescription(0));
    ui->textEdit->setReadOnly(true);
    ui->textEdit_2->setReadOnly(true);
    // The boxes only show; a finger drags them, and the keyboard types into the value field.
    ui->label_test->setReadOnly(true);
    for (QTextEdit *box : {ui->label_test, ui->textEdit, ui->textEdit_2}) {
        box->setFocusPolicy(Qt::NoFocus);
        box->verticalScrollBar()->setStyleSheet(QLatin1String(FingerScrollBar));
        QScroller::grabGesture(box->viewport(), QScroller::LeftMouseButtonGesture);
    }
    new TouchEntry(ui->combox_lab_data, [this] { return ui->comboBox->currentText(); });
    ui->print_format->setText(QStringLiteral("Test\nMethod:1"));
    testMethod = 1;
    ui->send_2->hide();
    ui->stackedWidget->setCurrentWidget(ui->widget_backup);
    new CaptionFitter(this);
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
