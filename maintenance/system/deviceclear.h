#ifndef DEVICECLEAR_H
#define DEVICECLEAR_H

#include "maintenance/jobproblem.h"
#include "maintenance/jobprogress.h"

#include <QList>
#include <QString>

class CommandRunner;

// Deletes the application's data: drops the databases appdb and Misc, then removes
// /opt/Brevin and what Restore keeps, and syncs. A step that fails or runs out of time stops
// the rest: the folder goes only once both databases are gone, so the device is never left
// with the application's files gone and its data still there, or the other way round without
// the box saying so. problems() names what failed, targets() what was and was not deleted.
// `progress` follows it: each step by name, the folder by the bytes it frees.
// Nothing runs while a restore cut short is still to be put right by Restore.
class DeviceClear
{
public:
    // Something Clear Data deletes: a database, or the folder as the device names it.
    struct Target
    {
        QString name;
        bool deleted = false;
    };

    DeviceClear(CommandRunner &runner, const QString &systemRoot);

    // False, with the problem, while a restore cut short is unfinished.
    bool check();
    // True when the data is gone: rm cannot remove a mount point, so a folder that holds
    // only mount points (and the folders leading to them) counts as gone.
    bool run();
    const JobProblems &problems() const { return m_problems; }
    // The databases, then the folder, in the order they are deleted.
    const QList<Target> &targets() const { return m_targets; }

    JobProgressCallback progress;

private:
    void report(JobProgress::Step step, const QString &name, qint64 done, qint64 total);
    bool dropDatabases();
    bool removeAppFolder();

    CommandRunner &m_runner;
    QString m_root;
    JobProblems m_problems;
    QList<Target> m_targets;
};

#endif
