#ifndef MODALCLOSER_H
#define MODALCLOSER_H

#include "dialogs/messagedialog.h"
#include "dialogs/outcomebox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>
#include <QtTest>

// Closes the message boxes that a slot shows while the test clicks, as the technician
// would: a timer looks for the active modal box, notes its title, text and buttons, and
// presses OK. A question (the panel's own messagedialog, Cancel/Confirm) is noted in
// `questions` and answered with `answer`. Create it before the click; read `boxes` and
// `questions` after it.
class ModalCloser
{
public:
    struct Box
    {
        QString title;
        QString heading; // an outcome box's first, bold line
        QString text;
        bool failure = false; // an outcome box with the warning icon
        bool onlyOk = false;  // a single OK button
        QStringList buttons;  // their captions
        bool textFits = true; // a question's wrapped text, in its box, shows whole
    };
    enum class Answer { Confirm, Cancel };

    ModalCloser()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { closeActiveBox(); });
        m_timer.start();
    }

    QList<Box> boxes;
    QList<Box> questions;
    Answer answer = Answer::Confirm;
    // Where to save a picture of the first question and of the first box, when set.
    QString questionPicture;
    QString boxPicture;
    // When set, the question is laid out for a screen of this size before its picture is
    // taken (the device's 800 x 480 on a platform whose screen is larger).
    QSize pictureScreen;

    QStringList titles() const
    {
        QStringList result;
        for (const Box &box : boxes)
            result << box.title;
        return result;
    }

private:
    void answerQuestion(messagedialog *dialog)
    {
        Box seen;
        auto *title = dialog->findChild<QLabel *>(QStringLiteral("label_title"));
        auto *text = dialog->findChild<QLabel *>(QStringLiteral("labe_text"));
        seen.title = title ? title->text() : QString();
        seen.text = text ? text->text() : QString();
        if (pictureScreen.isValid() && text) {
            dialog->setGeometry(messagedialog::geometryFor(pictureScreen, text->wordWrap()));
            if (dialog->layout())
                dialog->layout()->activate();
        }
        if (text && text->wordWrap()) {
            const QRect room = text->contentsRect();
            seen.textFits = text->heightForWidth(room.width()) <= room.height();
        }
        questions << seen;
        if (!questionPicture.isEmpty() && questions.size() == 1)
            dialog->grab().save(questionPicture);
        const QString name =
            answer == Answer::Confirm ? QStringLiteral("comfirm") : QStringLiteral("cancel");
        auto *button = dialog->findChild<QPushButton *>(name);
        QPointer<messagedialog> alive = dialog;
        if (button)
            QTest::mouseClick(button, Qt::LeftButton);
        if (alive && alive->isVisible())
            alive->reject();
    }

    void closeOutcomeBox(OutcomeBox *box)
    {
        Box seen;
        seen.title = box->windowTitle();
        seen.heading = box->heading();
        seen.text = box->text();
        seen.failure = box->kind() == OutcomeBox::Kind::Failure;
        const QList<QPushButton *> buttons = box->findChildren<QPushButton *>();
        seen.onlyOk = buttons.size() == 1;
        for (const QPushButton *button : buttons)
            seen.buttons << button->text();
        boxes << seen;
        if (!boxPicture.isEmpty() && boxes.size() == 1)
            box->grab().save(boxPicture);
        QPointer<OutcomeBox> alive = box;
        if (!buttons.isEmpty())
            QTest::mouseClick(buttons.first(), Qt::LeftButton);
        if (alive && alive->isVisible())
            alive->reject();
    }

    void closeActiveBox()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (auto *dialog = qobject_cast<messagedialog *>(modal)) {
            if (dialog->isVisible())
                answerQuestion(dialog);
            return;
        }
        if (auto *outcome = qobject_cast<OutcomeBox *>(modal)) {
            if (outcome->isVisible())
                closeOutcomeBox(outcome);
            return;
        }
        QPointer<QMessageBox> box = qobject_cast<QMessageBox *>(modal);
        if (!box || !box->isVisible())
            return;
        Box seen;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.onlyOk = box->buttons().size() == 1 && box->button(QMessageBox::Ok);
        for (const QAbstractButton *button : box->buttons())
            seen.buttons << button->text();
        boxes << seen;
        if (!boxPicture.isEmpty() && boxes.size() == 1)
            box->grab().save(boxPicture);
        QAbstractButton *ok = box->button(QMessageBox::Ok);
        if (!ok && !box->buttons().isEmpty())
            ok = box->buttons().first();
        if (ok)
            QTest::mouseClick(ok, Qt::LeftButton);
        if (box && box->isVisible())
            box->reject();
    }

    QTimer m_timer;
};

#endif
