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

    // The line above the bar (what the job is doing) and the one below it (the time left).
    // An empty text hides its line. A shown dialog draws a changed line at once, as the bar
    // draws a changed value: while a job runs, nothing else would.
    void setStep(const QString &text);
    void setTimeLeft(const QString &text);
    QString step() const;
    QString timeLeft() const;

private:
    Ui::MyProgressDialog *ui;
};

#endif
