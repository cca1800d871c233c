#ifndef PROGRESSWATCH_H
#define PROGRESSWATCH_H

#include <QApplication>
#include <QEvent>
#include <QLabel>
#include <QList>
#include <QObject>
#include <QProgressBar>
#include <QString>
#include <QStringList>

#include <functional>

// Every state of the progress dialog that was drawn, as the technician saw it: its step line
// and its bar's value, once each time either changed. The job blocks the event loop, so the
// drawings are what counts.
class ProgressWatch : public QObject
{
public:
    struct Seen
    {
        QString step;
        int value;
    };
    ProgressWatch() { qApp->installEventFilter(this); }
    ~ProgressWatch() override { qApp->removeEventFilter(this); }
    QList<Seen> seen;

    // The steps shown, in order, each once.
    QStringList steps() const
    {
        QStringList shown;
        for (const Seen &state : seen) {
            if (shown.isEmpty() || shown.last() != state.step)
                shown << state.step;
        }
        return shown;
    }
    // The values drawn while `step` was shown.
    QList<int> values(const QString &step) const
    {
        QList<int> drawn;
        for (const Seen &state : seen) {
            if (state.step == step)
                drawn << state.value;
        }
        return drawn;
    }
    // True when the bar never went back.
    bool onlyForward() const
    {
        for (int i = 1; i < seen.size(); ++i) {
            if (seen.at(i).value < seen.at(i - 1).value)
                return false;
        }
        return true;
    }

    // Called once when the step `atStep` is drawn with a value of `at` or more.
    std::function<void()> atValue;
    QString atStep;
    int at = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Paint)
            return false;
        auto *widget = qobject_cast<QWidget *>(watched);
        QWidget *dialog = widget ? widget->window() : nullptr;
        for (QWidget *up = widget; up; up = up->parentWidget()) {
            if (up->objectName() == QLatin1String("MyProgressDialog"))
                dialog = up;
        }
        if (!dialog || dialog->objectName() != QLatin1String("MyProgressDialog"))
            return false;
        auto *bar = dialog->findChild<QProgressBar *>();
        auto *step = dialog->findChild<QLabel *>(QStringLiteral("label_step"));
        if (watched != bar && watched != step)
            return false;
        const Seen now{step->text(), bar->value()};
        if (seen.isEmpty() || seen.last().step != now.step || seen.last().value != now.value)
            seen << now;
        if (atValue && now.step == atStep && now.value >= at) {
            const auto action = std::move(atValue);
            atValue = nullptr;
            action();
        }
        return false;
    }
};

#endif
