#ifndef MAINTENANCELOCK_H
#define MAINTENANCELOCK_H

#include "maintenance/fs/uniquefd.h"

#include <QByteArray>
#include <QString>

// One maintenance action (Backup, Restore, Clear Data) at a time on a device, whichever
// panel starts it: an flock() on <root>/run/lock/servicepanel.lock, held while the action
// runs. The kernel lets it go when the process ends, however it ends, so a panel that was
// killed or lost its power blocks nobody. The file lies where Clear Data never deletes, and
// is made (with its folder) when missing. While the lock is held the file names the process
// and its action, for the box of a panel that finds it taken.
class MaintenanceLock
{
public:
    enum class Action { Backup, Restore, ClearData };
    enum class State {
        Free,   // not taken (yet, or released)
        Held,   // taken by this object
        Busy,   // another action holds it: holderKnown() and the others say which
        Failed, // the lock file cannot be made or locked: error()
    };

    explicit MaintenanceLock(const QString &systemRoot);
    ~MaintenanceLock();
    MaintenanceLock(const MaintenanceLock &) = delete;
    MaintenanceLock &operator=(const MaintenanceLock &) = delete;

    static QString lockPath(const QString &systemRoot);

    // Takes the lock for `action` without waiting; true when it is held.
    bool take(Action action);
    void release();

    State state() const { return m_state; }
    int error() const { return m_error; }
    // What the holder wrote into the file, when Busy and it could be read.
    bool holderKnown() const { return m_holderKnown; }
    Action holderAction() const { return m_holderAction; }
    qint64 holderPid() const { return m_holderPid; }

private:
    bool fail(int error);
    void readHolder();

    QString m_path;
    UniqueFd m_fd;
    State m_state = State::Free;
    int m_error = 0;
    bool m_holderKnown = false;
    Action m_holderAction = Action::Backup;
    qint64 m_holderPid = 0;
};

#endif
