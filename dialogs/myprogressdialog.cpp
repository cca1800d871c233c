#include "dialogs/myprogressdialog.h"
#include "ui_myprogressdialog.h"

MyProgressDialog::MyProgressDialog(const QString &caption, QWidget *parent)
    : QDialog(parent), ui(new Ui::MyProgressDialog)
{
    ui->setupUi(this);
    ui->label->setText(caption);
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
