#include "dialogs/numerickeypad.h"
#include "ui_numerickeypad.h"

#include <QKeyEvent>
#include <QScreen>
#include <QStyle>

NumericKeypad::NumericKeypad(const QString &title, const QString &value, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), ui(new Ui::NumericKeypad)
{
    ui->setupUi(this);
    setModal(true);
    ui->keypad_title->setText(title);
    // What the field held, as far as the keypad can type it.
    QString digits;
    for (const QChar c : value) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9') && digits.size() < MaxDigits)
            digits += c;
    }
    ui->keypad_value->setText(digits);
}

NumericKeypad::~NumericKeypad()
{
    delete ui;
}

QString NumericKeypad::value() const
{
    return ui->keypad_value->text();
}

bool NumericKeypad::edit(QWidget *parent, const QString &title, QString *value)
{
    NumericKeypad keypad(title, *value, parent);
    if (keypad.exec() != QDialog::Accepted)
        return false;
    *value = keypad.value();
    return true;
}

void NumericKeypad::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // No window manager places it on the device: centred on the panel (or the screen).
    const QWidget *over = parentWidget() ? parentWidget()->window() : nullptr;
    const QRect area = over ? over->geometry() : screen()->geometry();
    setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(), area));
}

void NumericKeypad::keyPressEvent(QKeyEvent *event)
{
    const QString text = event->text();
    if (text.size() == 1 && text.at(0) >= QLatin1Char('0') && text.at(0) <= QLatin1Char('9')) {
        type(text.at(0));
        return;
    }
    switch (event->key()) {
    case Qt::Key_Backspace:
        on_key_delete_clicked();
        return;
    case Qt::Key_Delete:
        on_key_clear_clicked();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        accept();
        return;
    default:
        // Escape rejects, as in every dialog.
        QDialog::keyPressEvent(event);
    }
}

void NumericKeypad::type(QChar digit)
{
    const QString shown = ui->keypad_value->text();
    if (shown.size() < MaxDigits)
        ui->keypad_value->setText(shown + digit);
}

void NumericKeypad::on_digits_buttonClicked(QAbstractButton *button)
{
    type(button->text().at(0));
}

void NumericKeypad::on_key_delete_clicked()
{
    ui->keypad_value->setText(ui->keypad_value->text().chopped(qMin(1, value().size())));
}

void NumericKeypad::on_key_clear_clicked()
{
    ui->keypad_value->clear();
}

void NumericKeypad::on_key_ok_clicked()
{
    accept();
}

void NumericKeypad::on_key_cancel_clicked()
{
    reject();
}
