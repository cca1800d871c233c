#include "maintenance/system/deviceclear.h"

#include "maintenance/fs/treeusage.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/restore/devicerestore.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"
#include "maintenance/system/mountpoints.h"

#include <QFile>

#include <algorithm>
#include <fcntl.h>
#include <sys/statvfs.h>

namespace {

qint64 freeBytes(int fd)
{
    struct statvfs fs;
    if (fd < 0 || ::fstatvfs(fd, &fs) != 0)
        return -1;
    return qint64(fs.f_bfree) * qint64(fs.f_frsize);
}

} // namespace

DeviceClear::DeviceClear(CommandRunner &runner, const QString &systemRoot)
    : m_runner(runner), m_root(systemRoot)
{
}

void DeviceClear::report(JobProgress::Step step, const QString &name, qint64 done, qint64 total)
{
    reportProgress(progress, step, name, done, total);
}

bool DeviceClear::dropDatabases()
{
    for (Target &target : m_targets) {
        if (!maintainedDatabases().contains(target.name))
            continue;
        report(JobProgress::Step::Deleting, target.name, 0, 0);
        const CommandResult dropped = m_runner.run(dropDatabaseCommand(target.name));
        if (!dropped.succeeded()) {
            JobProblem left;
            left.kind = JobProblem::Kind::NotDropped;
            left.name = target.name;
            left.result = dropped;
            m_problems << left;
            return false;
        }
        target.deleted = true;
    }
    return true;
}

bool DeviceClear::removeAppFolder()
{
    const QString folder = appFolder(m_root);
    // The bar follows the bytes freed on the folder's file system while rm runs.
    UniqueFd held(::open(QFile::encodeName(folder).constData(),
                         O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const qint64 total = held.isValid() ? treeUsage(held.get(), ".") : 0;
    const qint64 freeBefore = freeBytes(held.get());
    const QString shown = appFolder(QString());
    qint64 done = 0;
    report(JobProgress::Step::Deleting, shown, done, total);
    CommandIo io;
    io.whileRunning = [&] {
        const qint64 freeNow = freeBytes(held.get());
        if (freeBefore >= 0 && freeNow >= 0)
            done = std::max(done, std::min(total, freeNow - freeBefore));
        report(JobProgress::Step::Deleting, shown, done, total);
    };
    const CommandResult removed = m_runner.runWith(removeAppFolderCommand(m_root), io);
    held.reset();
    if (!onlyMountPointsLeft(folder)) {
        JobProblem left;
        left.kind = JobProblem::Kind::FolderLeft;
        left.path = QFile::encodeName(folder);
        left.result = removed;
        m_problems << left;
        return false;
    }
    m_targets.last().deleted = true;
    report(JobProgress::Step::Deleting, shown, total, total);
    return true;
}

bool DeviceClear::check()
{
    m_problems.clear();
    if (DeviceRestore::isUnfinished(m_root)) {
        m_problems << JobProblem::of(JobProblem::Kind::RestoreUnfinished);
        return false;
    }
    return true;
}

bool DeviceClear::run()
{
    if (!check())
        return false;
    m_targets.clear();
    for (const QString &database : maintainedDatabases())
        m_targets << Target{database, false};
    m_targets << Target{appFolder(QString()), false};

    if (dropDatabases() && removeAppFolder()) {
        // What Restore keeps (the data saved for a roll-back) goes too: "This cannot be
        // undone."
        const CommandResult keptRemoved = m_runner.run(removeKeptDataCommand(m_root));
        if (!keptRemoved.succeeded()) {
            JobProblem left;
            left.kind = JobProblem::Kind::FolderLeft;
            left.path = QFile::encodeName(keptDataFolder(m_root));
            left.result = keptRemoved;
            m_problems << left;
        }
    }
    // Whatever was deleted stays deleted after a power loss.
    report(JobProgress::Step::Syncing, QString(), 0, 0);
    const CommandResult synced = m_runner.run(clearSyncCommand());
    if (!synced.succeeded()) {
        JobProblem left;
        left.kind = JobProblem::Kind::NotSynced;
        left.result = synced;
        m_problems << left;
    }
    return m_problems.isEmpty();
}
