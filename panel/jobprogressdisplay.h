#ifndef JOBPROGRESSDISPLAY_H
#define JOBPROGRESSDISPLAY_H

#include "maintenance/jobprogress.h"

#include <QElapsedTimer>
#include <QString>

#include <functional>

class MyProgressDialog;

// A maintenance job's progress on the progress dialog: the step in words above the bar, the
// bar by the bytes of the whole job (files and dumps together), and below it the time left
// once the job has run long enough to tell. The job runs on the GUI thread without the event
// loop: whatever changes is drawn at once. Updates come often (one per entry of a tree), so a
// new value is drawn at most every 50 ms, a new step at once.
class JobProgressDisplay
{
public:
    // Milliseconds from any fixed point; a test gives its own clock.
    using Clock = std::function<qint64()>;

    // The bar's scale: tenths of a percent, whatever the job's size.
    static constexpr int barMaximum = 1000;

    explicit JobProgressDisplay(MyProgressDialog &dialog, Clock clock = Clock());

    void update(const JobProgress &progress);
    // update(), as a job calls it.
    JobProgressCallback callback();

private:
    qint64 now() const;
    QString timeLeft(const JobProgress &progress, qint64 at);

    MyProgressDialog &m_dialog;
    Clock m_clock;
    QElapsedTimer m_timer;
    QString m_step;
    int m_value = 0;
    qint64 m_drawnAt = -1;
    // Where the estimate of the time left starts: the first update that knew the total.
    qint64 m_startedAt = -1;
    qint64 m_startDone = 0;
    qint64 m_timeShownAt = -1;
};

#endif
