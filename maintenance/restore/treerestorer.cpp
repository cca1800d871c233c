#include "maintenance/restore/treerestorer.h"

#include "maintenance/fs/foldercursor.h"
#include "maintenance/set/manifestreader.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/set/setverifier.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

const size_t bufferSize = 256 * 1024;
const size_t holeBlock = 4096;

QByteArray joined(const QList<QByteArray> &names)
{
    QByteArray path;
    for (const QByteArray &name : names) {
        if (!path.isEmpty())
            path += '/';
        path += name;
    }
    return path;
}

bool startsWith(const QList<QByteArray> &path, const QList<QByteArray> &prefix)
{
    return path.size() >= prefix.size() && path.mid(0, prefix.size()) == prefix;
}

bool isZero(const char *data, size_t size)
{
    static const char zeros[holeBlock] = {};
    return size <= holeBlock && std::memcmp(data, zeros, size) == 0;
}

} // namespace

TreeRestorer::TreeRestorer(const QString &stickPath, int targetFd)
    : m_stickPath(stickPath), m_target(::fcntl(targetFd, F_DUPFD_CLOEXEC, 0)), m_buffer(bufferSize)
{
}

TreeRestorer::~TreeRestorer() = default;

void TreeRestorer::setPart(const QList<QByteArray> &top, const QList<QList<QByteArray>> &skipped,
                           bool applyTop)
{
    m_part = top;
    m_skipped = skipped;
    m_applyTop = applyTop;
}

void TreeRestorer::setManifestFolder(int dirFd)
{
    m_manifestFolder.reset(::fcntl(dirFd, F_DUPFD_CLOEXEC, 0));
}

void TreeRestorer::problem(CopyProblem::Kind kind, const QByteArray &path, int error)
{
    CopyProblem found;
    found.kind = kind;
    found.path = path;
    found.error = error;
    m_problems.add(found);
}

bool TreeRestorer::restore()
{
    m_problems = ProblemList();
    m_notRestored = ProblemList();
    m_entries = m_files = m_bytes = 0;
    m_groups.clear();
    m_haveTop = false;
    m_top = ManifestEntry();
    SetVerifier::Verdict verdict;
    UniqueFd set(SetVerifier::openSet(m_stickPath, &verdict));
    if (!set.isValid() || !m_target.isValid()) {
        m_manifestError = "no backup set";
        return false;
    }
    ManifestReader reader;
    const int manifestFolder = m_manifestFolder.isValid() ? m_manifestFolder.get() : set.get();
    if (!reader.open(manifestFolder, ManifestWriter::fileName())) {
        m_manifestError = reader.errorText();
        return false;
    }
    FolderCursor stickCursor(set.get(), openLevels);
    FolderCursor targetCursor(m_target.get(), openLevels);
    m_stickCursor = &stickCursor;
    m_targetCursor = &targetCursor;
    m_folderMetadata.clear();
    targetCursor.onLeave = [this](int fd, int depth) {
        const Metadata &folder = m_folderMetadata[size_t(depth - 1)];
        if (folder.known)
            applyMetadata(fd, folder.entry, folder.entry.path);
        m_folderMetadata.resize(size_t(depth - 1));
    };

    ManifestEntry entry;
    bool good = true;
    for (;;) {
        const ManifestReader::Result result = reader.next(&entry);
        if (result == ManifestReader::Result::Error) {
            m_manifestError = reader.errorText();
            good = false;
            break;
        }
        if (result == ManifestReader::Result::End)
            break;
        QList<QByteArray> real;
        QList<QByteArray> stored;
        // The dumps are the databases' business.
        if (!entry.path.contains('/') && entry.path != "opt")
            continue;
        if (!SetVerifier::treePath(entry.path, &real) ||
            !SetVerifier::treePath(entry.storedPath(), &stored)) {
            problem(CopyProblem::Kind::Unsafe, entry.path);
            continue;
        }
        real.removeFirst();
        if (real == m_part) {
            m_top = entry;
            // Not a folder: named by the part that skips it.
            m_haveTop = entry.type == ManifestEntry::Type::Folder;
            continue;
        }
        if (!startsWith(real, m_part))
            continue;
        bool skipped = false;
        for (const QList<QByteArray> &folder : qAsConst(m_skipped)) {
            if (!startsWith(real, folder))
                continue;
            skipped = true;
            // A mount point on the device stays a folder.
            if (real.size() == folder.size() && entry.type != ManifestEntry::Type::Folder)
                problem(CopyProblem::Kind::NotWritten, entry.path, EBUSY);
            break;
        }
        if (skipped)
            continue;
        restoreEntry(entry, real.mid(m_part.size()), stored);
        ++m_entries;
        if (progress)
            progress(m_entries);
    }
    if (good && !reader.complete()) {
        m_manifestError = "the manifest was cut short";
        good = false;
    }
    if (good && !m_expectedManifest.isEmpty() && reader.sha256() != m_expectedManifest) {
        m_manifestError = "the manifest changed after it was checked";
        good = false;
    }
    if (!targetCursor.leaveAll())
        problem(CopyProblem::Kind::NotWritten, "opt", errno);
    m_stickCursor = nullptr;
    m_targetCursor = nullptr;
    if (m_haveTop && m_applyTop)
        applyMetadata(m_target.get(), m_top, m_top.path);
    else if (!m_haveTop && m_part.isEmpty() && good)
        problem(CopyProblem::Kind::Missing, "opt");
    return good && m_problems.isEmpty();
}

void TreeRestorer::restoreEntry(const ManifestEntry &entry, const QList<QByteArray> &real,
                                const QList<QByteArray> &stored)
{
    const QByteArray name = real.last();
    if (!m_targetCursor->moveTo(real.mid(0, real.size() - 1))) {
        problem(CopyProblem::Kind::NotWritten, entry.path, errno);
        return;
    }
    m_folderMetadata.resize(size_t(m_targetCursor->depth()));
    const int dirFd = m_targetCursor->fd();
    switch (entry.type) {
    case ManifestEntry::Type::Folder: {
        if (::mkdirat(dirFd, name.constData(), 0700) != 0) {
            problem(CopyProblem::Kind::NotWritten, entry.path, errno);
            return;
        }
        const int fd = posixfs::openFolderAt(dirFd, name.constData());
        if (fd < 0) {
            problem(CopyProblem::Kind::NotWritten, entry.path, errno);
            return;
        }
        m_targetCursor->enter(name, fd);
        Metadata folder;
        folder.known = true;
        folder.entry = entry;
        m_folderMetadata.push_back(folder);
        return;
    }
    case ManifestEntry::Type::File:
        restoreFile(entry, dirFd, name.constData(), real, stored);
        return;
    case ManifestEntry::Type::Link:
        if (::symlinkat(entry.link.constData(), dirFd, name.constData()) != 0) {
            problem(CopyProblem::Kind::NotWritten, entry.path, errno);
            return;
        }
        applyMetadataAt(dirFd, name.constData(), entry);
        return;
    case ManifestEntry::Type::Fifo:
        if (::mkfifoat(dirFd, name.constData(), 0600) != 0) {
            problem(CopyProblem::Kind::NotWritten, entry.path, errno);
            return;
        }
        applyMetadataAt(dirFd, name.constData(), entry);
        return;
    default: {
        CopyProblem skipped;
        skipped.kind = CopyProblem::Kind::NotCopied;
        skipped.path = entry.path;
        skipped.typeName = SetVerifier::typeName(entry.type);
        m_notRestored.add(skipped);
        return;
    }
    }
}

bool TreeRestorer::restoreFile(const ManifestEntry &entry, int dirFd, const char *name,
                               const QList<QByteArray> &real, const QList<QByteArray> &stored)
{
    if (entry.group > 0 && m_groups.contains(entry.group)) {
        const QByteArray first = m_groups.value(entry.group);
        const int error = posixfs::linkBeneath(m_target.get(), first, dirFd, name);
        if (error == 0) {
            ++m_files;
            return true;
        }
        // Not linked: the data is copied on its own below, and the box says so.
        problem(CopyProblem::Kind::NotWritten, entry.path, error);
    }
    if (!m_stickCursor->moveTo(stored.mid(0, stored.size() - 1))) {
        problem(CopyProblem::Kind::Missing, entry.path, errno);
        return false;
    }
    struct stat status;
    UniqueFd in(
        posixfs::openRegularForReading(m_stickCursor->fd(), stored.last().constData(), &status));
    if (!in.isValid()) {
        problem(errno == ENOENT ? CopyProblem::Kind::Missing : CopyProblem::Kind::Unreadable,
                entry.path, errno);
        return false;
    }
    UniqueFd out(::openat(dirFd, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.isValid()) {
        problem(CopyProblem::Kind::NotWritten, entry.path, errno);
        return false;
    }
    int readError = 0;
    int writeError = 0;
    bool mismatch = false;
    if (!copyData(in.get(), out.get(), entry, &readError, &writeError, &mismatch)) {
        out.reset();
        ::unlinkat(dirFd, name, 0);
        if (mismatch)
            problem(CopyProblem::Kind::Mismatch, entry.path);
        else if (writeError != 0)
            problem(CopyProblem::Kind::NotWritten, entry.path, writeError);
        else
            problem(CopyProblem::Kind::Unreadable, entry.path, readError);
        return false;
    }
    applyMetadata(out.get(), entry, entry.path);
    if (::close(out.release()) != 0) {
        problem(CopyProblem::Kind::NotWritten, entry.path, errno);
        return false;
    }
    if (entry.group > 0 && !m_groups.contains(entry.group))
        m_groups.insert(entry.group, joined(real));
    ++m_files;
    m_bytes += entry.size;
    return true;
}

bool TreeRestorer::copyData(int in, int out, const ManifestEntry &entry, int *readError,
                            int *writeError, bool *mismatch)
{
    m_hash.reset();
    off_t pos = 0;
    char *buffer = m_buffer.data();
    for (;;) {
        const ssize_t got = posixfs::readRetrying(in, buffer, m_buffer.size());
        if (got < 0) {
            *readError = errno;
            return false;
        }
        if (got == 0)
            break;
        m_hash.add(buffer, size_t(got));
        // Blocks of zeros become holes again.
        for (size_t offset = 0; offset < size_t(got);) {
            const size_t block = std::min(holeBlock, size_t(got) - offset);
            if (!isZero(buffer + offset, block)) {
                size_t run = block;
                while (offset + run < size_t(got)) {
                    const size_t next = std::min(holeBlock, size_t(got) - offset - run);
                    if (isZero(buffer + offset + run, next))
                        break;
                    run += next;
                }
                if (!posixfs::pwriteAll(out, buffer + offset, run, pos + off_t(offset))) {
                    *writeError = errno;
                    return false;
                }
                offset += run;
            } else {
                offset += block;
            }
        }
        pos += got;
        if (byteProgress)
            byteProgress(m_bytes + pos);
        if (pos > entry.size) {
            *mismatch = true;
            return false;
        }
    }
    if (::ftruncate(out, pos) != 0) {
        *writeError = errno;
        return false;
    }
    if (pos != entry.size || m_hash.hex() != entry.sha256) {
        *mismatch = true;
        return false;
    }
    return true;
}

int TreeRestorer::applyMetadataTo(int fd, const ManifestEntry &entry)
{
    int error = 0;
    if ((::geteuid() == 0 || entry.uid != ::geteuid() || entry.gid != ::getegid()) &&
        ::fchown(fd, entry.uid, entry.gid) != 0)
        error = errno;
    if (::fchmod(fd, entry.mode & 07777) != 0 && error == 0)
        error = errno;
    const struct timespec time = {entry.mtime, long(entry.mtimeNsec)};
    const struct timespec times[2] = {time, time};
    if (::futimens(fd, times) != 0 && error == 0)
        error = errno;
    return error;
}

void TreeRestorer::applyMetadata(int fd, const ManifestEntry &entry, const QByteArray &path)
{
    const int error = applyMetadataTo(fd, entry);
    if (error != 0)
        problem(CopyProblem::Kind::NotWritten, path, error);
}

void TreeRestorer::applyMetadataAt(int dirFd, const char *name, const ManifestEntry &entry)
{
    if ((::geteuid() == 0 || entry.uid != ::geteuid() || entry.gid != ::getegid()) &&
        ::fchownat(dirFd, name, entry.uid, entry.gid, AT_SYMLINK_NOFOLLOW) != 0)
        problem(CopyProblem::Kind::NotWritten, entry.path, errno);
    if (entry.type != ManifestEntry::Type::Link &&
        ::fchmodat(dirFd, name, entry.mode & 07777, 0) != 0)
        problem(CopyProblem::Kind::NotWritten, entry.path, errno);
    const struct timespec time = {entry.mtime, long(entry.mtimeNsec)};
    const struct timespec times[2] = {time, time};
    if (::utimensat(dirFd, name, times, AT_SYMLINK_NOFOLLOW) != 0)
        problem(CopyProblem::Kind::NotWritten, entry.path, errno);
}
