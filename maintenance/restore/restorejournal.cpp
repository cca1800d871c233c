#include "maintenance/restore/restorejournal.h"

#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/uniquefd.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QByteArray header = "servicepanel restore journal 1";

const char *stepName(RestoreJournal::Step step)
{
    switch (step) {
    case RestoreJournal::Step::Staging:
        return "staging";
    case RestoreJournal::Step::Commit:
        return "commit";
    case RestoreJournal::Step::Cleanup:
        break;
    }
    return "cleanup";
}

QByteArray joinedPath(const QList<QByteArray> &names)
{
    QByteArray path;
    for (const QByteArray &name : names)
        path += (path.isEmpty() ? "" : "/") + name;
    return path;
}

bool syncFolder(const QByteArray &path)
{
    UniqueFd folder(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return folder.isValid() && ::fsync(folder.get()) == 0;
}

// Every folder made on the way is synced into its parent: a record in a folder that a power
// loss takes back would be no record.
bool makeFolderDurably(const QByteArray &path)
{
    struct stat status;
    if (::stat(path.constData(), &status) == 0)
        return S_ISDIR(status.st_mode) || (errno = ENOTDIR, false);
    if (errno != ENOENT)
        return false;
    const int slash = path.lastIndexOf('/');
    const QByteArray parent = slash > 0 ? path.left(slash) : QByteArray("/");
    if (slash > 0 && !makeFolderDurably(parent))
        return false;
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST)
        return false;
    return syncFolder(parent);
}

QList<QByteArray> words(const QByteArray &line)
{
    QList<QByteArray> found = line.split(' ');
    found.removeAll(QByteArray());
    return found;
}

bool toNumber(const QByteArray &text, qint64 *value, int base = 10)
{
    bool ok = false;
    *value = text.toLongLong(&ok, base);
    return ok;
}

} // namespace

RestoreJournal::RestoreJournal(const QString &workFolder) : m_folder(workFolder) {}

const char *RestoreJournal::fileName()
{
    return "restore.journal";
}

QString RestoreJournal::path() const
{
    return m_folder + QLatin1Char('/') + QLatin1String(fileName());
}

bool RestoreJournal::fail(int error)
{
    m_error = error;
    return false;
}

bool RestoreJournal::exists() const
{
    struct stat status;
    return ::lstat(QFile::encodeName(path()).constData(), &status) == 0;
}

bool RestoreJournal::write(const State &state)
{
    m_error = 0;
    QByteArray text = header + '\n';
    text += QByteArray("step ") + stepName(state.step) + '\n';
    text += QByteArray("direction ") +
            (state.direction == Direction::Forward ? "forward" : "back") + '\n';
    text += "tree " + state.tree.toHex() + '\n';
    text += state.beside ? "beside " + QByteArray::number(qulonglong(state.stagedInode)) + '\n'
                         : QByteArray("pinned\n");
    for (const PinnedTop &top : state.tops) {
        const ManifestEntry &entry = top.entry;
        text += "top " + (top.path.isEmpty() ? QByteArray("-") : joinedPath(top.path).toHex()) +
                ' ' + QByteArray::number(entry.mode, 8) + ' ' + QByteArray::number(entry.uid) +
                ' ' + QByteArray::number(entry.gid) + ' ' + QByteArray::number(entry.mtime) + ' ' +
                QByteArray::number(entry.mtimeNsec) + '\n';
    }
    text += "databases " + state.databases.join(QLatin1Char(' ')).toLatin1() + '\n';
    text += "touched " + state.touched.join(QLatin1Char(' ')).toLatin1() + '\n';
    text += "switched " + state.switched.join(QLatin1Char(' ')).toLatin1() + '\n';
    text += QByteArray("tree-swap ") + (state.treeSwapBegan ? "began" : "not-begun") + '\n';
    text += "end\n";

    const QByteArray folder = QFile::encodeName(m_folder);
    if (!makeFolderDurably(folder))
        return fail(errno);
    const QByteArray final = QFile::encodeName(path());
    const QByteArray temporary = final + ".new";
    ::unlink(temporary.constData());
    UniqueFd out(
        ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!out.isValid())
        return fail(errno);
    if (!posixfs::writeAll(out.get(), text.constData(), size_t(text.size())) ||
        ::fsync(out.get()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return fail(error);
    }
    if (::close(out.release()) != 0 || ::rename(temporary.constData(), final.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return fail(error);
    }
    return syncFolder(folder) || fail(errno);
}

bool RestoreJournal::read(State *state)
{
    m_error = 0;
    *state = State();
    QFile file(path());
    if (!file.exists())
        return fail(ENOENT);
    if (!file.open(QIODevice::ReadOnly))
        return fail(EACCES);
    const QList<QByteArray> lines = file.read(1 << 20).split('\n');
    if (lines.value(0) != header)
        return fail(EBADMSG);
    bool ended = false;
    bool sawTree = false;
    for (int i = 1; i < lines.size() && !ended; ++i) {
        const QList<QByteArray> line = words(lines.at(i));
        if (line.isEmpty())
            continue;
        const QByteArray key = line.first();
        const QList<QByteArray> rest = line.mid(1);
        qint64 number = 0;
        if (key == "end") {
            ended = true;
        } else if (key == "step" && rest.size() == 1) {
            if (rest.first() == "staging")
                state->step = Step::Staging;
            else if (rest.first() == "commit")
                state->step = Step::Commit;
            else if (rest.first() == "cleanup")
                state->step = Step::Cleanup;
            else
                return fail(EBADMSG);
        } else if (key == "direction" && rest.size() == 1) {
            if (rest.first() != "forward" && rest.first() != "back")
                return fail(EBADMSG);
            state->direction = rest.first() == "forward" ? Direction::Forward : Direction::Back;
        } else if (key == "tree" && rest.size() == 1) {
            state->tree = QByteArray::fromHex(rest.first());
            sawTree = !state->tree.isEmpty();
        } else if (key == "beside" && rest.size() == 1 && toNumber(rest.first(), &number)) {
            state->beside = true;
            state->stagedInode = ino_t(number);
        } else if (key == "pinned" && rest.isEmpty()) {
            state->beside = false;
        } else if (key == "top" && rest.size() == 6) {
            PinnedTop top;
            if (rest.at(0) != "-" &&
                !posixfs::splitRelativePath(QByteArray::fromHex(rest.at(0)), &top.path))
                return fail(EBADMSG);
            qint64 mode = 0, uid = 0, gid = 0;
            if (!toNumber(rest.at(1), &mode, 8) || !toNumber(rest.at(2), &uid) ||
                !toNumber(rest.at(3), &gid) || !toNumber(rest.at(4), &top.entry.mtime) ||
                !toNumber(rest.at(5), &top.entry.mtimeNsec))
                return fail(EBADMSG);
            top.entry.type = ManifestEntry::Type::Folder;
            top.entry.mode = quint32(mode) & 07777;
            top.entry.uid = quint32(uid);
            top.entry.gid = quint32(gid);
            state->tops << top;
        } else if (key == "databases" || key == "touched" || key == "switched") {
            QStringList names;
            for (const QByteArray &name : rest)
                names << QString::fromLatin1(name);
            (key == "databases" ? state->databases
             : key == "touched" ? state->touched
                                : state->switched) = names;
        } else if (key == "tree-swap" && rest.size() == 1) {
            state->treeSwapBegan = rest.first() == "began";
        } else {
            return fail(EBADMSG);
        }
    }
    if (!ended || !sawTree)
        return fail(EBADMSG);
    return true;
}

bool RestoreJournal::remove()
{
    m_error = 0;
    const QByteArray final = QFile::encodeName(path());
    if (::unlink(final.constData()) != 0 && errno != ENOENT)
        return fail(errno);
    return syncFolder(QFile::encodeName(m_folder)) || fail(errno);
}
