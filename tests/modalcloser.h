#ifndef MODALCLOSER_H
#define MODALCLOSER_H

#include <QAbstractButton>
#include <QApplication>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QtTest>

// Closes the message boxes that a slot shows while the test clicks, as the technician
// would: a timer looks for the active modal box, notes its title, text and buttons, and
// presses OK. Create it before the click; read `boxes` after it.
class ModalCloser
{
public:
    struct Box
    {
        QString title;
        QString text;
        bool onlyOk = false; // a single OK button
        QStringList buttons; // their captions
    };

    ModalCloser()
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { closeActiveBox(); });
        m_timer.start();
    }

    QList<Box> boxes;

    QStringList titles() const
    {
        QStringList result;
        for (const Box &box : boxes)
            result << box.title;
        return result;
    }

private:
    void closeActiveBox()
    {
        QPointer<QMessageBox> box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        Box seen;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.onlyOk = box->buttons().size() == 1 && box->button(QMessageBox::Ok);
        for (const QAbstractButton *button : box->buttons())
            seen.buttons << button->text();
        boxes << seen;
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
