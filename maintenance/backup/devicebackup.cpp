#include "maintenance/backup/devicebackup.h"

#include "maintenance/backup/treecopier.h"
#include "maintenance/restore/devicerestore.h"
#include "maintenance/set/backupset.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"
#include "maintenance/system/stickapart.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>

namespace {

QByteArray joined(const QByteArray &base, const QByteArray &relative)
{
    return relative.isEmpty() ? base : base + '/' + relative;
}

JobProblem noRoom(const BackupSet::Room &room)
{
    JobProblem tooSmall = JobProblem::of(JobProblem::Kind::NoRoom);
    tooSmall.count = room.needed;
    tooSmall.available = room.available;
    return tooSmall;
}

qint64 sum(const QList<qint64> &values)
{
    qint64 total = 0;
    for (qint64 value : values)
        total += value;
    return total;
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

bool DeviceBackup::runStep(const QByteArray &commandLine, const CommandIo &io)
{
    const CommandResult result = m_runner.runWith(commandLine, io);
    if (result.succeeded())
        return true;
    JobProblem failed = JobProblem::of(JobProblem::Kind::CommandFailed);
    failed.command = commandLine;
    failed.result = result;
    m_problems << failed;
    return false;
}

void DeviceBackup::report(JobProgress::Step step, const QString &name)
{
    qint64 total = m_treeWork;
    for (int i = 0; i < m_dumpForeseen.size(); ++i)
        total += std::max(m_dumpForeseen.at(i), m_dumpWritten.value(i));
    reportProgress(progress, step, name, m_treeDone + sum(m_dumpWritten), total);
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
    // A bind mount of /opt (or of a mount below it) is mounted at the stick folder all right,
    // and would take a copy of /opt into /opt.
    const StickApart apart = checkStickApart(m_root);
    if (!apart.isApart()) {
        m_problems << JobProblem::notApart(apart);
        return false;
    }
    if (!m_set->check()) {
        m_problems << setProblem();
        return false;
    }
    // Nothing on the stick changes before the question about another device's set.
    m_device = DeviceIdentity::read(m_root);
    m_stored = m_set->storedSet();
    return true;
}

void DeviceBackup::foreseeDumps(const QByteArray &sizes)
{
    QHash<QString, qint64> dataLength;
    for (const QByteArray &line : sizes.split('\n')) {
        const QList<QByteArray> fields = line.trimmed().split('\t');
        if (fields.size() == 2)
            dataLength.insert(QString::fromUtf8(fields.at(0)), fields.at(1).toLongLong());
    }
    const bool ownSet = !m_stored.isOfOtherDevice(m_device);
    m_dumpForeseen.clear();
    m_dumpWritten.clear();
    for (const QString &database : maintainedDatabases()) {
        // This device's last dump is the best guess; the data length on the server is a
        // rough one (pages, not text) for a first backup.
        const qint64 previous = ownSet ? m_set->previousDumpSize(dumpFileName(database)) : 0;
        m_dumpForeseen << (previous > 0 ? previous
                                        : std::max<qint64>(0, dataLength.value(database)));
        m_dumpWritten << 0;
    }
}

bool DeviceBackup::copyTree(TreeCopyResult *result)
{
    BackupSet &set = *m_set;
    const QByteArray source = this->source();
    const QString shownTree = optFolder(QString());
    TreeCopier::Options options;
    options.caps = set.capabilities();
    options.manifest = set.manifest();
    options.manifestPrefix = BackupSet::treeName();
    options.workProgress = [&](qint64 work) {
        m_treeDone = std::min(work, m_treeWork);
        report(JobProgress::Step::CopyingTree, shownTree);
    };
    TreeCopier copier(source, set.treeFd(), options);
    *result = copier.copy();
    m_treeDone = m_treeWork;
    report(JobProgress::Step::Syncing);
    // As it always was: the sync at the end says whether the stick took it all.
    m_runner.run(syncCommand());

    for (const CopyProblem &failure : result->failures.first())
        m_problems << JobProblem::of(JobProblem::Kind::NotCopied, joined(source, failure.path),
                                     failure.error);
    const qint64 more = result->failures.count() - result->failures.first().size();
    if (more > 0) {
        JobProblem rest = JobProblem::of(JobProblem::Kind::MoreNotCopied);
        rest.count = more;
        m_problems << rest;
    }
    if (result->fatalError != 0)
        m_problems << JobProblem::of(JobProblem::Kind::WritingStopped,
                                     joined(source, result->fatalPath), result->fatalError);
    m_notCopied = result->notCopied;
    return result->ok();
}

bool DeviceBackup::writeDumps()
{
    BackupSet &set = *m_set;
    const QStringList databases = maintainedDatabases();
    for (int i = 0; i < databases.size(); ++i) {
        const QString &database = databases.at(i);
        const QByteArray fileName = dumpFileName(database);
        // The dump command writes by path: only onto the stick checked at the start.
        if (!set.stillMounted()) {
            m_problems << JobProblem::of(JobProblem::Kind::StickRemoved);
            return false;
        }
        if (!set.prepareDump(fileName)) {
            m_problems << setProblem();
            return false;
        }
        report(JobProgress::Step::WritingDump, database);
        CommandIo io;
        io.whileRunning = [&, i] {
            m_dumpWritten[i] = std::max<qint64>(0, set.dumpSize(fileName));
            report(JobProgress::Step::WritingDump, database);
        };
        // A dump that fails or is cut short never enters the set, and the next one is not
        // started: a server that failed once (or hangs) would only fail again, slowly.
        if (!runStep(dumpCommand(m_root, database), io))
            return false;
        if (!set.addDump(fileName)) {
            JobProblem incomplete = JobProblem::of(JobProblem::Kind::DumpIncomplete);
            incomplete.name = database;
            m_problems << incomplete;
            return false;
        }
        m_dumpWritten[i] = std::max<qint64>(0, set.dumpSize(fileName));
        m_dumpForeseen[i] = m_dumpWritten.at(i);
    }
    return true;
}

bool DeviceBackup::run()
{
    if (refusedForUnfinishedRestore())
        return false;
    BackupSet &set = *m_set;
    const QByteArray source = this->source();
    // No step is named until one begins: asking the server may take long when it hangs.
    m_previousSet = set.replacesASet();
    if (!QFileInfo(QFile::decodeName(source)).isDir()) {
        m_problems << JobProblem::of(JobProblem::Kind::NoSource, source, ENOENT);
        m_outcome = Outcome::NotStarted;
        return false;
    }
    const TreeCount count = TreeCopier::count(source);
    m_treeWork = count.work;

    // The old set stays until the new one is whole: both must fit. The blocks a file uses
    // count, not its size: a sparse file's holes stay holes where the stick keeps them.
    const BackupSet::Room room = set.room(count.stored, count.entries);
    bool replacing = false;
    if (!room.fits()) {
        if (!room.fitsAlone() || !confirmReplace) {
            m_problems << noRoom(room);
            m_outcome = Outcome::NotStarted;
            return false;
        }
        if (!confirmReplace()) {
            m_outcome = Outcome::Cancelled;
            return false;
        }
        replacing = true;
    }

    if (!set.recover()) {
        m_problems << setProblem();
        m_outcome = Outcome::Refused;
        return false;
    }
    m_previousSet = set.hasPreviousSet();
    if (!set.begin(source, m_device)) {
        m_problems << setProblem();
        set.abandon();
        m_outcome = Outcome::NotStarted;
        return false;
    }
    // The server must answer before the tree is copied, and before an old set goes.
    const QByteArray sizesFile = QFile::encodeName(QFileInfo(databaseSizesFile(m_root)).fileName());
    if (!set.prepareDump(sizesFile)) {
        m_problems << setProblem();
        set.abandon();
        m_outcome = Outcome::NotStarted;
        return false;
    }
    const CommandResult asked = m_runner.run(databaseSizesCommand(m_root));
    const QByteArray sizes = set.takeFile(sizesFile);
    if (!asked.succeeded()) {
        JobProblem unreachable = JobProblem::of(JobProblem::Kind::ServerUnreachable);
        unreachable.result = asked;
        m_problems << unreachable;
        set.abandon();
        m_outcome = Outcome::NotStarted;
        return false;
    }
    foreseeDumps(sizes);
    if (replacing && m_previousSet) {
        report(JobProgress::Step::Deleting,
               stickFolder(QString()) + QLatin1Char('/') + QLatin1String(BackupSet::setName()));
        const bool removed = set.removePrevious();
        m_previousRemoved = set.previousRemovalBegun();
        if (!removed) {
            m_problems << setProblem();
            set.abandon();
            m_outcome = m_previousRemoved ? Outcome::Failed : Outcome::NotStarted;
            return false;
        }
        m_previousSet = false;
    }
    // A stick that keeps no holes (FAT) takes a sparse file at its whole size.
    if (!set.capabilities().holes) {
        const BackupSet::Room whole = set.room(count.needed, count.entries);
        if (!whole.fits()) {
            m_problems << noRoom(whole);
            set.abandon();
            m_outcome = Outcome::NotStarted;
            return false;
        }
    }

    TreeCopyResult result;
    bool whole = copyTree(&result);
    whole = whole && writeDumps();
    m_files = result.files;
    m_bytes = result.bytes + set.dumpBytes();
    report(JobProgress::Step::Syncing);
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
