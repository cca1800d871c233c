#include "maintenance/restore/devicerestore.h"

#include "maintenance/system/commandrunner.h"
#include "maintenance/database/databaserestore.h"
#include "maintenance/set/legacyset.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/restore/treerestorer.h"
#include "maintenance/set/setverifier.h"
#include "maintenance/fs/treeremover.h"
#include "maintenance/restore/treereplacer.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/system/devicecommands.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>

namespace {

// Texts for the panel's boxes, translated in the panel's context.
struct PanelText
{
    Q_DECLARE_TR_FUNCTIONS(sendordertoprinter_test)
};

QList<QByteArray> dumpNames()
{
    QList<QByteArray> names;
    for (const QString &database : maintainedDatabases())
        names << dumpFileName(database);
    return names;
}

QString shown(const QString &base, const QByteArray &path)
{
    return posixfs::displayPath(QFile::encodeName(base) + '/' + path);
}

QString whatWasLeft()
{
    return PanelText::tr("/opt and the databases appdb and Misc were left as they were.");
}

} // namespace

DeviceRestore::DeviceRestore(CommandRunner &runner, const QString &systemRoot)
    : m_runner(runner), m_root(systemRoot)
{
}

DeviceRestore::~DeviceRestore() = default;

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

// A failure after the dumps were proved, before the databases were replaced.
void DeviceRestore::leaveDatabases(DatabaseRestore &databases)
{
    const bool back = databases.putBackTouched();
    m_problems << databases.problems();
    m_problems << (back ? whatWasLeft() : PanelText::tr("/opt was left as it was."));
}

bool DeviceRestore::stickUnchanged() const
{
    return m_stickKnown && posixfs::stillSameFile(QFile::encodeName(stickFolder(m_root)), m_stick);
}

void DeviceRestore::addProblemLines(const ProblemList &problems, const QString &base)
{
    for (const CopyProblem &problem : problems.first()) {
        const QString path = shown(base, problem.path);
        const QString error = posixfs::errorText(problem.error);
        switch (problem.kind) {
        case CopyProblem::Kind::Missing:
            m_problems << PanelText::tr("Missing on the U disk: %1").arg(path);
            break;
        case CopyProblem::Kind::Mismatch:
            m_problems << PanelText::tr("Damaged on the U disk: %1").arg(path);
            break;
        case CopyProblem::Kind::Unreadable:
            m_problems << PanelText::tr("Cannot be read on the U disk: %1 (%2)").arg(path, error);
            break;
        case CopyProblem::Kind::Unsafe:
            m_problems << (problem.error == EXDEV
                               ? PanelText::tr("Another file system on the U disk: %1").arg(path)
                               : PanelText::tr("Leads outside the backup: %1").arg(path));
            break;
        case CopyProblem::Kind::NotWritten:
        case CopyProblem::Kind::NotCopied:
            m_problems
                << PanelText::tr("Not restored: %1 (%2)").arg(shown(m_root, problem.path), error);
            break;
        }
    }
    const qint64 more = problems.count() - problems.first().size();
    if (more > 0)
        m_problems << PanelText::tr("... and %1 more").arg(more);
}

DeviceRestore::Verdict DeviceRestore::check()
{
    m_problems.clear();
    m_created.clear();
    m_setDevice = DeviceIdentity();
    m_manifestSha256.clear();
    m_dumpSha256.clear();
    m_dumpBytes = m_treeEntries = m_treeFiles = m_bytes = 0;
    const QString stick = stickFolder(m_root);
    const QString set = backupFolder(m_root);
    m_stickKnown = ::stat(QFile::encodeName(stick).constData(), &m_stick) == 0;
    const QList<QByteArray> dumps = dumpNames();
    const QString nothingChanged = PanelText::tr("Nothing on the device was changed.");
    const auto refuse = [this](const QStringList &lines) {
        m_problems << lines;
        m_verdict = Verdict::Refused;
        return m_verdict;
    };
    const auto notAFolder = [&](const QByteArray &name, bool otherMount) {
        const QString folder = posixfs::displayPath(name);
        return refuse(
            {otherMount ? PanelText::tr("%1 on the U disk is another file system.").arg(folder)
                        : PanelText::tr("%1 on the U disk is not a folder (a link?).").arg(folder),
             nothingChanged});
    };

    SetVerifier verifier(stick, dumps);
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
            m_dumpBytes += verifier.dump(dump).size;
        }
        m_verdict = Verdict::Good;
        return m_verdict;
    }
    case SetVerifier::Verdict::NoSet:
        return refuse({PanelText::tr("No complete backup on U disk!")});
    case SetVerifier::Verdict::NotAFolder:
    case SetVerifier::Verdict::OtherMount:
        return notAFolder(verifier.refusedName(),
                          verifier.verdict() == SetVerifier::Verdict::OtherMount);
    case SetVerifier::Verdict::BadManifest:
        // The last line goes last: a manifest without it is a backup that did not finish.
        return refuse({PanelText::tr("No complete backup on U disk!"),
                       PanelText::tr("The list of the backup (%1) cannot be used: %2")
                           .arg(QString::fromLatin1(ManifestWriter::fileName()),
                                QString::fromLocal8Bit(verifier.manifestError())),
                       nothingChanged});
    case SetVerifier::Verdict::Damaged:
        addProblemLines(verifier.problems(), set);
        m_problems << nothingChanged;
        m_verdict = Verdict::Refused;
        return m_verdict;
    case SetVerifier::Verdict::NoManifest:
        break;
    }

    // An older panel's set: checked as it stands, its manifest written on the device.
    if (!makeLegacyFolder())
        return refuse(
            {PanelText::tr("The folder %1 cannot be made on the device").arg(QDir::tempPath()),
             nothingChanged});
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
        return refuse({PanelText::tr("No complete backup on U disk!")});
    case LegacySet::Verdict::NotAFolder:
    case LegacySet::Verdict::OtherMount:
        return notAFolder(legacy.refusedName(), found == LegacySet::Verdict::OtherMount);
    case LegacySet::Verdict::Damaged:
        addProblemLines(legacy.problems(), set);
        m_problems << nothingChanged;
        m_verdict = Verdict::Refused;
        return m_verdict;
    case LegacySet::Verdict::NotWritten:
        return refuse({PanelText::tr("The folder %1 cannot be written: %2")
                           .arg(legacyFolder(), posixfs::errorText(legacy.error())),
                       nothingChanged});
    }
    m_treeEntries = legacy.treeEntries();
    m_treeFiles = legacy.treeFiles();
    m_bytes = legacy.bytes();
    for (const QByteArray &dump : dumps)
        m_dumpSha256.insert(dump, legacy.dumpSha256(dump));
    m_dumpBytes = legacy.dumpBytes();
    m_verdict = Verdict::Unverified;
    return m_verdict;
}

bool DeviceRestore::restore()
{
    m_problems.clear();
    m_notes.clear();
    m_notRestored = ProblemList();
    m_restoredFiles = m_restoredBytes = 0;
    if (m_verdict == Verdict::Refused) {
        m_problems << PanelText::tr("No complete backup on U disk!") << whatWasLeft();
        return false;
    }
    if (!stickUnchanged()) {
        m_problems << PanelText::tr("The U disk was changed after it was checked.")
                   << whatWasLeft();
        return false;
    }
    const QString opt = optFolder(m_root);
    const QString replaceFailed = PanelText::tr("%1 cannot be replaced: %2 (%3)");
    const auto replacerFailed = [&](const TreeReplacer &replacer) {
        m_problems << replaceFailed.arg(opt, posixfs::displayPath(replacer.errorPath()),
                                        posixfs::errorText(replacer.error()));
    };

    // 1. Where the tree goes.
    TreeReplacer replacer(opt);
    if (!replacer.plan()) {
        replacerFailed(replacer);
        m_problems << whatWasLeft();
        return false;
    }

    // 2. The dumps, checked against what the check saw, proved to load.
    DatabaseRestore databases(m_runner, DatabaseRestore::defaultWorkFolder(m_root));
    for (const QString &database : maintainedDatabases()) {
        const QByteArray name = dumpFileName(database);
        databases.addDatabase(database, dumpFile(m_root, database), m_dumpSha256.value(name));
    }
    if (!databases.prepare()) {
        m_problems << databases.problems();
        if (!databases.dataAtRisk())
            m_problems << whatWasLeft();
        return false;
    }

    // 3. The tree, beside /opt or inside its mount points.
    if (!replacer.stage()) {
        replacerFailed(replacer);
        replacer.discard();
        leaveDatabases(databases);
        return false;
    }
    std::vector<ManifestEntry> tops(size_t(replacer.partCount()));
    std::vector<bool> haveTops(size_t(replacer.partCount()), false);
    qint64 done = 0;
    bool whole = true;
    for (int i = 0; i < replacer.partCount() && whole; ++i) {
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
        const qint64 before = done;
        restorer.progress = [this, before, &done](qint64 count) {
            done = before + count;
            if (progress)
                progress(done);
        };
        whole = restorer.restore();
        if (!whole) {
            if (!restorer.manifestError().isEmpty())
                m_problems << PanelText::tr("The list of the backup (%1) cannot be used: %2")
                                  .arg(QString::fromLatin1(ManifestWriter::fileName()),
                                       QString::fromLocal8Bit(restorer.manifestError()));
            addProblemLines(restorer.problems(), m_root);
        }
        for (const CopyProblem &skipped : restorer.notRestored().first())
            m_notRestored.add(skipped);
        m_restoredFiles += restorer.files();
        m_restoredBytes += restorer.bytes();
        tops[size_t(i)] = restorer.topEntry();
        haveTops[size_t(i)] = restorer.hasTop();
    }
    // 4. A stick pulled or swapped meanwhile: what was read from it counts for nothing.
    if (whole && !stickUnchanged()) {
        m_problems << PanelText::tr("The U disk was removed during the restore.");
        whole = false;
    }
    if (!whole) {
        replacer.discard();
        leaveDatabases(databases);
        return false;
    }

    // 5. The databases.
    if (!databases.replace()) {
        replacer.discard();
        m_problems << databases.problems() << PanelText::tr("/opt was left as it was.");
        return false;
    }

    // 6. The swap.
    if (!replacer.commit()) {
        replacerFailed(replacer);
        const bool kept = replacer.previousKept();
        databases.rollBack();
        replacer.discard();
        m_problems << databases.problems();
        m_problems << (kept ? PanelText::tr("/opt was left as it was.")
                            : PanelText::tr("/opt may not be complete: run Restore again."));
        return false;
    }

    // 7. What is left of the old tree goes; folders that stayed get their own metadata last.
    if (!replacer.removeOld()) {
        for (const CopyProblem &problem : replacer.problems().first())
            m_notes << PanelText::tr("Left behind: %1 (%2)")
                           .arg(posixfs::displayPath(problem.path),
                                posixfs::errorText(problem.error));
    }
    for (int i = 0; i < replacer.partCount(); ++i) {
        const TreeReplacer::Part &part = replacer.part(i);
        if (!part.pinned || !haveTops[size_t(i)])
            continue;
        const int error = TreeRestorer::applyMetadataTo(part.folder.get(), tops[size_t(i)]);
        if (error != 0)
            m_notes << PanelText::tr("Not restored: %1 (%2)")
                           .arg(shown(m_root, tops[size_t(i)].path), posixfs::errorText(error));
    }
    m_restoredBytes += m_dumpBytes;
    const CommandResult synced = m_runner.run(syncCommand());
    if (!synced.succeeded()) {
        m_problems << PanelText::tr("/opt and the databases were restored, but writing them "
                                    "to disk failed (sync): %1")
                          .arg(synced.reason());
        return false;
    }
    return true;
}
