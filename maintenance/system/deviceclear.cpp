#include "maintenance/system/deviceclear.h"

#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"
#include "maintenance/system/mountpoints.h"

#include <QFile>

DeviceClear::DeviceClear(CommandRunner &runner, const QString &systemRoot)
    : m_runner(runner), m_root(systemRoot)
{
}

bool DeviceClear::run()
{
    m_problems.clear();
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
