#include "maintenance/system/deviceclear.h"

#include "maintenance/restore/devicerestore.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"
#include "maintenance/system/mountpoints.h"

#include <QFile>

DeviceClear::DeviceClear(CommandRunner &runner, const QString &systemRoot)
    : m_runner(runner), m_root(systemRoot)
{
}

bool DeviceClear::check()
{
    m_problems.clear();
    if (DeviceRestore::isUnfinished(m_root)) {
        JobProblem unfinished;
        unfinished.kind = JobProblem::Kind::RestoreUnfinished;
        m_problems << unfinished;
        return false;
    }
    return true;
}

bool DeviceClear::run()
{
    if (!check())
        return false;
    for (const QString &database : maintainedDatabases()) {
        const CommandResult dropped = m_runner.run(dropDatabaseCommand(database));
        if (!dropped.succeeded()) {
            JobProblem left;
            left.kind = JobProblem::Kind::NotDropped;
            left.name = database;
            left.result = dropped;
            m_problems << left;
        }
    }
    const CommandResult removed = m_runner.run(removeAppFolderCommand(m_root));
    // What Restore keeps (the data saved for a roll-back) goes too: "This cannot be undone."
    const CommandResult keptRemoved = m_runner.run(removeKeptDataCommand(m_root));
    if (!keptRemoved.succeeded()) {
        JobProblem left;
        left.kind = JobProblem::Kind::FolderLeft;
        left.path = QFile::encodeName(keptDataFolder(m_root));
        left.result = keptRemoved;
        m_problems << left;
    }
    const CommandResult synced = m_runner.run(clearSyncCommand());
    if (!onlyMountPointsLeft(appFolder(m_root))) {
        JobProblem left;
        left.kind = JobProblem::Kind::FolderLeft;
        left.path = QFile::encodeName(appFolder(m_root));
        left.result = removed;
        m_problems << left;
    }
    if (!synced.succeeded()) {
        JobProblem left;
        left.kind = JobProblem::Kind::NotSynced;
        left.result = synced;
        m_problems << left;
    }
    return m_problems.isEmpty();
}
