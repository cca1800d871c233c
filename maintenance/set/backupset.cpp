#include "maintenance/set/backupset.h"

#include "maintenance/database/dumpend.h"
#include "maintenance/set/manifestentry.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/sha256.h"
#include "maintenance/fs/treeremover.h"
#include "maintenance/fs/folderstack.h"
#include "maintenance/fs/treeusage.h"
#include "maintenance/fs/treewalker.h"
#include "maintenance/set/manifestreader.h"
#include "maintenance/fs/entrymover.h"
#include "maintenance/fs/folderswap.h"
#include "maintenance/system/devicelayout.h"

#include <QDateTime>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

const qint64 minimumDumpRoom = 8 << 20;
// In BackupData.new while its entries are moved into BackupData one by one.
const char committingMarker[] = ".committing";
const char movingMarker[] = ".moving";
// In BackupData while it is removed to make room: whatever is left of it is no set.
const char removingMarkerName[] = ".removing";
// What a command may write into the new set for the job itself.
const int takenFileBytes = 64 * 1024;
// A manifest line is the path twice at most and some 150 bytes of keywords.
const qint64 manifestBytesPerEntry = 400;

bool exists(int dirFd, const char *name, struct stat *status)
{
    return ::fstatat(dirFd, name, status, AT_SYMLINK_NOFOLLOW) == 0;
}

// True when the folder's listing holds `name`: asks the file system itself, not the
// kernel's cache of names, which a FUSE stick may leave behind.
bool listed(int dirFd, const char *name)
{
    QList<QByteArray> names;
    posixfs::listNames(dirFd, &names);
    return names.contains(name);
}

// True when BackupData is being removed to make room (its removal was cut short).
bool markedForRemoval(int stickFd)
{
    UniqueFd set(posixfs::openFolderAt(stickFd, "BackupData"));
    struct stat status;
    return set.isValid() && exists(set.get(), removingMarkerName, &status) &&
           S_ISREG(status.st_mode);
}

} // namespace

const char *BackupSet::setName()
{
    return SetLayout::setFolder;
}

const char *BackupSet::newName()
{
    return SetLayout::newSetFolder;
}

const char *BackupSet::oldName()
{
    return SetLayout::oldSetFolder;
}

const char *BackupSet::treeName()
{
    return SetLayout::treeFolder;
}

const char *BackupSet::removingMarker()
{
    return removingMarkerName;
}

BackupSet::BackupSet(const QString &stickPath) : m_stickPath(stickPath) {}

BackupSet::~BackupSet() = default;

QString BackupSet::newSetPath() const
{
    return m_stickPath + QLatin1Char('/') + QLatin1String(newName());
}

QString BackupSet::newTreePath() const
{
    return newSetPath() + QLatin1Char('/') + QLatin1String(treeName());
}

bool BackupSet::refuse(Refusal refusal, const QByteArray &name, int error)
{
    m_refusal = refusal;
    m_refusedName = name;
    m_error = error;
    return false;
}

bool BackupSet::fail(int error)
{
    m_error = error;
    if (m_refusal == Refusal::None)
        m_refusal = posixfs::isFatalTargetError(error) ? Refusal::CannotWrite : Refusal::Io;
    return false;
}

bool BackupSet::checkFolder(int dirFd, const QByteArray &name, const QByteArray &shown, bool *found)
{
    struct stat status;
    *found = false;
    if (!exists(dirFd, name.constData(), &status)) {
        if (errno == ENOENT)
            return true;
        return refuse(Refusal::Io, shown, errno);
    }
    *found = true;
    if (!S_ISDIR(status.st_mode))
        return refuse(Refusal::NotAFolder, shown);
    if (status.st_dev != m_stickStatus.st_dev)
        return refuse(Refusal::OtherMount, shown);
    return true;
}

bool BackupSet::check()
{
    m_refusal = Refusal::None;
    m_stick.reset(
        ::open(QFile::encodeName(m_stickPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_stick.isValid() || ::fstat(m_stick.get(), &m_stickStatus) != 0)
        return refuse(Refusal::NoStick, QByteArray(), errno);
    struct stat above;
    UniqueFd parent(::openat(m_stick.get(), "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.isValid() || ::fstat(parent.get(), &above) != 0)
        return refuse(Refusal::NoStick, QByteArray(), errno);
    if (above.st_dev == m_stickStatus.st_dev)
        return refuse(Refusal::NotMounted, QByteArray());

    bool found = false;
    if (!checkFolder(m_stick.get(), setName(), setName(), &m_previousSet))
        return false;
    for (const char *leftover : {newName(), oldName()}) {
        if (!checkFolder(m_stick.get(), leftover, leftover, &found))
            return false;
    }
    if (m_previousSet) {
        UniqueFd set(posixfs::openFolderAt(m_stick.get(), setName()));
        if (!set.isValid())
            return refuse(Refusal::Io, setName(), errno);
        const QByteArray shown = QByteArray(setName()) + '/' + treeName();
        if (!checkFolder(set.get(), treeName(), shown, &found))
            return false;
    }
    return true;
}

bool BackupSet::stillMounted() const
{
    return m_stick.isValid() &&
           posixfs::stillSameFile(QFile::encodeName(m_stickPath), m_stickStatus);
}

void BackupSet::removeBeside(const char *name)
{
    TreeRemover remover;
    remover.remove(m_stick.get(), name);
}

StoredSet BackupSet::storedSet() const
{
    StoredSet stored;
    const int stick = m_stick.get();
    struct stat status;
    const char *folder = hasMarker(committingMarker)         ? newName()
                         : exists(stick, setName(), &status) ? setName()
                                                             : oldName();
    UniqueFd set(posixfs::openFolderAt(stick, folder, &status));
    if (!set.isValid() || status.st_dev != m_stickStatus.st_dev)
        return stored;
    ManifestReader reader;
    if (!reader.open(set.get(), ManifestWriter::fileName()))
        return stored;
    const QByteArray tree = QByteArray(treeName()) + '/';
    ManifestEntry entry;
    ManifestReader::Result result;
    while ((result = reader.next(&entry)) == ManifestReader::Result::Entry) {
        if (entry.type != ManifestEntry::Type::File)
            continue;
        stored.bytes += entry.size;
        if (entry.path.startsWith(tree))
            ++stored.treeFiles;
    }
    stored.complete = result == ManifestReader::Result::End && reader.complete();
    stored.device = reader.device();
    stored.created = reader.created();
    return stored;
}

bool BackupSet::recover()
{
    struct stat status;
    const int stick = m_stick.get();
    // A removal to make room that was cut short: it is finished.
    if (markedForRemoval(stick) && !removeSetFolder())
        return false;
    if (!exists(stick, setName(), &status) && exists(stick, oldName(), &status)) {
        // A swap stopped between its two renames: the old set is whole as long as its
        // manifest is there (it goes first when an old set is removed).
        UniqueFd old(posixfs::openFolderAt(stick, oldName()));
        struct stat manifest;
        if (old.isValid() && exists(old.get(), ManifestWriter::fileName(), &manifest) &&
            S_ISREG(manifest.st_mode)) {
            if (::renameat(stick, oldName(), stick, setName()) != 0)
                return fail(errno);
            m_previousSet = true;
        }
    }
    // A swap by moves that was cut short is finished: the new set is whole, the old one
    // already partly gone.
    if (hasMarker(committingMarker)) {
        if (!rollForward())
            return false;
        m_previousSet = true;
    }
    for (const char *leftover : {newName(), oldName()}) {
        TreeRemover remover;
        if (!remover.remove(stick, leftover))
            return fail(remover.error());
    }
    return true;
}

bool BackupSet::hasMarker(const char *marker) const
{
    UniqueFd set(posixfs::openFolderAt(m_stick.get(), newName()));
    struct stat status;
    return set.isValid() && exists(set.get(), marker, &status) && S_ISREG(status.st_mode);
}

bool BackupSet::placeMarker(const char *folder, const char *marker)
{
    UniqueFd set(posixfs::openFolderAt(m_stick.get(), folder));
    const int fd = set.isValid() ? ::openat(set.get(), marker,
                                            O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644)
                                 : -1;
    if (fd < 0)
        return fail(errno);
    ::close(fd);
    if (::syncfs(m_stick.get()) != 0)
        return fail(errno);
    return true;
}

bool BackupSet::moveContents(int fromFd, int toFd)
{
    // The stick cannot rename folders: they are made again and their files moved in.
    EntryMover mover(EntryMover::Existing::Replace, EntryMover::Folders::Rebuild);
    mover.setSkipped([](const QByteArray &name) {
        return name == ManifestWriter::fileName() || name == ManifestWriter::sumsFileName() ||
               name == committingMarker || name == movingMarker;
    });
    return mover.move(fromFd, toFd) || fail(mover.error());
}

bool BackupSet::rollForward()
{
    const int stick = m_stick.get();
    if (!hasMarker(movingMarker)) {
        // The old set goes first, its manifest before anything else.
        UniqueFd set(posixfs::openFolderAt(stick, setName()));
        if (set.isValid()) {
            ::unlinkat(set.get(), ManifestWriter::fileName(), 0);
            QList<QByteArray> names;
            posixfs::listNames(set.get(), &names);
            for (const QByteArray &name : names) {
                TreeRemover remover;
                if (!remover.remove(set.get(), name))
                    return fail(remover.error());
            }
        } else if (errno != ENOENT) {
            return fail(errno);
        }
        if (!placeMarker(newName(), movingMarker))
            return false;
    }
    if (::mkdirat(stick, setName(), 0755) != 0 && errno != EEXIST)
        return fail(errno);
    struct stat status;
    UniqueFd set(posixfs::openFolderAt(stick, setName(), &status));
    UniqueFd from(posixfs::openFolderAt(stick, newName()));
    if (!set.isValid() || !from.isValid())
        return fail(errno);
    if (status.st_dev != m_stickStatus.st_dev)
        return fail(EXDEV);
    if (!moveContents(from.get(), set.get()))
        return false;
    for (const char *name : {ManifestWriter::sumsFileName(), ManifestWriter::fileName()}) {
        if (::renameat(from.get(), name, set.get(), name) != 0 && errno != ENOENT)
            return fail(errno);
    }
    if (::syncfs(stick) != 0)
        return fail(errno);
    from.reset();
    removeBeside(newName());
    return true;
}

const char *BackupSet::previousFolder() const
{
    const int stick = m_stick.get();
    struct stat status;
    if (hasMarker(committingMarker))
        return newName();
    if (exists(stick, setName(), &status))
        return markedForRemoval(stick) ? "" : setName();
    UniqueFd old(posixfs::openFolderAt(stick, oldName()));
    if (old.isValid() && exists(old.get(), ManifestWriter::fileName(), &status) &&
        S_ISREG(status.st_mode))
        return oldName();
    return "";
}

qint64 BackupSet::usage(const char *name) const
{
    return treeUsage(m_stick.get(), name);
}

BackupSet::Room BackupSet::room(qint64 treeNeeded, qint64 entries) const
{
    Room room;
    struct statvfs fs;
    if (::fstatvfs(m_stick.get(), &fs) != 0 || fs.f_blocks == 0)
        return room;
    room.known = true;
    room.available = qint64(fs.f_bavail) * qint64(fs.f_frsize);
    const QByteArray previous = previousFolder();
    // What recover() removes is as good as free (once the new set is begun, recover() is
    // done and BackupData.new is ours).
    for (const char *leftover : {setName(), newName(), oldName()}) {
        if (!m_begun && previous != leftover)
            room.available += usage(leftover);
    }
    // The old dumps tell how large the new ones will be.
    qint64 oldDumps = 0;
    UniqueFd set;
    if (!previous.isEmpty())
        set.reset(posixfs::openFolderAt(m_stick.get(), previous.constData()));
    for (const QString &database : maintainedDatabases()) {
        struct stat status;
        if (set.isValid() && exists(set.get(), dumpFileName(database).constData(), &status) &&
            S_ISREG(status.st_mode))
            oldDumps += status.st_size;
    }
    room.needed =
        treeNeeded + std::max(minimumDumpRoom, 2 * oldDumps) + entries * manifestBytesPerEntry;
    if (fs.f_files > 0 && qint64(fs.f_favail) < entries + 16)
        room.available = std::min(room.available, qint64(0));
    // Walked only when it matters: a set of many files on a slow stick takes a while.
    if (!room.fits() && !previous.isEmpty())
        room.previous = usage(previous.constData());
    return room;
}

bool BackupSet::removeSetFolder()
{
    const int stick = m_stick.get();
    UniqueFd set(posixfs::openFolderAt(stick, setName()));
    if (!set.isValid())
        return errno == ENOENT || fail(errno);
    // What makes it a set goes first, and is gone from the stick before the rest goes: the
    // dumps (without them the manifest no longer checks out, and it is no older panel's set
    // either), then the manifest and its checksums.
    QList<QByteArray> names;
    if (!posixfs::listNames(set.get(), &names))
        return fail(errno);
    for (const QByteArray &name : qAsConst(names)) {
        if (name.endsWith(".sql") && ::unlinkat(set.get(), name.constData(), 0) != 0 &&
            errno != ENOENT)
            return fail(errno);
    }
    for (const char *name : {ManifestWriter::fileName(), ManifestWriter::sumsFileName()}) {
        if (::unlinkat(set.get(), name, 0) != 0 && errno != ENOENT)
            return fail(errno);
    }
    if (::syncfs(stick) != 0)
        return fail(errno);
    for (const QByteArray &name : qAsConst(names)) {
        if (name == removingMarkerName)
            continue;
        TreeRemover remover;
        if (!remover.remove(set.get(), name))
            return fail(remover.error());
    }
    set.reset();
    TreeRemover remover;
    if (!remover.remove(stick, setName()))
        return fail(remover.error());
    if (::syncfs(stick) != 0)
        return fail(errno);
    m_previousSet = false;
    return true;
}

bool BackupSet::removePrevious()
{
    if (!m_previousSet)
        return true;
    // The mark is on the stick before anything of the set goes.
    if (!placeMarker(setName(), removingMarkerName))
        return false;
    m_removalBegun = true;
    return removeSetFolder();
}

qint64 BackupSet::previousDumpSize(const QByteArray &fileName) const
{
    UniqueFd set(posixfs::openFolderAt(m_stick.get(), setName()));
    struct stat status;
    if (!m_previousSet || !set.isValid() || !exists(set.get(), fileName.constData(), &status) ||
        !S_ISREG(status.st_mode))
        return 0;
    return status.st_size;
}

bool BackupSet::begin(const QByteArray &source, const DeviceIdentity &device)
{
    const int stick = m_stick.get();
    if (::mkdirat(stick, newName(), 0755) != 0)
        return fail(errno);
    m_begun = true;
    struct stat status;
    m_new.reset(posixfs::openFolderAt(stick, newName(), &status));
    if (!m_new.isValid())
        return fail(errno);
    if (status.st_dev != m_stickStatus.st_dev)
        return fail(EXDEV);
    int probeError = 0;
    m_caps = StickCapabilities::probe(m_new.get(), &probeError);
    if (probeError != 0)
        return fail(probeError);
    if (::mkdirat(m_new.get(), treeName(), 0755) != 0)
        return fail(errno);
    m_tree.reset(posixfs::openFolderAt(m_new.get(), treeName(), &status));
    if (!m_tree.isValid())
        return fail(errno);
    const QByteArray created = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toLatin1();
    if (!m_manifest.create(m_new.get(), created, source, device))
        return fail(m_manifest.error());
    return true;
}

bool BackupSet::prepareDump(const QByteArray &fileName)
{
    const int fd = ::openat(m_new.get(), fileName.constData(),
                            O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return fail(errno);
    ::close(fd);
    return true;
}

qint64 BackupSet::dumpSize(const QByteArray &fileName) const
{
    struct stat status;
    if (!m_new.isValid() || !exists(m_new.get(), fileName.constData(), &status))
        return -1;
    return status.st_size;
}

QByteArray BackupSet::takeFile(const QByteArray &fileName)
{
    QByteArray text;
    struct stat status;
    UniqueFd fd(posixfs::openRegularForReading(m_new.get(), fileName.constData(), &status));
    if (fd.isValid()) {
        text.resize(takenFileBytes);
        const ssize_t got = posixfs::preadRetrying(fd.get(), text.data(), size_t(text.size()), 0);
        text.resize(got > 0 ? int(got) : 0);
    }
    ::unlinkat(m_new.get(), fileName.constData(), 0);
    return text;
}

bool BackupSet::addDump(const QByteArray &fileName)
{
    struct stat status;
    UniqueFd fd(posixfs::openRegularForReading(m_new.get(), fileName.constData(), &status));
    if (!fd.isValid())
        return fail(errno);
    QByteArray sha256;
    qint64 size = 0;
    if (!hashWholeDump(fd.get(), &sha256, &size))
        return fail(errno);
    ManifestEntry entry = ManifestEntry::fromStatus(fileName, status);
    entry.type = ManifestEntry::Type::File;
    entry.size = size;
    entry.sha256 = sha256;
    m_manifest.add(entry);
    m_dumpBytes += size;
    ++m_dumps;
    if (m_manifest.error() != 0)
        return fail(m_manifest.error());
    return true;
}

bool BackupSet::finish(qint64 treeEntries, qint64 treeFiles, qint64 treeBytes)
{
    if (!m_manifest.finishSet(treeEntries, treeFiles, treeBytes + m_dumpBytes, m_dumps))
        return fail(m_manifest.error());
    if (::syncfs(m_stick.get()) != 0)
        return fail(errno);
    return true;
}

bool BackupSet::commit()
{
    const int stick = m_stick.get();
    // A stick pulled (or unmounted) in the meantime still answers through the descriptors
    // held here; the set is swapped only on the stick that is really there.
    if (!stillMounted())
        return fail(ENODEV);
    m_tree.reset();
    m_new.reset();
    QByteArray leftover;
    if (!m_caps.renamesFolders) {
        if (!placeMarker(newName(), committingMarker))
            return false;
        // From here the new set is finished, next time if not now; it is never abandoned.
        m_begun = false;
        m_swapStarted = true;
        if (!rollForward())
            return false;
    } else {
        // An exchange that fails for any reason is tried again by two renames: both leave the
        // new set whole, and recover() puts an old set found aside back.
        FolderSwap swap(FolderSwap::Fallback::AfterAnyFailure);
        if (!swap.swap(stick, newName(), setName(), oldName())) {
            m_swapStarted = !swap.previousInPlace();
            return fail(swap.error());
        }
        leftover = swap.leftover();
        m_swapStarted = true;
    }
    m_begun = false;
    // The set is where it belongs, manifest and all, or the stick lost it.
    UniqueFd placed(posixfs::openFolderAt(stick, setName()));
    if (!placed.isValid() || !listed(placed.get(), ManifestWriter::fileName()))
        return fail(EIO);
    placed.reset();
    if (::syncfs(stick) != 0)
        return fail(errno);
    if (!leftover.isEmpty()) {
        // The manifest goes first: an old set without it is never taken back.
        UniqueFd old(posixfs::openFolderAt(stick, leftover.constData()));
        if (old.isValid())
            ::unlinkat(old.get(), ManifestWriter::fileName(), 0);
        old.reset();
        removeBeside(leftover.constData());
    }
    return true;
}

void BackupSet::abandon()
{
    m_manifest.close();
    m_tree.reset();
    m_new.reset();
    if (m_begun && m_stick.isValid())
        removeBeside(newName());
    m_begun = false;
}
