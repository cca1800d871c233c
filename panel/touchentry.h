#ifndef TOUCHENTRY_H
#define TOUCHENTRY_H

#include <QObject>
#include <QPointer>

#include <functional>

class QLineEdit;

// The printer page's value field for a finger and for a keyboard: a touch on it opens the
// numeric keypad, whose OK writes into the field, and the field takes the keyboard's focus
// whenever it comes on screen, so a USB keyboard types into it.
class TouchEntry : public QObject
{
public:
    // `title` names what is being typed (the chosen parameter) when the keypad opens.
    TouchEntry(QLineEdit *field, std::function<QString()> title);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void openKeypad();

    QPointer<QLineEdit> m_field;
    std::function<QString()> m_title;
};

#endif
