#include "maintenance/restore/treereplacer.h"

#include "maintenance/system/mountpoints.h"
#include "maintenance/fs/entrymover.h"
#include "maintenance/fs/folderswap.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/treeremover.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool exists(int dirFd, const char *name, struct stat *status = nullptr)
{
    struct stat own;
    return ::fstatat(dirFd, name, status ? status : &own, AT_SYMLINK_NOFOLLOW) == 0;
}

bool startsWith(const QList<QByteArray> &path, const QList<QByteArray> &prefix)
{
    return path.size() >= prefix.size() && path.mid(0, prefix.size()) == prefix;
}

} // namespace

TreeReplacer::TreeReplacer(const QString &folder) : m_folder(folder) {}

TreeReplacer::~TreeReplacer()
{
    if (m_staged && !m_committed)
        discard();
}

const char *TreeReplacer::newName()
{
    return ".servicepanel-restore-new";
}

const char *TreeReplacer::movingName()
{
    return ".servicepanel-restore-moving";
}

const char *TreeReplacer::oldName()
{
    return ".servicepanel-restore-old";
}

bool TreeReplacer::isWorkName(const QByteArray &name)
{
    return name == newName() || name == movingName() || name == oldName();
}

bool TreeReplacer::fail(int error, const QByteArray &path)
{
    m_error = error;
    m_errorPath = path;
    return false;
}

QByteArray TreeReplacer::besideName(const char *suffix) const
{
    return '.' + m_name + ".servicepanel-" + suffix;
}

QByteArray TreeReplacer::partPath(const Part &part) const
{
    QByteArray path = m_target;
    for (const QByteArray &name : part.path)
        path += '/' + name;
    return path;
}

bool TreeReplacer::isPinnedChild(const Part &part, const QByteArray &name) const
{
    for (const QList<QByteArray> &skipped : part.skipped) {
        if (skipped.size() == part.path.size() + 1 && skipped.last() == name)
            return true;
    }
    return false;
}

bool TreeReplacer::plan()
{
    m_error = 0;
    m_parts.clear();
    const QByteArray given = QFile::encodeName(m_folder);
    struct stat status;
    if (::lstat(given.constData(), &status) == 0) {
        // A link is the device's choice (a data partition): what it leads to is replaced.
        const QString canonical = QFileInfo(m_folder).canonicalFilePath();
        if (canonical.isEmpty())
            return fail(ENOENT, given);
        m_target = QFile::encodeName(canonical);
        if (::stat(m_target.constData(), &status) != 0)
            return fail(errno, given);
        if (!S_ISDIR(status.st_mode))
            return fail(ENOTDIR, given);
        m_targetExists = true;
    } else if (errno == ENOENT) {
        const QString parent = QFileInfo(QFileInfo(m_folder).absolutePath()).canonicalFilePath();
        if (parent.isEmpty())
            return fail(ENOENT, given);
        m_target = QFile::encodeName(parent + QLatin1Char('/') + QFileInfo(m_folder).fileName());
        m_targetExists = false;
    } else {
        return fail(errno, given);
    }
    const int slash = m_target.lastIndexOf('/');
    m_name = m_target.mid(slash + 1);
    if (!posixfs::isPlainName(m_name))
        return fail(EINVAL, m_target);
    const QByteArray parent = slash > 0 ? m_target.left(slash) : QByteArray("/");
    m_parent.reset(::open(parent.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_parent.isValid())
        return fail(errno, parent);

    // The pinned folders: every mount point at or below the target and the folders that
    // lead to it. A bind mount of the same file system counts: it cannot be renamed either.
    QList<QList<QByteArray>> pinned;
    const auto pin = [&pinned](const QList<QByteArray> &path) {
        for (int length = 0; length <= path.size(); ++length) {
            if (!pinned.contains(path.mid(0, length)))
                pinned << path.mid(0, length);
        }
    };
    if (m_targetExists) {
        struct stat above;
        if (::fstat(m_parent.get(), &above) == 0 && above.st_dev != status.st_dev)
            pin({});
        for (const QByteArray &point : mountPointPaths()) {
            if (point == m_target) {
                pin({});
            } else if (point.startsWith(m_target + '/')) {
                QList<QByteArray> names;
                if (posixfs::splitRelativePath(point.mid(m_target.size() + 1), &names))
                    pin(names);
            }
        }
    }
    if (pinned.isEmpty()) {
        m_parts.emplace_back();
        return true;
    }
    // Parents before their children.
    std::sort(pinned.begin(), pinned.end(),
              [](const QList<QByteArray> &a, const QList<QByteArray> &b) {
                  return a.size() < b.size() || (a.size() == b.size() && a < b);
              });
    for (const QList<QByteArray> &path : qAsConst(pinned)) {
        Part part;
        part.path = path;
        part.pinned = true;
        for (const QList<QByteArray> &other : qAsConst(pinned)) {
            if (other.size() > path.size() && startsWith(other, path))
                part.skipped << other;
        }
        m_parts.push_back(std::move(part));
    }
    return true;
}

bool TreeReplacer::stage()
{
    m_staged = true;
    if (!m_parts.front().pinned)
        return stageBeside();
    for (Part &part : m_parts) {
        if (!stagePart(part))
            return false;
    }
    return true;
}

bool TreeReplacer::stageBeside()
{
    const int parent = m_parent.get();
    const QByteArray fresh = besideName("new");
    const QByteArray old = besideName("old");
    const QByteArray shown = m_target.left(m_target.size() - m_name.size());
    struct stat status;
    // A swap by two renames cut short: the old tree was put aside, the new one not yet in.
    if (!exists(parent, m_name.constData()) && exists(parent, old.constData(), &status) &&
        S_ISDIR(status.st_mode)) {
        if (::renameat(parent, old.constData(), parent, m_name.constData()) != 0)
            return fail(errno, shown + old);
        m_targetExists = true;
    }
    for (const QByteArray &leftover : {fresh, old}) {
        TreeRemover remover;
        if (!remover.remove(parent, leftover))
            return fail(remover.error(), shown + leftover);
    }
    if (::mkdirat(parent, fresh.constData(), 0700) != 0)
        return fail(errno, shown + fresh);
    Part &part = m_parts.front();
    struct stat staged;
    part.staging.reset(posixfs::openFolderAt(parent, fresh.constData(), &staged));
    if (!part.staging.isValid())
        return fail(errno, shown + fresh);
    m_stagedInode = staged.st_ino;
    return true;
}

bool TreeReplacer::stagePart(Part &part)
{
    const QByteArray path = partPath(part);
    if (!openPart(part) || !recoverPart(part))
        return false;
    if (::mkdirat(part.folder.get(), newName(), 0700) != 0)
        return fail(errno, path + '/' + newName());
    part.staging.reset(posixfs::openFolderAt(part.folder.get(), newName()));
    if (!part.staging.isValid())
        return fail(errno, path + '/' + newName());
    return true;
}

bool TreeReplacer::openPart(Part &part)
{
    if (part.folder.isValid())
        return true;
    if (part.path.isEmpty()) {
        part.folder.reset(::open(m_target.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    } else {
        // Its parent is pinned too and already open (parents come first): one step down,
        // never through a link, onto whatever is mounted there.
        errno = ENOENT;
        for (const Part &parent : m_parts) {
            if (parent.path == part.path.mid(0, part.path.size() - 1) && parent.folder.isValid())
                part.folder.reset(
                    posixfs::openFolderAt(parent.folder.get(), part.path.last().constData()));
        }
    }
    return part.folder.isValid() || fail(errno, partPath(part));
}

bool TreeReplacer::openParts()
{
    for (Part &part : m_parts) {
        if (!openPart(part))
            return false;
    }
    return true;
}

bool TreeReplacer::moveAll(Part &part, const char *from, EntryMover::Existing existing)
{
    const int folder = part.folder.get();
    const QByteArray path = partPath(part);
    UniqueFd source(posixfs::openFolderAt(folder, from));
    if (!source.isValid())
        return fail(errno, path + '/' + from);
    EntryMover mover(existing);
    const bool moved = mover.move(source.get(), folder);
    part.movedIn += mover.moved();
    if (!moved)
        return fail(mover.error(),
                    path + '/' +
                        (mover.errorName().isEmpty() ? QByteArray(from) : mover.errorName()));
    return true;
}

bool TreeReplacer::moveOut(Part &part, const char *into)
{
    const int folder = part.folder.get();
    const QByteArray path = partPath(part);
    UniqueFd target(posixfs::openFolderAt(folder, into));
    if (!target.isValid())
        return fail(errno, path + '/' + into);
    // The work folders and the pinned folders in it stay where they are.
    EntryMover out(EntryMover::Existing::Replace);
    out.setSkipped(
        [&](const QByteArray &name) { return isWorkName(name) || isPinnedChild(part, name); });
    const bool moved = out.move(folder, target.get());
    part.movedOut += out.moved();
    if (!moved)
        return fail(out.error(), out.errorName().isEmpty() ? path : path + '/' + out.errorName());
    return true;
}

void TreeReplacer::removeTree(int dirFd, const QByteArray &name, const QByteArray &shown)
{
    TreeRemover remover;
    if (remover.remove(dirFd, name))
        return;
    CopyProblem problem;
    problem.kind = CopyProblem::Kind::NotWritten;
    problem.path = shown;
    problem.error = remover.error();
    m_problems.add(problem);
}

bool TreeReplacer::recoverPart(Part &part)
{
    const int folder = part.folder.get();
    const QByteArray path = partPath(part);
    // Moving back or on, entry by entry, whatever an interrupted swap left.
    if (exists(folder, movingName())) {
        // The new entries were being moved in: the old ones are all aside already.
        if (!moveAll(part, movingName(), EntryMover::Existing::Skip))
            return false;
    } else if (exists(folder, oldName())) {
        // The old entries were being moved out: they come back.
        if (!moveAll(part, oldName(), EntryMover::Existing::Skip))
            return false;
    }
    part.movedIn.clear();
    for (const char *leftover : {newName(), movingName(), oldName()}) {
        TreeRemover remover;
        if (!remover.remove(folder, leftover))
            return fail(remover.error(), path + '/' + leftover);
    }
    return true;
}

bool TreeReplacer::commit()
{
    m_error = 0;
    m_previousKept = true;
    if (!m_parts.front().pinned) {
        if (!commitBeside())
            return false;
        m_committed = true;
        return true;
    }
    for (size_t i = 0; i < m_parts.size(); ++i) {
        if (swapPart(m_parts[i]))
            continue;
        for (size_t j = i + 1; j-- > 0;) {
            if (!unswapPart(m_parts[j]))
                m_previousKept = false;
        }
        return false;
    }
    m_committed = true;
    return true;
}

bool TreeReplacer::commitBeside()
{
    const int parent = m_parent.get();
    const QByteArray fresh = besideName("new");
    // Only an exchange the file system does not know falls back to two renames: after any
    // other error the restore stops with the device's tree where it was.
    FolderSwap swap(FolderSwap::Fallback::WhereUnsupported);
    if (!swap.swap(parent, fresh, m_name, besideName("old"))) {
        fail(swap.error(), m_target);
        m_previousKept = swap.previousInPlace();
        return false;
    }
    m_leftover = swap.leftover();
    return true;
}

bool TreeReplacer::swapPart(Part &part)
{
    const int folder = part.folder.get();
    const QByteArray path = partPath(part);
    if (::mkdirat(folder, oldName(), 0700) != 0)
        return fail(errno, path + '/' + oldName());
    part.swapped = true;
    if (!moveOut(part, oldName()))
        return false;
    // The new entries go in under a name of their own: all the old ones are out.
    if (::renameat(folder, newName(), folder, movingName()) != 0)
        return fail(errno, path + '/' + newName());
    // Never over an entry that stays: a pinned folder, a work folder.
    EntryMover in(EntryMover::Existing::Refuse);
    const bool movedIn = in.move(part.staging.get(), folder);
    part.movedIn = in.moved();
    if (!movedIn)
        return fail(in.error(),
                    path + '/' +
                        (in.errorName().isEmpty() ? QByteArray(movingName()) : in.errorName()));
    return true;
}

bool TreeReplacer::unswapPart(Part &part)
{
    if (!part.swapped)
        return true;
    const int folder = part.folder.get();
    bool ok = true;
    for (auto name = part.movedIn.crbegin(); name != part.movedIn.crend(); ++name)
        ok =
            ::renameat(folder, name->constData(), part.staging.get(), name->constData()) == 0 && ok;
    part.movedIn.clear();
    if (exists(folder, movingName()))
        ok = ::renameat(folder, movingName(), folder, newName()) == 0 && ok;
    UniqueFd old(posixfs::openFolderAt(folder, oldName()));
    for (auto name = part.movedOut.crbegin(); name != part.movedOut.crend(); ++name)
        ok = old.isValid() &&
             ::renameat(old.get(), name->constData(), folder, name->constData()) == 0 && ok;
    part.movedOut.clear();
    ok = ::unlinkat(folder, oldName(), AT_REMOVEDIR) == 0 && ok;
    part.swapped = !ok;
    return ok;
}

void TreeReplacer::discard()
{
    if (!m_staged)
        return;
    if (!m_parts.empty() && !m_parts.front().pinned) {
        if (!m_committed) {
            TreeRemover remover;
            remover.remove(m_parent.get(), besideName("new"));
        }
    } else {
        for (Part &part : m_parts) {
            if (!part.folder.isValid() || part.swapped)
                continue;
            part.staging.reset();
            TreeRemover remover;
            remover.remove(part.folder.get(), newName());
        }
    }
    m_staged = false;
}

bool TreeReplacer::removeOld()
{
    m_problems = ProblemList();
    if (!m_parts.front().pinned) {
        if (!m_leftover.isEmpty())
            removeTree(m_parent.get(), m_leftover,
                       m_target.left(m_target.size() - m_name.size()) + m_leftover);
    } else {
        for (Part &part : m_parts) {
            part.staging.reset();
            const QByteArray path = partPath(part);
            removeTree(part.folder.get(), movingName(), path + '/' + movingName());
            removeTree(part.folder.get(), oldName(), path + '/' + oldName());
        }
    }
    m_staged = false;
    return m_problems.isEmpty();
}

bool TreeReplacer::removeWork()
{
    m_problems = ProblemList();
    if (isBeside()) {
        const QByteArray shown = m_target.left(m_target.size() - m_name.size());
        for (const char *suffix : {"new", "old"})
            removeTree(m_parent.get(), besideName(suffix), shown + besideName(suffix));
    } else if (openParts()) {
        for (Part &part : m_parts) {
            part.staging.reset();
            const QByteArray path = partPath(part);
            for (const char *work : {newName(), movingName(), oldName()})
                removeTree(part.folder.get(), work, path + '/' + work);
        }
    } else {
        CopyProblem problem;
        problem.kind = CopyProblem::Kind::NotWritten;
        problem.path = m_errorPath;
        problem.error = m_error;
        m_problems.add(problem);
    }
    m_staged = false;
    return m_problems.isEmpty();
}

// Which of the names beside the folder holds what, by inode: `staged` is the new tree's.
bool TreeReplacer::finishBeside(ino_t staged)
{
    const int parent = m_parent.get();
    const QByteArray shown = m_target.left(m_target.size() - m_name.size());
    struct stat status;
    if (exists(parent, m_name.constData(), &status) && S_ISDIR(status.st_mode) &&
        status.st_ino == staged)
        return true; // swapped; the old tree is beside it, for removeWork()
    // The staged tree is under its own name, or aside where an undo cut short left it.
    QByteArray from;
    QByteArray other;
    for (const char *suffix : {"new", "old"}) {
        const QByteArray name = besideName(suffix);
        if (exists(parent, name.constData(), &status) && S_ISDIR(status.st_mode) &&
            status.st_ino == staged)
            from = name;
        else
            other = name;
    }
    if (from.isEmpty())
        return fail(ESTALE, shown + besideName("new"));
    if (!exists(parent, m_name.constData())) {
        // Between the two renames of a swap, or a first restore: the new tree goes in.
        if (::renameat(parent, from.constData(), parent, m_name.constData()) != 0)
            return fail(errno, m_target);
        return true;
    }
    FolderSwap swap(FolderSwap::Fallback::WhereUnsupported);
    if (!swap.swap(parent, from, m_name, other))
        return fail(swap.error(), m_target);
    return true;
}

bool TreeReplacer::undoBeside(ino_t staged)
{
    const int parent = m_parent.get();
    const QByteArray fresh = besideName("new");
    const QByteArray old = besideName("old");
    const QByteArray shown = m_target.left(m_target.size() - m_name.size());
    struct stat named;
    struct stat status;
    const bool hasName = exists(parent, m_name.constData(), &named);
    if (hasName && named.st_ino == staged) {
        // Swapped: the old tree is under the staged tree's name (an exchange) or aside (two
        // renames), or there was none (a first restore).
        if (exists(parent, fresh.constData(), &status) && S_ISDIR(status.st_mode)) {
            FolderSwap swap(FolderSwap::Fallback::WhereUnsupported);
            if (!swap.swap(parent, fresh, m_name, old))
                return fail(swap.error(), m_target);
        } else {
            if (::renameat(parent, m_name.constData(), parent, fresh.constData()) != 0)
                return fail(errno, m_target);
            if (exists(parent, old.constData(), &status) && S_ISDIR(status.st_mode) &&
                ::renameat(parent, old.constData(), parent, m_name.constData()) != 0)
                return fail(errno, shown + old);
        }
    } else if (!hasName && exists(parent, old.constData(), &status) && S_ISDIR(status.st_mode)) {
        // Between the two renames of a swap: the old tree comes back.
        if (::renameat(parent, old.constData(), parent, m_name.constData()) != 0)
            return fail(errno, shown + old);
    }
    // The folder holds the old tree (or nothing, as before a first restore): the rest goes.
    for (const QByteArray &leftover : {fresh, old}) {
        TreeRemover remover;
        if (!remover.remove(parent, leftover))
            return fail(remover.error(), shown + leftover);
    }
    return true;
}

bool TreeReplacer::finishPart(Part &part)
{
    const int folder = part.folder.get();
    const QByteArray path = partPath(part);
    if (!exists(folder, movingName())) {
        if (!exists(folder, newName()))
            return true; // nothing staged here, or swapped and cleaned
        // Not all old entries were out: the rest go, then the new ones come in.
        if (::mkdirat(folder, oldName(), 0700) != 0 && errno != EEXIST)
            return fail(errno, path + '/' + oldName());
        if (!moveOut(part, oldName()))
            return false;
        if (::renameat(folder, newName(), folder, movingName()) != 0)
            return fail(errno, path + '/' + newName());
    }
    return moveAll(part, movingName(), EntryMover::Existing::Skip);
}

bool TreeReplacer::undoPart(Part &part)
{
    const int folder = part.folder.get();
    const QByteArray path = partPath(part);
    // New entries went in only once every old one was out: all that is there is new.
    if (exists(folder, movingName()) && !moveOut(part, movingName()))
        return false;
    if (exists(folder, oldName()) && !moveAll(part, oldName(), EntryMover::Existing::Skip))
        return false;
    for (const char *work : {newName(), movingName(), oldName()}) {
        TreeRemover remover;
        if (!remover.remove(folder, work))
            return fail(remover.error(), path + '/' + work);
    }
    return true;
}

bool TreeReplacer::finish(ino_t stagedInode)
{
    m_error = 0;
    if (isBeside())
        return finishBeside(stagedInode);
    if (!openParts())
        return false;
    for (Part &part : m_parts) {
        if (!finishPart(part))
            return false;
    }
    return true;
}

bool TreeReplacer::undo(ino_t stagedInode)
{
    m_error = 0;
    if (isBeside())
        return undoBeside(stagedInode);
    if (!openParts())
        return false;
    // Children before their parents: the reverse of the swap.
    for (auto part = m_parts.rbegin(); part != m_parts.rend(); ++part) {
        if (!undoPart(*part))
            return false;
    }
    return true;
}
