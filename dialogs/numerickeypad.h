#ifndef NUMERICKEYPAD_H
#define NUMERICKEYPAD_H

#include <QDialog>
#include <QString>

class QAbstractButton;

namespace Ui {
class NumericKeypad;
}

// Digits for a panel without a keyboard: keys sized for a finger, the value shown above them,
// OK takes it, Cancel keeps what was there. A keyboard works as well (digits, Backspace,
// Delete clears, Enter, Escape).
class NumericKeypad : public QDialog
{
    Q_OBJECT

public:
    // More digits than any printer setting takes; a longer entry is refused key by key.
    static constexpr int MaxDigits = 10;

    NumericKeypad(const QString &title, const QString &value, QWidget *parent = nullptr);
    ~NumericKeypad() override;

    QString value() const;

    // Shows the keypad over `parent` and waits. True when the technician pressed OK, with
    // `value` set to what he typed; false leaves `value` as it was.
    static bool edit(QWidget *parent, const QString &title, QString *value);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private slots:
    void on_digits_buttonClicked(QAbstractButton *button);
    void on_key_delete_clicked();
    void on_key_clear_clicked();
    void on_key_ok_clicked();
    void on_key_cancel_clicked();

private:
    void type(QChar digit);

    Ui::NumericKeypad *ui;
};

#endif
