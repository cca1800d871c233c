#ifndef BUSYGUARD_H
#define BUSYGUARD_H

#include <QObject>

// A maintenance action blocks the event loop while it runs, so the taps and keys a technician
// makes meanwhile wait in the queue, and would press their buttons the moment it ends (a tap on
// "Clear Data" during a backup would clear the data right after it). Made when the action
// starts, the guard drops them instead: finish() (or the destructor) delivers what queued up
// with every input event swallowed. Call finish() before the action's closing box, so that a
// queued tap cannot close the box unread either.
class BusyGuard : public QObject
{
public:
    BusyGuard();
    ~BusyGuard() override;

    void finish();
    int discarded() const { return m_discarded; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool m_finished = false;
    int m_discarded = 0;
};

#endif
