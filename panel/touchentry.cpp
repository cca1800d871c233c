#include "panel/touchentry.h"

#include "dialogs/numerickeypad.h"

#include <QEvent>
#include <QLineEdit>
#include <QMouseEvent>

TouchEntry::TouchEntry(QLineEdit *field, std::function<QString()> title)
    : QObject(field), m_field(field), m_title(std::move(title))
{
    field->setFocusPolicy(Qt::StrongFocus);
    field->installEventFilter(this);
}

bool TouchEntry::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_field)
        return false;
    switch (event->type()) {
    case QEvent::Show:
        m_field->setFocus(Qt::OtherFocusReason);
        break;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        // A finger that slid off the field before lifting did not mean it.
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
        const QPoint at = mouse->position().toPoint();
#else
        const QPoint at = mouse->pos();
#endif
        if (mouse->button() == Qt::LeftButton && m_field->rect().contains(at)) {
            openKeypad();
            return true;
        }
        break;
    }
    default:
        break;
    }
    return false;
}

void TouchEntry::openKeypad()
{
    QString value = m_field->text();
    if (NumericKeypad::edit(m_field, m_title ? m_title() : QString(), &value)) {
        m_field->setText(value);
        m_field->setFocus(Qt::OtherFocusReason);
    }
}
