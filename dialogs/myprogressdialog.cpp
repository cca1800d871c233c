#include "dialogs/myprogressdialog.h"
#include "ui_myprogressdialog.h"

namespace {

void setLine(QLabel *line, const QString &text)
{
    const bool shown = !text.isEmpty();
    const bool moves = line->isVisibleTo(line->parentWidget()) != shown;
    if (line->text() == text && !moves)
        return;
    line->setText(text);
    line->setVisible(shown);
    QWidget *frame = line->parentWidget();
    if (!frame->isVisible())
        return;
    if (moves) {
        // Showing or hiding a line moves the bar: the frame is laid out and drawn anew.
        frame->layout()->activate();
        frame->repaint();
    } else {
        line->repaint();
    }
}

} // namespace

MyProgressDialog::MyProgressDialog(const QString &caption, QWidget *parent)
    : QDialog(parent), ui(new Ui::MyProgressDialog)
{
    ui->setupUi(this);
    ui->label->setText(caption);
    ui->label_step->hide();
    ui->label_time->hide();
}

MyProgressDialog::~MyProgressDialog()
{
    delete ui;
}

// Out-of-range values are passed on as they are: the bar itself ignores them.
void MyProgressDialog::setValue(int value)
{
    ui->progressBar->setValue(value);
}

void MyProgressDialog::setMaxNum(int max)
{
    ui->progressBar->setMaximum(max);
}

void MyProgressDialog::setStep(const QString &text)
{
    setLine(ui->label_step, text);
}

void MyProgressDialog::setTimeLeft(const QString &text)
{
    setLine(ui->label_time, text);
}

QString MyProgressDialog::step() const
{
    return ui->label_step->text();
}

QString MyProgressDialog::timeLeft() const
{
    return ui->label_time->text();
}
