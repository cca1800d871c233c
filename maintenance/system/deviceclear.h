#ifndef DEVICECLEAR_H
#define DEVICECLEAR_H

#include "maintenance/jobproblem.h"

#include <QString>

class CommandRunner;

// Deletes the application's data: drops the databases appdb and Misc, removes /opt/Brevin
// and syncs. Every step runs, whatever an earlier one did; problems() names what is left.
// Nothing runs while a restore cut short is still to be put right by Restore.
class DeviceClear
{
public:
    DeviceClear(CommandRunner &runner, const QString &systemRoot);

    // False, with problems(), when the device may not be cleared now.
    bool check();
    // True when the data is gone: rm cannot remove a mount point, so a folder that holds
    // only mount points (and the folders leading to them) counts as gone.
    bool run();
    const JobProblems &problems() const { return m_problems; }

private:
    CommandRunner &m_runner;
    QString m_root;
    JobProblems m_problems;
};

#endif
