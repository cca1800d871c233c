#include "panel/busyguard.h"

#include <QCoreApplication>
#include <QEvent>

namespace {

bool isInput(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::TabletPress:
    case QEvent::TabletRelease:
    case QEvent::TabletMove:
    case QEvent::ContextMenu:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
        return true;
    default:
        return false;
    }
}

} // namespace

BusyGuard::BusyGuard() = default;

BusyGuard::~BusyGuard()
{
    finish();
}

void BusyGuard::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    QCoreApplication *application = QCoreApplication::instance();
    if (!application)
        return;
    application->installEventFilter(this);
    // Input arrives in stages (device, window system queue, posted events): a few rounds
    // take whatever has queued up through all of them.
    for (int round = 0; round < 3; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    application->removeEventFilter(this);
}

bool BusyGuard::eventFilter(QObject *watched, QEvent *event)
{
    if (isInput(event->type())) {
        ++m_discarded;
        return true;
    }
    return QObject::eventFilter(watched, event);
}
