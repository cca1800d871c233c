#include "maintenance/set/setverifier.h"

#include "maintenance/database/dumpend.h"
#include "maintenance/set/backupset.h"
#include "maintenance/fs/foldercursor.h"
#include "maintenance/set/manifestreader.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/sha256.h"

#include <QFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <vector>

SetVerifier::SetVerifier(const QString &stickPath, const QList<QByteArray> &dumps, Depth depth)
    : m_stickPath(stickPath), m_dumps(dumps), m_depth(depth)
{
}

const char *SetVerifier::typeName(ManifestEntry::Type type)
{
    switch (type) {
    case ManifestEntry::Type::File:
        return "file";
    case ManifestEntry::Type::Folder:
        return "folder";
    case ManifestEntry::Type::Link:
        return "link";
    case ManifestEntry::Type::Fifo:
        return "FIFO";
    case ManifestEntry::Type::Socket:
        return "socket";
    case ManifestEntry::Type::CharDevice:
        return "character device";
    case ManifestEntry::Type::BlockDevice:
        return "block device";
    }
    return "entry";
}

bool SetVerifier::treePath(const QByteArray &path, QList<QByteArray> *names)
{
    return posixfs::splitRelativePath(path, names) && names->first() == BackupSet::treeName();
}

int SetVerifier::openSet(const QString &stickPath, Verdict *verdict, QByteArray *refused)
{
    UniqueFd stick(
        ::open(QFile::encodeName(stickPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat stickStatus;
    if (!stick.isValid() || ::fstat(stick.get(), &stickStatus) != 0) {
        *verdict = Verdict::NoSet;
        return -1;
    }
    const auto checked = [&](int dirFd, const char *name, const QByteArray &shown) {
        if (refused)
            *refused = shown;
        struct stat status;
        if (::fstatat(dirFd, name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
            *verdict = Verdict::NoSet;
            return -1;
        }
        if (!S_ISDIR(status.st_mode)) {
            *verdict = Verdict::NotAFolder;
            return -1;
        }
        if (status.st_dev != stickStatus.st_dev) {
            *verdict = Verdict::OtherMount;
            return -1;
        }
        const int fd = posixfs::openFolderAt(dirFd, name);
        if (fd < 0)
            *verdict = Verdict::NotAFolder;
        return fd;
    };
    const QByteArray setName = BackupSet::setName();
    UniqueFd set(checked(stick.get(), BackupSet::setName(), setName));
    if (!set.isValid())
        return -1;
    UniqueFd tree(checked(set.get(), BackupSet::treeName(), setName + '/' + BackupSet::treeName()));
    if (!tree.isValid())
        return -1;
    if (refused)
        refused->clear();
    *verdict = Verdict::Good;
    return set.release();
}

void SetVerifier::problem(CopyProblem::Kind kind, const QByteArray &path, int error)
{
    CopyProblem found;
    found.kind = kind;
    found.path = path;
    found.error = error;
    m_problems.add(found);
}

qint64 SetVerifier::announcedEntries(const QString &stickPath)
{
    Verdict verdict;
    UniqueFd set(openSet(stickPath, &verdict));
    struct stat status;
    UniqueFd manifest(set.isValid() ? posixfs::openRegularForReading(
                                          set.get(), ManifestWriter::fileName(), &status)
                                    : -1);
    if (!manifest.isValid())
        return 0;
    QByteArray end;
    if (!posixfs::readTail(manifest.get(), 512, &end))
        return 0;
    const int line = end.lastIndexOf(ManifestWriter::completeMarker());
    if (line < 0)
        return 0;
    const int start = end.indexOf(" entries=", line);
    if (start < 0)
        return 0;
    const qint64 entries = end.mid(start + 9).split(' ').first().toLongLong();
    return std::max<qint64>(entries, 0);
}

SetVerifier::Verdict SetVerifier::verify()
{
    m_problems = ProblemList();
    m_summary = Summary();
    m_manifestError.clear();
    m_manifestSha256.clear();
    m_dumpEntries.clear();
    UniqueFd set(openSet(m_stickPath, &m_verdict, &m_refusedName));
    if (!set.isValid())
        return m_verdict;

    ManifestReader reader;
    if (!reader.open(set.get(), ManifestWriter::fileName())) {
        if (reader.error() == ENOENT) {
            m_verdict = Verdict::NoManifest;
        } else {
            m_verdict = Verdict::BadManifest;
            m_manifestError = reader.errorText();
        }
        return m_verdict;
    }

    FolderCursor cursor(set.get());
    QSet<QByteArray> dumpsSeen;
    ManifestEntry entry;
    qint64 done = 0;
    bool sawTop = false;
    for (;;) {
        const ManifestReader::Result result = reader.next(&entry);
        if (result == ManifestReader::Result::Error) {
            m_verdict = Verdict::BadManifest;
            m_manifestError = reader.errorText();
            return m_verdict;
        }
        if (result == ManifestReader::Result::End)
            break;
        ++m_summary.entries;
        if (entry.type == ManifestEntry::Type::File)
            ++m_summary.files, m_summary.bytes += entry.size;

        // Where the stick holds the entry, below BackupData.
        QList<QByteArray> names;
        const bool isDump = m_dumps.contains(entry.path);
        if (isDump) {
            if (entry.type != ManifestEntry::Type::File || !entry.stored.isEmpty() ||
                dumpsSeen.contains(entry.path)) {
                problem(CopyProblem::Kind::Unsafe, entry.path);
                continue;
            }
            dumpsSeen.insert(entry.path);
            m_dumpEntries.insert(entry.path, entry);
            names << entry.path;
        } else {
            QList<QByteArray> real;
            if (!treePath(entry.path, &real) || !treePath(entry.storedPath(), &names)) {
                problem(CopyProblem::Kind::Unsafe, entry.path);
                continue;
            }
            if (real.size() == 1) {
                sawTop = entry.type == ManifestEntry::Type::Folder && entry.stored.isEmpty();
            } else {
                ++m_summary.treeEntries;
                if (entry.type == ManifestEntry::Type::File)
                    ++m_summary.treeFiles;
            }
        }

        if (entry.optional) {
            ++done;
            if (progress)
                progress(done);
            continue;
        }
        const QByteArray name = names.takeLast();
        if (!cursor.moveTo(names)) {
            problem(CopyProblem::Kind::Missing, entry.path, errno);
            continue;
        }
        struct stat status;
        if (::fstatat(cursor.fd(), name.constData(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            problem(CopyProblem::Kind::Missing, entry.path, errno);
            continue;
        }
        bool right = true;
        switch (entry.type) {
        case ManifestEntry::Type::Folder:
            right = S_ISDIR(status.st_mode);
            break;
        case ManifestEntry::Type::Link: {
            QByteArray target;
            right = S_ISLNK(status.st_mode) &&
                    posixfs::readLink(cursor.fd(), name.constData(), &target) &&
                    target == entry.link;
            break;
        }
        case ManifestEntry::Type::Fifo:
            right = S_ISFIFO(status.st_mode);
            break;
        case ManifestEntry::Type::File: {
            if (m_depth == Depth::Quick) {
                right = S_ISREG(status.st_mode) && status.st_size == entry.size;
                if (right && isDump) {
                    struct stat opened;
                    UniqueFd fd(posixfs::openRegularForReading(cursor.fd(), name.constData(),
                                                               &opened, &status));
                    right = fd.isValid() && dumpEndsWhole(fd.get());
                }
                break;
            }
            struct stat opened;
            UniqueFd fd(
                posixfs::openRegularForReading(cursor.fd(), name.constData(), &opened, &status));
            if (!fd.isValid()) {
                problem(S_ISREG(status.st_mode) ? CopyProblem::Kind::Unreadable
                                                : CopyProblem::Kind::Mismatch,
                        entry.path, S_ISREG(status.st_mode) ? errno : 0);
                continue;
            }
            QByteArray sha256;
            qint64 size = 0;
            if (!sha256OfFile(fd.get(), &sha256, &size)) {
                problem(CopyProblem::Kind::Unreadable, entry.path, errno);
                continue;
            }
            right = size == entry.size && sha256 == entry.sha256;
            break;
        }
        default:
            right = false;
            break;
        }
        if (!right)
            problem(CopyProblem::Kind::Mismatch, entry.path);
        ++done;
        if (progress)
            progress(done);
    }
    if (!reader.complete()) {
        m_verdict = Verdict::BadManifest;
        m_manifestError = "the manifest was cut short";
        return m_verdict;
    }
    m_summary.created = reader.created();
    m_summary.device = reader.device();
    m_manifestSha256 = reader.sha256();
    if (!sawTop)
        problem(CopyProblem::Kind::Missing, BackupSet::treeName());
    for (const QByteArray &dump : m_dumps) {
        if (!dumpsSeen.contains(dump))
            problem(CopyProblem::Kind::Missing, dump);
    }
    m_verdict = m_problems.isEmpty() ? Verdict::Good : Verdict::Damaged;
    return m_verdict;
}
