#ifndef POSTCLICK_H
#define POSTCLICK_H

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPoint>
#include <QWidget>

// A tap as the window system would queue it while the panel is blocked: delivered only
// when the event loop runs again.
inline void postClick(QWidget *button)
{
    const QPoint centre = button->rect().center();
    const QPoint global = button->mapToGlobal(centre);
    QCoreApplication::postEvent(button,
                                new QMouseEvent(QEvent::MouseButtonPress, centre, global,
                                                Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(button,
                                new QMouseEvent(QEvent::MouseButtonRelease, centre, global,
                                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

#endif
