#ifndef OUTCOMEBOX_H
#define OUTCOMEBOX_H

#include <QDialog>
#include <QSize>
#include <QString>

namespace Ui {
class OutcomeBox;
}

// The box that closes an action. The device draws no title bar, so the box says in itself
// what happened: a bold first line (the title's word, or the action's name) and the warning
// icon for a failure or the information icon for a success, then the text. The window title
// is set as well, for a desktop. One OK, big enough for a finger; the box opens centred on the
// panel.
class OutcomeBox : public QDialog
{
    Q_OBJECT

public:
    enum class Kind { Failure, Success };

    // The OK's smallest size: 9 mm high on the device's 7-inch 800 x 480 screen.
    static constexpr QSize MinimumButton{120, 48};

    OutcomeBox(Kind kind, const QString &title, const QString &heading, const QString &text,
               QWidget *parent = nullptr);
    ~OutcomeBox() override;

    Kind kind() const { return m_kind; }
    QString heading() const;
    QString text() const;

    // Shows the box, without a parent, and waits for OK.
    static int report(Kind kind, const QString &title, const QString &heading, const QString &text);

protected:
    void showEvent(QShowEvent *event) override;

private:
    Ui::OutcomeBox *ui;
    Kind m_kind;
};

#endif
