#include "maintenance/backup/devicebackup.h"

#include "maintenance/backup/countedcopy.h"
#include "maintenance/backup/treecopier.h"
#include "maintenance/restore/devicerestore.h"
#include "maintenance/set/backupset.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"

#include <QFile>

#include <cerrno>

namespace {

QByteArray joined(const QByteArray &base, const QByteArray &relative)
{
    return relative.isEmpty() ? base : base + '/' + relative;
}

} // namespace

DeviceBackup::DeviceBackup(CommandRunner &runner, const QString &systemRoot)
    : m_runner(runner), m_root(systemRoot),
      m_set(std::make_unique<BackupSet>(stickFolder(systemRoot)))
{
}

DeviceBackup::~DeviceBackup() = default;

QByteArray DeviceBackup::source() const
{
    return QFile::encodeName(optFolder(m_root));
}

JobProblem DeviceBackup::setProblem() const
{
    switch (m_set->refusal()) {
    case BackupSet::Refusal::NotAFolder:
        return JobProblem::of(JobProblem::Kind::SetNotAFolder, m_set->refusedName());
    case BackupSet::Refusal::OtherMount:
        return JobProblem::of(JobProblem::Kind::SetOtherMount, m_set->refusedName());
    case BackupSet::Refusal::NoStick:
    case BackupSet::Refusal::NotMounted:
        return JobProblem::of(JobProblem::Kind::NoStick);
    case BackupSet::Refusal::CannotWrite:
    case BackupSet::Refusal::Io:
    case BackupSet::Refusal::None:
        break;
    }
    return JobProblem::of(JobProblem::Kind::StickNotWritable, QByteArray(), m_set->error());
}

bool DeviceBackup::runStep(const QByteArray &commandLine)
{
    const CommandResult result = m_runner.run(commandLine);
    if (result.succeeded())
        return true;
    JobProblem failed = JobProblem::of(JobProblem::Kind::CommandFailed);
    failed.command = commandLine;
    failed.result = result;
    m_problems << failed;
    return false;
}

// A restore cut short leaves the device half old, half new: no set is made of that.
bool DeviceBackup::refusedForUnfinishedRestore()
{
    if (!DeviceRestore::isUnfinished(m_root))
        return false;
    m_problems << JobProblem::of(JobProblem::Kind::RestoreUnfinished);
    m_outcome = Outcome::Refused;
    return true;
}

bool DeviceBackup::checkStick()
{
    m_problems.clear();
    m_outcome = Outcome::Refused;
    if (refusedForUnfinishedRestore())
        return false;
    if (!m_set->check()) {
        m_problems << setProblem();
        return false;
    }
    // Nothing on the stick changes before the question about another device's set.
    m_device = DeviceIdentity::read(m_root);
    m_stored = m_set->storedSet();
    return true;
}

bool DeviceBackup::run()
{
    BackupSet &set = *m_set;
    if (refusedForUnfinishedRestore())
        return false;
    if (!set.recover()) {
        m_problems << setProblem();
        m_outcome = Outcome::Refused;
        return false;
    }
    m_previousSet = set.hasPreviousSet();
    const QByteArray source = this->source();
    std::unique_ptr<TreeCopier> copier;
    TreeCopyResult result;
    bool refused = false;
    const bool copied = copyCounted(
        source, m_runner,
        [&](const TreeCount &count) -> TreeCopier * {
            // The old set stays until the new one is whole: both must fit.
            const BackupSet::Room room = set.room(count.needed, count.entries);
            if (!room.fits()) {
                JobProblem noRoom = JobProblem::of(JobProblem::Kind::NoRoom);
                noRoom.count = room.needed;
                noRoom.available = room.available;
                m_problems << noRoom;
                refused = true;
                return nullptr;
            }
            if (!set.begin(source, m_device)) {
                m_problems << setProblem();
                refused = true;
                return nullptr;
            }
            TreeCopier::Options options;
            options.caps = set.capabilities();
            options.manifest = set.manifest();
            options.manifestPrefix = BackupSet::treeName();
            copier = std::make_unique<TreeCopier>(source, set.treeFd(), options);
            return copier.get();
        },
        counted, progress, &result);
    if (!copied) {
        set.abandon();
        if (!refused)
            m_problems << JobProblem::of(JobProblem::Kind::NoSource, source, ENOENT);
        m_outcome = Outcome::NotStarted;
        return false;
    }
    if (treeCopied)
        treeCopied();

    for (const CopyProblem &failure : result.failures.first())
        m_problems << JobProblem::of(JobProblem::Kind::NotCopied, joined(source, failure.path),
                                     failure.error);
    const qint64 more = result.failures.count() - result.failures.first().size();
    if (more > 0) {
        JobProblem rest = JobProblem::of(JobProblem::Kind::MoreNotCopied);
        rest.count = more;
        m_problems << rest;
    }
    if (result.fatalError != 0)
        m_problems << JobProblem::of(JobProblem::Kind::WritingStopped,
                                     joined(source, result.fatalPath), result.fatalError);
    m_notCopied = result.notCopied;

    bool whole = result.ok();
    const QStringList databases = maintainedDatabases();
    if (whole) {
        for (const QString &database : databases) {
            const QByteArray fileName = dumpFileName(database);
            // The dump command writes by path: only onto the stick checked at the start.
            if (!set.stillMounted()) {
                m_problems << JobProblem::of(JobProblem::Kind::StickRemoved);
                whole = false;
                break;
            }
            if (!set.prepareDump(fileName)) {
                m_problems << setProblem();
                whole = false;
                break;
            }
            // A dump that fails or is cut short never enters the set.
            if (!runStep(dumpCommand(m_root, database))) {
                whole = false;
            } else if (!set.addDump(fileName)) {
                JobProblem incomplete = JobProblem::of(JobProblem::Kind::DumpIncomplete);
                incomplete.name = database;
                m_problems << incomplete;
                whole = false;
            }
        }
    }
    m_files = result.files;
    m_bytes = result.bytes + set.dumpBytes();
    if (whole && !set.finish(result.entries, result.files, result.bytes)) {
        m_problems << setProblem();
        whole = false;
    }
    if (whole && !set.commit()) {
        m_problems << (set.error() == ENODEV ? JobProblem::of(JobProblem::Kind::StickRemoved)
                                             : JobProblem::of(JobProblem::Kind::SwapFailed,
                                                              QByteArray(), set.error()));
        whole = false;
    }
    if (!whole)
        set.abandon();
    m_previousKept = set.previousSetKept();
    runStep(syncCommand());
    m_outcome = whole ? Outcome::Done : Outcome::Failed;
    return whole;
}
