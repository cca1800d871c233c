#ifndef DURINGPROGRESS_H
#define DURINGPROGRESS_H

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QObject>
#include <QProgressBar>
#include <QString>

#include <functional>

// Runs `action` once while a progress dialog shows `step` or more: a hook in the copy, which
// otherwise blocks the event loop. With a `caption`, only the dialog whose label shows it
// counts; without one, any progress dialog does.
class DuringProgress : public QObject
{
public:
    DuringProgress(const QString &caption, int step, std::function<void()> action)
        : m_caption(caption), m_step(step), m_action(std::move(action))
    {
        qApp->installEventFilter(this);
    }
    bool fired = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show || watched->objectName() != "MyProgressDialog")
            return false;
        auto *bar = watched->findChild<QProgressBar *>();
        if (!bar)
            return false;
        if (!m_caption.isEmpty()) {
            auto *label = watched->findChild<QLabel *>(QStringLiteral("label"));
            if (!label || label->text() != m_caption)
                return false;
        }
        QObject::connect(bar, &QProgressBar::valueChanged, this, [this](int value) {
            if (!fired && value >= m_step) {
                fired = true;
                m_action();
            }
        });
        return false;
    }

private:
    QString m_caption;
    int m_step;
    std::function<void()> m_action;
};

#endif
