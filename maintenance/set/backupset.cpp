#include "maintenance/set/backupset.h"

#include "maintenance/database/dumpend.h"
#include "maintenance/set/manifestentry.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/sha256.h"
#include "maintenance/fs/treeremover.h"
#include "maintenance/fs/folderstack.h"
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

bool BackupSet::placeMarker(const char *marker)
{
    UniqueFd set(posixfs::openFolderAt(m_stick.get(), newName()));
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
        if (!placeMarker(movingMarker))
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

BackupSet::Room BackupSet::room(qint64 treeNeeded, qint64 entries) const
{
    Room room;
    struct statvfs fs;
    if (::fstatvfs(m_stick.get(), &fs) != 0 || fs.f_blocks == 0)
        return room;
    room.known = true;
    room.available = qint64(fs.f_bavail) * qint64(fs.f_frsize);
    // The old dumps tell how large the new ones will be.
    qint64 oldDumps = 0;
    UniqueFd set(posixfs::openFolderAt(m_stick.get(), setName()));
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
    return room;
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
        if (!placeMarker(committingMarker))
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
