#ifndef MYPROGRESSDIALOG_H
#define MYPROGRESSDIALOG_H

#include <QDialog>
#include <QString>

namespace Ui {
class MyProgressDialog;
}

class MyProgressDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MyProgressDialog(const QString &caption, QWidget *parent = nullptr);
    ~MyProgressDialog() override;

    void setValue(int value);
    void setMaxNum(int max);

private:
    Ui::MyProgressDialog *ui;
};

#endif
