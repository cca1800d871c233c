#include "panel/jobprogressdisplay.h"

#include "dialogs/myprogressdialog.h"
#include "panel/maintenancetext.h"

#include <algorithm>

namespace {

const qint64 drawEveryMs = 50;
// An estimate made sooner swings with every file.
const qint64 estimateAfterMs = 3000;
const qint64 timeLineEveryMs = 1000;

} // namespace

JobProgressDisplay::JobProgressDisplay(MyProgressDialog &dialog, Clock clock)
    : m_dialog(dialog), m_clock(std::move(clock))
{
    m_timer.start();
    m_dialog.setMaxNum(barMaximum);
    m_dialog.setValue(0);
}

qint64 JobProgressDisplay::now() const
{
    return m_clock ? m_clock() : m_timer.elapsed();
}

JobProgressCallback JobProgressDisplay::callback()
{
    return [this](const JobProgress &progress) { update(progress); };
}

void JobProgressDisplay::update(const JobProgress &progress)
{
    const qint64 at = now();
    const bool newStep =
        m_drawnAt < 0 || progress.step != m_shownStep || progress.name != m_shownName;
    // The end of a job or step is always drawn: nothing may come after it to draw it.
    const bool whole = progress.total > 0 && progress.done >= progress.total;
    if (!newStep && !whole && at - m_drawnAt < drawEveryMs)
        return;
    m_drawnAt = at;
    m_shownStep = progress.step;
    m_shownName = progress.name;
    const QString step = MaintenanceText::step(progress);
    if (progress.total > 0) {
        const qint64 done = std::min(std::max<qint64>(progress.done, 0), progress.total);
        // The total may grow (a dump larger than foreseen): the bar then waits, it never
        // goes back.
        m_value = std::max(m_value, int(done * barMaximum / progress.total));
    }
    m_dialog.setStep(step);
    m_dialog.setValue(m_value);
    const QString left = timeLeft(progress, at);
    if (newStep || left.isEmpty() || m_timeShownAt < 0 || at - m_timeShownAt >= timeLineEveryMs) {
        m_dialog.setTimeLeft(left);
        m_timeShownAt = at;
    }
}

QString JobProgressDisplay::timeLeft(const JobProgress &progress, qint64 at)
{
    if (progress.total <= 0)
        return QString();
    if (m_startedAt < 0) {
        m_startedAt = at;
        m_startDone = progress.done;
    }
    // How long writing to disk takes cannot be seen from here.
    if (progress.step == JobProgress::Step::Syncing || progress.done >= progress.total)
        return QString();
    const qint64 elapsed = at - m_startedAt;
    const qint64 moved = progress.done - m_startDone;
    if (elapsed < estimateAfterMs || moved <= 0)
        return QString();
    const double rest = double(progress.total - progress.done) * double(elapsed) / double(moved);
    return MaintenanceText::timeLeft(qint64(rest / 1000.0 + 0.5));
}
