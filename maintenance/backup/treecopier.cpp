#include "maintenance/backup/treecopier.h"

#include "maintenance/fs/folderstack.h"
#include "maintenance/set/manifestentry.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/treewalker.h"
#include "maintenance/restore/treereplacer.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

const size_t bufferSize = 256 * 1024;

bool writeZeros(int fd, off_t count)
{
    static const char zeros[65536] = {};
    while (count > 0) {
        const size_t chunk = size_t(std::min<off_t>(count, off_t(sizeof zeros)));
        if (!posixfs::writeAll(fd, zeros, chunk))
            return false;
        count -= off_t(chunk);
    }
    return true;
}

} // namespace

TreeCopier::TreeCopier(const QByteArray &source, int targetFd, Options options)
    : m_source(source), m_top(::fcntl(targetFd, F_DUPFD_CLOEXEC, 0)), m_options(std::move(options)),
      m_mapper(m_options.caps), m_buffer(bufferSize)
{
    struct stat status;
    if (m_top.isValid() && ::fstat(m_top.get(), &status) == 0)
        m_topDev = status.st_dev;
    m_uid = ::geteuid();
    m_gid = ::getegid();
    m_umask = posixfs::currentUmask();
}

TreeCopier::~TreeCopier() = default;

namespace {

const qint64 workBlock = 4096;
// How often a large file's copy says how far it got.
const qint64 reportEveryBytes = qint64(4) << 20;

qint64 roundedUp(qint64 bytes, qint64 block)
{
    return (bytes + block - 1) / block * block;
}

} // namespace

qint64 TreeCopier::storedBytes(const struct stat &status, qint64 block)
{
    if (!S_ISREG(status.st_mode))
        return block;
    return std::min(roundedUp(status.st_size, block),
                    roundedUp(qint64(status.st_blocks) * 512, block));
}

qint64 TreeCopier::entryWork(const struct stat &status)
{
    return std::max(workBlock, storedBytes(status, workBlock));
}

// A restore's work folders inside a folder that stays (a mount point) are no data of the
// device's: an old tree not yet removed, a new one not yet moved in.
bool TreeCopier::isRestoreWork(const TreeWalker &walker)
{
    return walker.statusError() == 0 && S_ISDIR(walker.status().st_mode) &&
           TreeReplacer::isWorkName(walker.name());
}

TreeCount TreeCopier::count(const QByteArray &source, bool holes, long blockSize, int openLevels)
{
    TreeCount count;
    const qint64 block = blockSize > 0 ? blockSize : 4096;
    TreeWalker walker(openLevels);
    if (!walker.open(source))
        return count;
    for (;;) {
        const TreeWalker::Step step = walker.next();
        if (step == TreeWalker::Step::End)
            break;
        if (step == TreeWalker::Step::Leave || isRestoreWork(walker))
            continue;
        ++count.entries;
        const struct stat &status = walker.status();
        const qint64 stored = storedBytes(status, block);
        count.stored += stored;
        count.work += entryWork(status);
        if (S_ISDIR(status.st_mode)) {
            count.needed += block;
            walker.descend();
        } else if (S_ISREG(status.st_mode)) {
            ++count.files;
            count.bytes += status.st_size;
            count.needed += holes ? stored : roundedUp(status.st_size, block);
        } else {
            count.needed += block;
        }
    }
    return count;
}

void TreeCopier::reportWork(qint64 copiedOfEntry)
{
    if (!m_options.workProgress)
        return;
    m_reportedAt = copiedOfEntry;
    m_options.workProgress(m_workDone + std::min(copiedOfEntry, m_entryWork));
}

TreeCopyResult TreeCopier::copy()
{
    m_result = TreeCopyResult();
    m_done = 0;
    m_workDone = 0;
    m_entryWork = 0;
    m_links.clear();
    m_folders.clear();
    m_stored.clear();
    if (!m_top.isValid()) {
        m_result.fatalError = EBADF;
        return std::move(m_result);
    }
    TreeWalker walker(m_options.openLevels);
    if (!walker.open(m_source)) {
        readFailed(QByteArray(), walker.error());
        return std::move(m_result);
    }
    FolderStack targets(m_options.openLevels);
    targets.push(::fcntl(m_top.get(), F_DUPFD_CLOEXEC, 0));
    FolderInfo top;
    top.source = walker.topStatus();
    m_folders.push_back(top);
    ManifestEntry topEntry = ManifestEntry::fromStatus(m_options.manifestPrefix, top.source);
    topEntry.type = ManifestEntry::Type::Folder;
    record(topEntry);

    while (m_result.fatalError == 0) {
        const TreeWalker::Step step = walker.next();
        if (step == TreeWalker::Step::End)
            break;
        if (step == TreeWalker::Step::Leave) {
            if (walker.listError() != 0)
                readFailed(walker.path(), walker.listError());
            applyMetadata(targets.top(), m_folders.back().source, walker.path());
            if (walker.depth() > 1) {
                if (!targets.pop())
                    writeFailed(walker.path(), ESTALE);
                m_folders.pop_back();
                m_stored.truncate(m_folders.back().storedLength);
            }
            continue;
        }
        if (isRestoreWork(walker))
            continue;
        if (m_options.progress)
            m_options.progress(m_done);
        m_entryWork = entryWork(walker.status());
        reportWork(0);
        copyEntry(walker, targets);
        m_workDone += m_entryWork;
        m_entryWork = 0;
        ++m_done;
    }
    reportWork(0);
    if (walker.brokenOff())
        readFailed(walker.path(), ESTALE);
    m_result.entries = m_done;
    return std::move(m_result);
}

void TreeCopier::copyEntry(TreeWalker &walker, FolderStack &targets)
{
    const QByteArray path = walker.path();
    if (walker.statusError() != 0) {
        readFailed(path, walker.statusError());
        return;
    }
    const struct stat &status = walker.status();
    const int dirFd = targets.top();
    const QByteArray name = walker.name();
    ManifestEntry entry = ManifestEntry::fromStatus(m_options.manifestPrefix + '/' + path, status);
    QByteArray storedName = name;
    const mode_t type = status.st_mode & S_IFMT;

    if (type == S_IFDIR) {
        copyFolder(walker, targets, entry);
        return;
    }
    if (type == S_IFREG) {
        copyFile(walker, dirFd, entry);
        return;
    }
    // Links and FIFOs carry no data: made under a name the stick takes, or only recorded
    // where it cannot hold them.
    const auto makeNode = [&](bool supported, const std::function<int(const char *)> &make) {
        if (!supported) {
            entry.optional = true;
            return true;
        }
        const int error = createNamed(dirFd, name, false, make, &storedName);
        if (error != 0) {
            writeFailed(path, error);
            return false;
        }
        applyMetadataAt(dirFd, storedName.constData(), status, path);
        return true;
    };
    if (type == S_IFLNK) {
        entry.type = ManifestEntry::Type::Link;
        if (!posixfs::readLink(walker.parentFd(), name.constData(), &entry.link)) {
            if (errno != ENOENT)
                readFailed(path, errno);
            return;
        }
        if (!makeNode(m_options.caps.symlinks, [&](const char *candidate) {
                return ::symlinkat(entry.link.constData(), dirFd, candidate) == 0 ? 0 : errno;
            }))
            return;
    } else if (type == S_IFIFO) {
        entry.type = ManifestEntry::Type::Fifo;
        if (!makeNode(m_options.caps.fifos, [&](const char *candidate) {
                return ::mkfifoat(dirFd, candidate, 0600) == 0 ? 0 : errno;
            }))
            return;
    } else {
        // Sockets and device nodes carry no data: the manifest and the box name them.
        CopyProblem skipped;
        skipped.kind = CopyProblem::Kind::NotCopied;
        skipped.path = path;
        if (type == S_IFSOCK) {
            entry.type = ManifestEntry::Type::Socket;
            skipped.typeName = "socket";
        } else if (type == S_IFCHR || type == S_IFBLK) {
            entry.type = type == S_IFCHR ? ManifestEntry::Type::CharDevice
                                         : ManifestEntry::Type::BlockDevice;
            entry.deviceMajor = major(status.st_rdev);
            entry.deviceMinor = minor(status.st_rdev);
            skipped.typeName = type == S_IFCHR ? "character device" : "block device";
        } else {
            readFailed(path, EINVAL);
            return;
        }
        entry.optional = true;
        m_result.notCopied.add(skipped);
        record(entry);
        return;
    }
    if (!entry.optional && (m_folders.back().mapped || storedName != name))
        entry.stored = m_options.manifestPrefix + '/' +
                       (m_stored.isEmpty() ? storedName : m_stored + '/' + storedName);
    record(entry);
}

bool TreeCopier::copyFolder(TreeWalker &walker, FolderStack &targets, ManifestEntry &entry)
{
    const QByteArray path = walker.path();
    const QByteArray name = walker.name();
    const struct stat status = walker.status();
    const int dirFd = targets.top();
    entry.type = ManifestEntry::Type::Folder;
    QByteArray storedName;
    int error = createNamed(
        dirFd, name, true,
        [dirFd](const char *candidate) {
            return ::mkdirat(dirFd, candidate, 0700) == 0 ? 0 : errno;
        },
        &storedName);
    if (error != 0) {
        writeFailed(path, error);
        return false;
    }
    struct stat made;
    const int fd = posixfs::openFolderAt(dirFd, storedName.constData(), &made);
    if (fd < 0) {
        writeFailed(path, errno);
        return false;
    }
    // Every folder written into is a real folder of the target's own file system.
    if (m_options.mode == Mode::Fresh && made.st_dev != m_topDev) {
        ::close(fd);
        writeFailed(path, EXDEV);
        return false;
    }
    const bool mapped = m_folders.back().mapped || storedName != name;
    const QByteArray stored = m_stored.isEmpty() ? storedName : m_stored + '/' + storedName;
    if (mapped)
        entry.stored = m_options.manifestPrefix + '/' + stored;
    record(entry);
    if (!walker.descend()) {
        readFailed(path, walker.error());
        applyMetadata(fd, status, path);
        ::close(fd);
        return false;
    }
    targets.push(fd);
    FolderInfo info;
    info.source = status;
    info.mapped = mapped;
    m_stored = stored;
    info.storedLength = m_stored.size();
    m_folders.push_back(info);
    return true;
}

void TreeCopier::copyFile(TreeWalker &walker, int dirFd, ManifestEntry &entry)
{
    const QByteArray path = walker.path();
    const QByteArray name = walker.name();
    entry.type = ManifestEntry::Type::File;
    struct stat status;
    UniqueFd in(
        posixfs::openSeenRegular(walker.parentFd(), name.constData(), walker.status(), &status));
    if (!in.isValid()) {
        if (errno != ENOENT)
            readFailed(path, errno);
        return;
    }
    const DevIno key{status.st_dev, status.st_ino};
    auto linked = status.st_nlink > 1 ? m_links.find(key) : m_links.end();
    QByteArray storedName;
    const auto storedPathOf = [this](const QByteArray &storedName) {
        return m_stored.isEmpty() ? storedName : m_stored + '/' + storedName;
    };
    const auto finishEntry = [&](const QByteArray &storedName) {
        if (m_folders.back().mapped || storedName != name)
            entry.stored = m_options.manifestPrefix + '/' + storedPathOf(storedName);
        ++m_result.files;
        m_result.bytes += entry.size;
        record(entry);
    };

    if (linked != m_links.end()) {
        entry.group = linked->second.group;
        entry.nlink = qint64(status.st_nlink);
        entry.size = linked->second.size;
        entry.sha256 = linked->second.sha256;
        if (m_options.caps.hardLinks) {
            const QByteArray first = linked->second.stored;
            const int error = createNamed(
                dirFd, name, false,
                [&](const char *candidate) { return linkTo(first, dirFd, candidate); },
                &storedName);
            if (error == 0) {
                if (--linked->second.remaining == 0)
                    m_links.erase(linked);
                finishEntry(storedName);
                return;
            }
            if (posixfs::isFatalTargetError(error)) {
                writeFailed(path, error);
                return;
            }
        }
    }

    UniqueFd out;
    // Made with its own permission bits where the umask lets them through, so that most
    // files need no chmod; anything else is made private and set afterwards.
    const mode_t wanted = status.st_mode & 07777;
    const mode_t created =
        (wanted & ~0777) == 0 && (wanted & m_umask) == 0 ? wanted : 0600 & ~m_umask;
    int error = createNamed(
        dirFd, name, false,
        [&](const char *candidate) {
            const int fd = ::openat(dirFd, candidate,
                                    O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, created);
            if (fd < 0)
                return errno;
            out.reset(fd);
            return 0;
        },
        &storedName);
    if (error != 0) {
        writeFailed(path, error);
        return;
    }
    qint64 copied = 0;
    int readError = 0;
    int writeError = 0;
    if (!copyData(in.get(), out.get(), status, &copied, &readError, &writeError)) {
        out.reset();
        ::unlinkat(dirFd, storedName.constData(), 0);
        if (writeError != 0)
            writeFailed(path, writeError);
        else
            readFailed(path, readError);
        return;
    }
    applyMetadata(out.get(), status, path, created);
    if (::close(out.release()) != 0) {
        writeFailed(path, errno);
        return;
    }
    entry.size = copied;
    entry.sha256 = m_hash.hex();
    if (status.st_nlink > 1) {
        entry.nlink = qint64(status.st_nlink);
        if (linked == m_links.end()) {
            LinkedFile first;
            first.group = m_nextGroup++;
            first.stored = storedPathOf(storedName);
            first.sha256 = entry.sha256;
            first.size = copied;
            first.remaining = status.st_nlink - 1;
            entry.group = first.group;
            m_links.emplace(key, std::move(first));
        } else if (--linked->second.remaining == 0) {
            m_links.erase(linked);
        }
    }
    finishEntry(storedName);
}

bool TreeCopier::copyData(int in, int out, const struct stat &status, qint64 *copied,
                          int *readError, int *writeError)
{
    m_hash.reset();
    *copied = 0;
    m_reportedAt = 0;
    char *buffer = m_buffer.data();
    const size_t capacity = m_buffer.size();
    const bool holesOut = m_options.caps.holes;

    // A sparse file: only its data is read; the holes are hashed as zeros and stay holes
    // where the target holds them.
    if (status.st_size > 0 && qint64(status.st_blocks) * 512 < status.st_size) {
        const off_t end = status.st_size;
        off_t pos = 0;
        bool usable = true;
        while (pos < end) {
            off_t data = ::lseek(in, pos, SEEK_DATA);
            if (data < 0) {
                if (errno == ENXIO) {
                    data = end;
                } else if (pos == 0) {
                    usable = false;
                    break;
                } else {
                    *readError = errno;
                    return false;
                }
            }
            data = std::min(data, end);
            if (data > pos) {
                m_hash.addZeros(data - pos);
                if (!holesOut && !writeZeros(out, data - pos)) {
                    *writeError = errno;
                    return false;
                }
                pos = data;
            }
            if (pos >= end)
                break;
            off_t hole = ::lseek(in, pos, SEEK_HOLE);
            if (hole < 0 || hole > end)
                hole = end;
            while (pos < hole) {
                const ssize_t got = posixfs::preadRetrying(
                    in, buffer, size_t(std::min<off_t>(off_t(capacity), hole - pos)), pos);
                if (got < 0) {
                    *readError = errno;
                    return false;
                }
                if (got == 0)
                    break;
                m_hash.add(buffer, size_t(got));
                const bool written = holesOut ? posixfs::pwriteAll(out, buffer, size_t(got), pos)
                                              : posixfs::writeAll(out, buffer, size_t(got));
                if (!written) {
                    *writeError = errno;
                    return false;
                }
                pos += got;
                if (pos - m_reportedAt >= reportEveryBytes)
                    reportWork(pos);
            }
            if (pos < hole) {
                // The file shrank while it was read: what was read is the copy.
                break;
            }
        }
        if (usable) {
            if (holesOut && ::ftruncate(out, pos) != 0) {
                *writeError = errno;
                return false;
            }
            *copied = pos;
            return true;
        }
        if (::lseek(in, 0, SEEK_SET) != 0) {
            *readError = errno;
            return false;
        }
    }

    for (;;) {
        const ssize_t got = posixfs::readRetrying(in, buffer, capacity);
        if (got < 0) {
            *readError = errno;
            return false;
        }
        if (got == 0)
            return true;
        m_hash.add(buffer, size_t(got));
        if (!posixfs::writeAll(out, buffer, size_t(got))) {
            *writeError = errno;
            return false;
        }
        *copied += got;
        if (*copied - m_reportedAt >= reportEveryBytes)
            reportWork(*copied);
        // The whole file as its status had it, in a short read: no need to ask again. The
        // copy is the file as it was when it was opened.
        if (size_t(got) < capacity && *copied == status.st_size)
            return true;
    }
}

int TreeCopier::linkTo(const QByteArray &stored, int dirFd, const char *name)
{
    return posixfs::linkBeneath(m_top.get(), stored, dirFd, name);
}

int TreeCopier::createNamed(int dirFd, const QByteArray &name, bool folder,
                            const std::function<int(const char *)> &make, QByteArray *storedName)
{
    if (m_options.mode == Mode::Merge) {
        int error = make(name.constData());
        if (error == EEXIST) {
            // An older copy: a folder stays a folder, anything else is replaced.
            struct stat existing;
            if (::fstatat(dirFd, name.constData(), &existing, AT_SYMLINK_NOFOLLOW) != 0)
                return errno;
            if (S_ISDIR(existing.st_mode)) {
                if (!folder)
                    return EISDIR;
                *storedName = name;
                return 0;
            }
            if (::unlinkat(dirFd, name.constData(), 0) != 0)
                return errno;
            error = make(name.constData());
        }
        if (error == 0)
            *storedName = name;
        return error;
    }
    bool safe = false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray candidate = m_mapper.candidate(name, attempt, safe);
        const int error = make(candidate.constData());
        if (error == 0) {
            *storedName = candidate;
            return 0;
        }
        if (error == EEXIST)
            continue;
        if (!safe && posixfs::isNameError(error)) {
            safe = true;
            attempt = -1;
            continue;
        }
        return error;
    }
    return EEXIST;
}

void TreeCopier::applyMetadata(int fd, const struct stat &status, const QByteArray &path,
                               mode_t created)
{
    // On a stick the manifest is what counts; on the device every bit must land.
    const bool strict = m_options.mode == Mode::Merge;
    // A file just made in a folder just made has the copier's own owner already (made with
    // a plain mode, the folder gives no group of its own).
    const bool ownedAlready = created != 0 && m_options.mode == Mode::Fresh &&
                              status.st_uid == m_uid && status.st_gid == m_gid;
    if (m_options.caps.owners && !ownedAlready && ::fchown(fd, status.st_uid, status.st_gid) != 0 &&
        strict)
        writeFailed(path, errno);
    const bool modeAlready = created == (status.st_mode & 07777);
    if (m_options.caps.modes && !modeAlready && ::fchmod(fd, status.st_mode & 07777) != 0 && strict)
        writeFailed(path, errno);
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (::futimens(fd, times) != 0 && strict)
        writeFailed(path, errno);
}

void TreeCopier::applyMetadataAt(int dirFd, const char *name, const struct stat &status,
                                 const QByteArray &path)
{
    const bool strict = m_options.mode == Mode::Merge;
    if (m_options.caps.owners &&
        ::fchownat(dirFd, name, status.st_uid, status.st_gid, AT_SYMLINK_NOFOLLOW) != 0 && strict)
        writeFailed(path, errno);
    if (!S_ISLNK(status.st_mode) && m_options.caps.modes &&
        ::fchmodat(dirFd, name, status.st_mode & 07777, 0) != 0 && strict)
        writeFailed(path, errno);
    const struct timespec times[2] = {status.st_atim, status.st_mtim};
    if (::utimensat(dirFd, name, times, AT_SYMLINK_NOFOLLOW) != 0 && strict)
        writeFailed(path, errno);
}

void TreeCopier::writeFailed(const QByteArray &path, int error)
{
    if (posixfs::isFatalTargetError(error)) {
        if (m_result.fatalError == 0) {
            m_result.fatalError = error;
            m_result.fatalPath = path;
        }
        return;
    }
    CopyProblem problem;
    problem.kind = CopyProblem::Kind::NotWritten;
    problem.path = path;
    problem.error = error;
    m_result.failures.add(problem);
}

void TreeCopier::readFailed(const QByteArray &path, int error)
{
    CopyProblem problem;
    problem.kind = CopyProblem::Kind::Unreadable;
    problem.path = path;
    problem.error = error;
    m_result.failures.add(problem);
}

void TreeCopier::record(const ManifestEntry &entry)
{
    if (!m_options.manifest)
        return;
    m_options.manifest->add(entry);
    if (m_options.manifest->error() != 0 && m_result.fatalError == 0) {
        m_result.fatalError = m_options.manifest->error();
        m_result.fatalPath = ManifestWriter::fileName();
    }
}
