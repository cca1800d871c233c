#include "maintenance/system/mountpoints.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/uniquefd.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

bool listedAsMountPoint(const QByteArray &path)
{
    return mountPointPaths().contains(path);
}

bool clearedFolder(const QByteArray &path, int depth)
{
    // A tree deeper than this was not left by rm -rf.
    if (depth > 64)
        return false;
    UniqueFd folder(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isValid())
        return false;
    QList<QByteArray> names;
    posixfs::listNames(folder.get(), &names);
    bool cleared = true;
    bool holdsFolders = false;
    for (const QByteArray &name : qAsConst(names)) {
        const QByteArray child = path + '/' + name;
        struct stat info;
        if (::lstat(child.constData(), &info) != 0 || !S_ISDIR(info.st_mode) ||
            !clearedFolder(child, depth + 1)) {
            cleared = false;
            break;
        }
        holdsFolders = true;
    }
    // An empty folder that is no mount point is one that rm failed to remove.
    return cleared && (holdsFolders || isMountedFolder(QFile::decodeName(path)));
}

} // namespace

QByteArray unescapeMountField(const QByteArray &field)
{
    const auto octal = [](char c) { return c >= '0' && c <= '7'; };
    QByteArray result;
    result.reserve(field.size());
    for (int i = 0; i < field.size(); ++i) {
        // Three octal digits, as the kernel writes them: not a sign, a blank or a value
        // beyond one byte.
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && octal(field[i + 2]) && octal(field[i + 3])) {
            result.append(char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                               (field[i + 3] - '0')));
            i += 3;
            continue;
        }
        result.append(field[i]);
    }
    return result;
}

QList<QByteArray> mountPointPaths(const QByteArray &mountinfo)
{
    QList<QByteArray> points;
    const QList<QByteArray> lines = mountinfo.split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 4)
            points << unescapeMountField(fields.at(4));
    }
    return points;
}

QList<QByteArray> mountPointPaths()
{
    QFile mountinfo(QStringLiteral("/proc/self/mountinfo"));
    if (!mountinfo.open(QIODevice::ReadOnly))
        return {};
    // /proc files report no size: read them whole.
    return mountPointPaths(mountinfo.readAll());
}

bool isMountedFolder(const QString &path)
{
    const QByteArray local = QFile::encodeName(QFileInfo(path).canonicalFilePath());
    if (local.isEmpty())
        return false;
    struct stat own;
    struct stat parent;
    if (::lstat(local.constData(), &own) != 0 || !S_ISDIR(own.st_mode))
        return false;
    if (local == "/")
        return true;
    const QByteArray above = QFile::encodeName(QFileInfo(QFile::decodeName(local)).path());
    if (::stat(above.constData(), &parent) == 0 && parent.st_dev != own.st_dev)
        return true;
    return listedAsMountPoint(local);
}

bool onlyMountPointsLeft(const QString &path)
{
    const QByteArray local = QFile::encodeName(path);
    struct stat info;
    if (::lstat(local.constData(), &info) != 0)
        return errno == ENOENT;
    if (!S_ISDIR(info.st_mode))
        return false;
    return clearedFolder(local, 0);
}
