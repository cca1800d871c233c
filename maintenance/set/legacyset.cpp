#include "maintenance/set/legacyset.h"

#include "maintenance/database/dumpend.h"
#include "maintenance/set/backupset.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/set/setverifier.h"
#include "maintenance/fs/sha256.h"
#include "maintenance/fs/treewalker.h"
#include "maintenance/fs/uniquefd.h"
#include "maintenance/system/devicelayout.h"

#include <QDateTime>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

// The mode mkdir gives a new folder here.
mode_t folderMode()
{
    return 0777 & ~posixfs::currentUmask();
}

ManifestEntry describe(const QByteArray &path, const struct stat &status)
{
    ManifestEntry entry = ManifestEntry::fromStatus(path, status);
    // What an older panel's copy gave: a file's permission bits, a new folder's mode (a FAT
    // stick shows its folders as the mount options say, 0700 through fusefat), the panel's
    // own owner.
    entry.mode = S_ISDIR(status.st_mode) ? folderMode() : status.st_mode & 0777;
    entry.uid = ::geteuid();
    entry.gid = ::getegid();
    return entry;
}

} // namespace

LegacySet::LegacySet(const QString &stickPath, const QList<QByteArray> &dumps)
    : m_stickPath(stickPath), m_dumpNames(dumps)
{
}

qint64 LegacySet::dumpBytes() const
{
    qint64 bytes = 0;
    for (const qint64 size : m_dumpSizes)
        bytes += size;
    return bytes;
}

void LegacySet::problem(CopyProblem::Kind kind, const QByteArray &path, int error)
{
    CopyProblem found;
    found.kind = kind;
    found.path = path;
    found.error = error;
    m_problems.add(found);
}

bool LegacySet::checkDump(int setFd, const QByteArray &name)
{
    struct stat status;
    UniqueFd fd(posixfs::openRegularForReading(setFd, name.constData(), &status));
    if (!fd.isValid())
        return false;
    QByteArray sha256;
    qint64 size = 0;
    if (!hashWholeDump(fd.get(), &sha256, &size))
        return false;
    m_dumps.insert(name, sha256);
    m_dumpSizes.insert(name, size);
    m_bytes += size;
    return true;
}

qint64 LegacySet::countEntries(const QString &stickPath)
{
    SetVerifier::Verdict verdict;
    UniqueFd set(SetVerifier::openSet(stickPath, &verdict));
    TreeWalker walker;
    if (!set.isValid() || !walker.openAt(set.get(), BackupSet::treeName()))
        return 0;
    const dev_t device = walker.topStatus().st_dev;
    qint64 entries = 0;
    for (;;) {
        const TreeWalker::Step step = walker.next();
        if (step == TreeWalker::Step::End)
            break;
        if (step == TreeWalker::Step::Leave)
            continue;
        ++entries;
        if (S_ISDIR(walker.status().st_mode) && walker.status().st_dev == device)
            walker.descend();
    }
    return entries;
}

LegacySet::Verdict LegacySet::check(int workFd)
{
    m_problems = ProblemList();
    m_dumps.clear();
    m_dumpSizes.clear();
    m_error = 0;
    m_entries = m_files = m_bytes = 0;
    SetVerifier::Verdict opened;
    UniqueFd set(SetVerifier::openSet(m_stickPath, &opened, &m_refusedName));
    if (!set.isValid()) {
        return opened == SetVerifier::Verdict::NotAFolder   ? Verdict::NotAFolder
               : opened == SetVerifier::Verdict::OtherMount ? Verdict::OtherMount
                                                            : Verdict::NoSet;
    }
    // Without both dumps whole there is nothing to restore (a backup cut short).
    for (const QByteArray &dump : qAsConst(m_dumpNames)) {
        if (!checkDump(set.get(), dump))
            return Verdict::NoSet;
    }

    ::unlinkat(workFd, ManifestWriter::fileName(), 0);
    ::unlinkat(workFd, ManifestWriter::sumsFileName(), 0);
    ManifestWriter manifest;
    const QByteArray created =
        QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1() + " (older set)";
    if (!manifest.create(workFd, created,
                         QByteArray(SetLayout::setFolder) + '/' + SetLayout::treeFolder,
                         DeviceIdentity())) {
        m_error = manifest.error();
        return Verdict::NotWritten;
    }
    TreeWalker walker;
    const QByteArray top = BackupSet::treeName();
    if (!walker.openAt(set.get(), top.constData())) {
        manifest.close();
        return Verdict::NoSet;
    }
    const dev_t device = walker.topStatus().st_dev;
    ManifestEntry folder = describe(top, walker.topStatus());
    folder.type = ManifestEntry::Type::Folder;
    manifest.add(folder);

    for (;;) {
        const TreeWalker::Step step = walker.next();
        if (step == TreeWalker::Step::End)
            break;
        const QByteArray path = top + '/' + walker.path();
        if (step == TreeWalker::Step::Leave) {
            if (walker.listError() != 0)
                problem(CopyProblem::Kind::Unreadable, path, walker.listError());
            continue;
        }
        if (walker.statusError() != 0) {
            problem(CopyProblem::Kind::Unreadable, path, walker.statusError());
            continue;
        }
        const struct stat &status = walker.status();
        ManifestEntry entry = describe(path, status);
        if (status.st_dev != device) {
            problem(CopyProblem::Kind::Unsafe, path, EXDEV);
            continue;
        }
        const QByteArray name = walker.name();
        bool listed = true;
        switch (status.st_mode & S_IFMT) {
        case S_IFDIR:
            entry.type = ManifestEntry::Type::Folder;
            manifest.add(entry);
            listed = false;
            if (!walker.descend())
                problem(CopyProblem::Kind::Unreadable, path, walker.error());
            break;
        case S_IFREG: {
            entry.type = ManifestEntry::Type::File;
            struct stat opened;
            UniqueFd file(
                posixfs::openSeenRegular(walker.parentFd(), name.constData(), status, &opened));
            if (!file.isValid() || !sha256OfFile(file.get(), &entry.sha256, &entry.size)) {
                problem(CopyProblem::Kind::Unreadable, path, errno);
                listed = false;
                break;
            }
            ++m_files;
            m_bytes += entry.size;
            break;
        }
        case S_IFLNK:
            entry.type = ManifestEntry::Type::Link;
            if (!posixfs::readLink(walker.parentFd(), name.constData(), &entry.link) ||
                entry.link.isEmpty()) {
                problem(CopyProblem::Kind::Unreadable, path, errno);
                listed = false;
            }
            break;
        case S_IFIFO:
            entry.type = ManifestEntry::Type::Fifo;
            break;
        case S_IFSOCK:
            entry.type = ManifestEntry::Type::Socket;
            break;
        case S_IFCHR:
            entry.type = ManifestEntry::Type::CharDevice;
            break;
        default:
            entry.type = ManifestEntry::Type::BlockDevice;
            break;
        }
        if (listed)
            manifest.add(entry);
        ++m_entries;
        if (progress)
            progress(m_entries);
    }
    if (walker.brokenOff())
        problem(CopyProblem::Kind::Unreadable, top, ESTALE);
    for (const QByteArray &dump : qAsConst(m_dumpNames)) {
        ManifestEntry entry;
        entry.path = dump;
        entry.type = ManifestEntry::Type::File;
        entry.sha256 = m_dumps.value(dump);
        entry.size = m_dumpSizes.value(dump);
        manifest.add(entry);
    }
    if (!manifest.finishSet(m_entries, m_files, m_bytes, m_dumpNames.size())) {
        m_error = manifest.error();
        return Verdict::NotWritten;
    }
    return m_problems.isEmpty() ? Verdict::Good : Verdict::Damaged;
}
