#include "maintenance/restore/devicerestore.h"

#include "maintenance/database/databaserestore.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/restore/treereplacer.h"
#include "maintenance/restore/treerestorer.h"
#include "maintenance/set/legacyset.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/set/setverifier.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"
#include "maintenance/system/stickapart.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

namespace {

QList<QByteArray> dumpNames()
{
    QList<QByteArray> names;
    for (const QString &database : maintainedDatabases())
        names << dumpFileName(database);
    return names;
}

} // namespace

// What one restore (or the recovery of one) works with.
struct DeviceRestore::Work
{
    explicit Work(const QString &root) : journal(DatabaseRestore::defaultWorkFolder(root)) {}

    RestoreJournal journal;
    RestoreJournal::State state;
    std::unique_ptr<TreeReplacer> replacer;
    std::unique_ptr<DatabaseRestore> databases;
};

DeviceRestore::DeviceRestore(CommandRunner &runner, const QString &systemRoot)
    : m_runner(runner), m_root(systemRoot)
{
}

DeviceRestore::~DeviceRestore() = default;

bool DeviceRestore::isUnfinished(const QString &systemRoot)
{
    return RestoreJournal(DatabaseRestore::defaultWorkFolder(systemRoot)).exists();
}

bool DeviceRestore::makeLegacyFolder()
{
    // Private to the panel, and nothing of the system root changes before the question.
    m_legacy = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                               QLatin1String("/servicepanel-older-set-XXXXXX"));
    return m_legacy->isValid();
}

QString DeviceRestore::legacyFolder() const
{
    return m_legacy ? m_legacy->path() : QString();
}

qint64 DeviceRestore::checkEntries() const
{
    const qint64 announced = SetVerifier::announcedEntries(stickFolder(m_root));
    return announced > 0 ? announced : LegacySet::countEntries(stickFolder(m_root));
}

bool DeviceRestore::stickUnchanged() const
{
    return m_stickKnown && posixfs::stillSameFile(QFile::encodeName(stickFolder(m_root)), m_stick);
}

void DeviceRestore::addProblems(JobProblems *to, const ProblemList &problems)
{
    // What is wrong on the stick is named there; what did not land, where it did not.
    const QByteArray stick = QFile::encodeName(backupFolder(m_root)) + '/';
    const QByteArray device = QFile::encodeName(m_root) + '/';
    for (const CopyProblem &problem : problems.first()) {
        JobProblem found =
            JobProblem::of(JobProblem::Kind::NotRestored, stick + problem.path, problem.error);
        switch (problem.kind) {
        case CopyProblem::Kind::Missing:
            found.kind = JobProblem::Kind::MissingOnStick;
            break;
        case CopyProblem::Kind::Mismatch:
            found.kind = JobProblem::Kind::DamagedOnStick;
            break;
        case CopyProblem::Kind::Unreadable:
            found.kind = JobProblem::Kind::UnreadableOnStick;
            break;
        case CopyProblem::Kind::Unsafe:
            found.kind = problem.error == EXDEV ? JobProblem::Kind::OtherFileSystem
                                                : JobProblem::Kind::LeadsOutside;
            break;
        case CopyProblem::Kind::NotWritten:
        case CopyProblem::Kind::NotCopied:
            found.path = device + problem.path;
            break;
        }
        *to << found;
    }
    const qint64 more = problems.count() - problems.first().size();
    if (more > 0) {
        JobProblem rest = JobProblem::of(JobProblem::Kind::MoreProblems);
        rest.count = more;
        *to << rest;
    }
}

DeviceRestore::Verdict DeviceRestore::refuse(JobProblem::Kind kind, const QByteArray &path)
{
    m_problems << JobProblem::of(kind, path);
    m_verdict = Verdict::Refused;
    return m_verdict;
}

DeviceRestore::Verdict DeviceRestore::check()
{
    m_problems.clear();
    m_outcome = Outcome::Refused;
    m_created.clear();
    m_setDevice = DeviceIdentity();
    m_manifestSha256.clear();
    m_dumpSha256.clear();
    m_dumpSize.clear();
    m_dumpBytes = m_treeEntries = m_treeFiles = m_treeBytes = m_bytes = 0;
    const QString stick = stickFolder(m_root);
    m_stickKnown = ::stat(QFile::encodeName(stick).constData(), &m_stick) == 0;
    const QList<QByteArray> dumps = dumpNames();
    // A bind mount of /opt at the stick folder would restore the device from itself.
    const StickApart apart = checkStickApart(m_root);
    if (!apart.isApart()) {
        m_problems << JobProblem::notApart(apart);
        m_verdict = Verdict::Refused;
        return m_verdict;
    }

    SetVerifier verifier(stick, dumps, SetVerifier::Depth::Quick);
    verifier.progress = checkProgress;
    switch (verifier.verify()) {
    case SetVerifier::Verdict::Good: {
        const SetVerifier::Summary summary = verifier.summary();
        m_created = summary.created;
        m_setDevice = summary.device;
        m_treeEntries = summary.treeEntries;
        m_treeFiles = summary.treeFiles;
        m_bytes = summary.bytes;
        m_manifestSha256 = verifier.manifestSha256();
        for (const QByteArray &dump : dumps) {
            m_dumpSha256.insert(dump, verifier.dump(dump).sha256);
            m_dumpSize.insert(dump, verifier.dump(dump).size);
            m_dumpBytes += verifier.dump(dump).size;
        }
        m_treeBytes = m_bytes - m_dumpBytes;
        m_verdict = Verdict::Good;
        return m_verdict;
    }
    case SetVerifier::Verdict::NoSet:
        return refuse(JobProblem::Kind::NoCompleteSet);
    case SetVerifier::Verdict::NotAFolder:
        return refuse(JobProblem::Kind::NotAFolderOnStick, verifier.refusedName());
    case SetVerifier::Verdict::OtherMount:
        return refuse(JobProblem::Kind::OtherMountOnStick, verifier.refusedName());
    case SetVerifier::Verdict::BadManifest: {
        // The last line goes last: a manifest without it is a backup that did not finish.
        m_problems << JobProblem::of(JobProblem::Kind::NoCompleteSet);
        JobProblem unusable = JobProblem::of(JobProblem::Kind::ManifestUnusable);
        unusable.name = QString::fromLatin1(ManifestWriter::fileName());
        unusable.detail = QString::fromLocal8Bit(verifier.manifestError());
        m_problems << unusable;
        m_verdict = Verdict::Refused;
        return m_verdict;
    }
    case SetVerifier::Verdict::Damaged:
        addProblems(&m_problems, verifier.problems());
        m_verdict = Verdict::Refused;
        return m_verdict;
    case SetVerifier::Verdict::NoManifest:
        break;
    }

    // An older panel's set: checked as it stands, its manifest written on the device.
    if (!makeLegacyFolder())
        return refuse(JobProblem::Kind::FolderNotMade, QFile::encodeName(QDir::tempPath()));
    UniqueFd work(
        ::open(QFile::encodeName(legacyFolder()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    LegacySet legacy(stick, dumps);
    legacy.progress = checkProgress;
    const LegacySet::Verdict found =
        work.isValid() ? legacy.check(work.get()) : LegacySet::Verdict::NotWritten;
    switch (found) {
    case LegacySet::Verdict::Good:
        break;
    case LegacySet::Verdict::NoSet:
        return refuse(JobProblem::Kind::NoCompleteSet);
    case LegacySet::Verdict::NotAFolder:
        return refuse(JobProblem::Kind::NotAFolderOnStick, legacy.refusedName());
    case LegacySet::Verdict::OtherMount:
        return refuse(JobProblem::Kind::OtherMountOnStick, legacy.refusedName());
    case LegacySet::Verdict::Damaged:
        addProblems(&m_problems, legacy.problems());
        m_verdict = Verdict::Refused;
        return m_verdict;
    case LegacySet::Verdict::NotWritten:
        m_problems << JobProblem::of(JobProblem::Kind::FolderNotWritten,
                                     QFile::encodeName(legacyFolder()), legacy.error());
        m_verdict = Verdict::Refused;
        return m_verdict;
    }
    m_treeEntries = legacy.treeEntries();
    m_treeFiles = legacy.treeFiles();
    m_bytes = legacy.bytes();
    for (const QByteArray &dump : dumps) {
        m_dumpSha256.insert(dump, legacy.dumpSha256(dump));
        m_dumpSize.insert(dump, legacy.dumpSize(dump));
    }
    m_dumpBytes = legacy.dumpBytes();
    m_treeBytes = m_bytes - m_dumpBytes;
    m_verdict = Verdict::Unverified;
    return m_verdict;
}

void DeviceRestore::report(JobProgress::Step step, const QString &name)
{
    reportProgress(progress, step, name, m_done, m_bytes);
}

bool DeviceRestore::record(Work &work)
{
    if (!work.journal.write(work.state)) {
        m_problems << JobProblem::of(JobProblem::Kind::JournalUnusable,
                                     QFile::encodeName(work.journal.path()), work.journal.error());
        return false;
    }
    if (recorded)
        recorded(work.state);
    return true;
}

bool DeviceRestore::endJournal(Work &work)
{
    if (!work.journal.remove()) {
        m_problems << JobProblem::of(JobProblem::Kind::JournalUnusable,
                                     QFile::encodeName(work.journal.path()), work.journal.error());
        return false;
    }
    // Nothing of a restore stays on the device once it is over.
    QDir().rmdir(DatabaseRestore::defaultWorkFolder(m_root));
    return true;
}

bool DeviceRestore::restoreTree(Work &work)
{
    TreeReplacer &replacer = *work.replacer;
    report(JobProgress::Step::RestoringTree, optFolder(QString()));
    qint64 treeDone = 0;
    for (int i = 0; i < replacer.partCount(); ++i) {
        const TreeReplacer::Part &part = replacer.part(i);
        TreeRestorer restorer(stickFolder(m_root), part.staging.get());
        restorer.setPart(part.path, part.skipped, !part.pinned);
        if (m_verdict == Verdict::Good) {
            restorer.expectManifest(m_manifestSha256);
        } else {
            UniqueFd manifest(::open(QFile::encodeName(legacyFolder()).constData(),
                                     O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            restorer.setManifestFolder(manifest.get());
        }
        const qint64 before = treeDone;
        restorer.byteProgress = [this, before](qint64 bytes) {
            m_done = before + bytes;
            report(JobProgress::Step::RestoringTree, optFolder(QString()));
        };
        const bool whole = restorer.restore();
        treeDone += restorer.bytes();
        for (const CopyProblem &skipped : restorer.notRestored().first())
            m_notRestored.add(skipped);
        m_restoredFiles += restorer.files();
        m_restoredBytes += restorer.bytes();
        if (part.pinned && restorer.hasTop()) {
            RestoreJournal::PinnedTop top;
            top.path = part.path;
            top.entry = restorer.topEntry();
            work.state.tops << top;
        }
        if (!whole && !stickUnchanged()) {
            // What could not be read then was on the stick that went.
            m_problems << JobProblem::of(JobProblem::Kind::RemovedDuringRestore);
            return false;
        }
        if (!whole) {
            if (!restorer.manifestError().isEmpty()) {
                JobProblem unusable = JobProblem::of(JobProblem::Kind::ManifestUnusable);
                unusable.name = QString::fromLatin1(ManifestWriter::fileName());
                unusable.detail = QString::fromLocal8Bit(restorer.manifestError());
                m_problems << unusable;
            }
            addProblems(&m_problems, restorer.problems());
            return false;
        }
    }
    m_done = m_treeBytes;
    // A stick pulled or swapped meanwhile: what was read from it counts for nothing.
    if (!stickUnchanged()) {
        m_problems << JobProblem::of(JobProblem::Kind::RemovedDuringRestore);
        return false;
    }
    return true;
}

bool DeviceRestore::loadDumps(Work &work)
{
    qint64 before = m_done;
    for (const QString &database : maintainedDatabases()) {
        const QByteArray name = dumpFileName(database);
        report(JobProgress::Step::LoadingDatabase, database);
        work.databases->loadProgress = [this, before, database](qint64 bytes) {
            m_done = before + bytes;
            report(JobProgress::Step::LoadingDatabase, database);
        };
        const bool loaded = work.databases->load(database, dumpFile(m_root, database),
                                                 m_dumpSha256.value(name), m_dumpSize.value(name));
        work.databases->loadProgress = nullptr;
        if (!loaded) {
            if (stickUnchanged())
                m_problems << work.databases->problems();
            else
                m_problems << JobProblem::of(JobProblem::Kind::RemovedDuringRestore);
            return false;
        }
        before += m_dumpSize.value(name);
        m_done = before;
    }
    if (!stickUnchanged()) {
        m_problems << JobProblem::of(JobProblem::Kind::RemovedDuringRestore);
        return false;
    }
    return true;
}

bool DeviceRestore::readyToCommit(Work &work)
{
    // The staged tree must be on the disk before the journal says it may be swapped in.
    for (int i = 0; i < work.replacer->partCount(); ++i) {
        const int staging = work.replacer->part(i).staging.get();
        if (staging >= 0 && ::syncfs(staging) != 0) {
            m_problems << JobProblem::of(JobProblem::Kind::FolderNotWritten,
                                         work.replacer->target(), errno);
            return false;
        }
    }
    if (!work.databases->prepareSwitch()) {
        m_problems << work.databases->problems();
        return false;
    }
    return true;
}

bool DeviceRestore::undoStaging(Work &work)
{
    // Nothing but the staging databases and the staged tree changed.
    bool undone = work.replacer->undo(0);
    if (!undone) {
        JobProblem failed = JobProblem::of(JobProblem::Kind::TreeNotReplaced,
                                           work.replacer->errorPath(), work.replacer->error());
        failed.name = optFolder(m_root);
        m_problems << failed;
    }
    if (!work.databases->finish()) {
        m_problems << work.databases->problems();
        undone = false;
    }
    if (!undone)
        return false;
    return endJournal(work);
}

bool DeviceRestore::commit(Work &work, bool recovering)
{
    RestoreJournal::State &state = work.state;
    for (const QString &database : qAsConst(state.databases)) {
        if (state.switched.contains(database))
            continue;
        if (!state.touched.contains(database)) {
            state.touched << database;
            if (!record(work))
                return false;
        }
        if (!work.databases->switchForward(database)) {
            m_problems << work.databases->problems();
            return false;
        }
        state.switched << database;
        if (!record(work))
            return false;
    }
    if (!state.treeSwapBegan) {
        state.treeSwapBegan = true;
        if (!record(work))
            return false;
    }
    const bool swapped =
        recovering ? work.replacer->finish(state.stagedInode) : work.replacer->commit();
    if (!swapped) {
        JobProblem failed = JobProblem::of(JobProblem::Kind::TreeNotReplaced,
                                           work.replacer->errorPath(), work.replacer->error());
        failed.name = optFolder(m_root);
        m_problems << failed;
        return false;
    }
    state.step = RestoreJournal::Step::Cleanup;
    return record(work);
}

bool DeviceRestore::goBack(Work &work)
{
    RestoreJournal::State &state = work.state;
    if (state.step != RestoreJournal::Step::Commit ||
        state.direction != RestoreJournal::Direction::Back) {
        state.step = RestoreJournal::Step::Commit;
        state.direction = RestoreJournal::Direction::Back;
        // Even unrecorded, going back is better than stopping half-way.
        record(work);
    }
    if (!work.replacer->undo(state.stagedInode)) {
        JobProblem failed = JobProblem::of(JobProblem::Kind::TreeNotReplaced,
                                           work.replacer->errorPath(), work.replacer->error());
        failed.name = optFolder(m_root);
        m_problems << failed;
        return false;
    }
    for (auto database = state.touched.crbegin(); database != state.touched.crend(); ++database) {
        const bool back = work.databases->switchBack(*database);
        m_problems << work.databases->problems();
        if (!back)
            return false;
    }
    if (!work.databases->finish()) {
        m_problems << work.databases->problems();
        return false;
    }
    return endJournal(work);
}

bool DeviceRestore::cleanUp(Work &work)
{
    // All new from here: what stays behind is only told.
    if (!work.replacer->removeWork()) {
        for (const CopyProblem &problem : work.replacer->problems().first())
            m_notes << JobProblem::of(JobProblem::Kind::LeftBehind, problem.path, problem.error);
    }
    // Folders that stayed get their own metadata last, after the entries moved in and out.
    for (const RestoreJournal::PinnedTop &top : qAsConst(work.state.tops)) {
        QByteArray path = work.state.tree;
        for (const QByteArray &name : top.path)
            path += '/' + name;
        UniqueFd folder(posixfs::openFolderAt(AT_FDCWD, path.constData()));
        const int error =
            folder.isValid() ? TreeRestorer::applyMetadataTo(folder.get(), top.entry) : errno;
        if (error != 0)
            m_notes << JobProblem::of(JobProblem::Kind::NotRestored, path, error);
    }
    if (!work.databases->finish())
        m_notes << work.databases->problems();
    return endJournal(work);
}

bool DeviceRestore::openWork(Work &work, const QString &folder)
{
    work.replacer = std::make_unique<TreeReplacer>(folder);
    work.databases = std::make_unique<DatabaseRestore>(
        m_runner, DatabaseRestore::defaultWorkFolder(m_root), maintainedDatabases());
    if (!work.replacer->plan()) {
        JobProblem failed = JobProblem::of(JobProblem::Kind::TreeNotReplaced,
                                           work.replacer->errorPath(), work.replacer->error());
        failed.name = optFolder(m_root);
        m_problems << failed;
        return false;
    }
    return true;
}

bool DeviceRestore::restore()
{
    m_problems.clear();
    m_notes.clear();
    m_notRestored = ProblemList();
    m_restoredFiles = m_restoredBytes = m_done = 0;
    m_outcome = Outcome::Refused;
    if (isUnfinished(m_root)) {
        m_problems << JobProblem::of(JobProblem::Kind::RestoreUnfinished);
        return false;
    }
    m_outcome = Outcome::Unchanged;
    if (m_verdict == Verdict::Refused) {
        m_problems << JobProblem::of(JobProblem::Kind::NoCompleteSet);
        return false;
    }
    if (!stickUnchanged()) {
        m_problems << JobProblem::of(JobProblem::Kind::StickChanged);
        return false;
    }

    // 1. Where the tree goes.
    Work work(m_root);
    if (!openWork(work, optFolder(m_root)))
        return false;
    RestoreJournal::State &state = work.state;
    state.tree = work.replacer->target();
    state.beside = work.replacer->isBeside();
    state.databases = maintainedDatabases();

    // 2.-5. Beside the device's data; a failure takes it all away again.
    if (!record(work))
        return false;
    if (!work.databases->begin()) {
        // Nothing of this restore exists yet: there is nothing to undo.
        m_problems << work.databases->problems();
        endJournal(work);
        return false;
    }
    bool staged = work.replacer->stage();
    if (!staged) {
        JobProblem failed = JobProblem::of(JobProblem::Kind::TreeNotReplaced,
                                           work.replacer->errorPath(), work.replacer->error());
        failed.name = optFolder(m_root);
        m_problems << failed;
    }
    if (staged && !work.databases->makeStaging()) {
        m_problems << work.databases->problems();
        staged = false;
    }
    staged = staged && restoreTree(work) && loadDumps(work) && readyToCommit(work);
    if (!staged) {
        if (!undoStaging(work))
            m_outcome = Outcome::Unfinished;
        return false;
    }

    // 6. The commit: from here a power loss finishes the restore.
    state.step = RestoreJournal::Step::Commit;
    state.direction = RestoreJournal::Direction::Forward;
    state.stagedInode = work.replacer->stagedInode();
    if (!record(work) || !commit(work, false)) {
        if (!goBack(work))
            m_outcome = Outcome::Unfinished;
        return false;
    }

    // 7. What is left of the old side goes.
    m_restoredBytes += m_dumpBytes;
    const bool cleaned = cleanUp(work);
    report(JobProgress::Step::Syncing);
    const CommandResult synced = m_runner.run(syncCommand());
    if (!cleaned) {
        m_outcome = Outcome::Unfinished;
        return false;
    }
    if (!synced.succeeded()) {
        JobProblem notSynced = JobProblem::of(JobProblem::Kind::RestoredNotSynced);
        notSynced.result = synced;
        m_problems << notSynced;
        m_outcome = Outcome::NotSynced;
        return false;
    }
    m_outcome = Outcome::Done;
    return true;
}

DeviceRestore::Recovery DeviceRestore::finishUnfinished()
{
    m_problems.clear();
    m_notes.clear();
    Work work(m_root);
    if (!work.journal.exists())
        return Recovery::None;
    if (!work.journal.read(&work.state)) {
        m_problems << JobProblem::of(JobProblem::Kind::JournalUnusable,
                                     QFile::encodeName(work.journal.path()), work.journal.error());
        return Recovery::Failed;
    }
    RestoreJournal::State &state = work.state;
    // A load whose panel died may still be running: it ends before anything else happens.
    // The folder is the one recorded: /opt may be a link whose folder is moved aside now.
    if (!openWork(work, QFile::decodeName(state.tree)) || !work.databases->endLoads()) {
        if (work.databases)
            m_problems << work.databases->problems();
        return Recovery::Failed;
    }
    // The mounts must be those the restore planned with: else its names mean other things.
    if (work.replacer->target() != state.tree || work.replacer->isBeside() != state.beside) {
        JobProblem moved = JobProblem::of(JobProblem::Kind::TreeNotReplaced, state.tree, ESTALE);
        moved.name = optFolder(m_root);
        m_problems << moved;
        return Recovery::Failed;
    }
    Recovery done = Recovery::Finished;
    bool ok = false;
    if (state.step == RestoreJournal::Step::Staging) {
        done = Recovery::Undone;
        ok = undoStaging(work);
    } else if (state.step == RestoreJournal::Step::Commit &&
               state.direction == RestoreJournal::Direction::Back) {
        done = Recovery::Undone;
        ok = goBack(work);
    } else {
        ok = (state.step == RestoreJournal::Step::Cleanup || commit(work, true)) && cleanUp(work);
    }
    m_runner.run(syncCommand());
    return ok ? done : Recovery::Failed;
}
