#include "maintenance/system/stickapart.h"

#include "maintenance/system/devicecommands.h"
#include "maintenance/system/mountpoints.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

StickApart verdict(StickApart::Verdict kind, const QByteArray &mountPoint = QByteArray())
{
    StickApart apart;
    apart.verdict = kind;
    apart.mountPoint = mountPoint;
    return apart;
}

bool inside(const QByteArray &path, const QByteArray &folder)
{
    return path == folder || path.startsWith(folder.endsWith('/') ? folder : folder + '/');
}

} // namespace

StickApart checkStickApart(const QString &systemRoot)
{
    const QByteArray stick =
        QFile::encodeName(QFileInfo(stickFolder(systemRoot)).canonicalFilePath());
    const QByteArray opt = QFile::encodeName(QFileInfo(optFolder(systemRoot)).canonicalFilePath());
    struct stat stickStatus;
    struct stat optStatus;
    if (stick.isEmpty() || opt.isEmpty() || ::stat(stick.constData(), &stickStatus) != 0 ||
        ::stat(opt.constData(), &optStatus) != 0)
        return verdict(StickApart::Verdict::Apart);
    if (inside(stick, opt))
        return verdict(StickApart::Verdict::InsideOpt);
    if (stickStatus.st_dev == optStatus.st_dev)
        return verdict(StickApart::Verdict::SameFileSystem);
    const QByteArray below = opt.endsWith('/') ? opt : opt + '/';
    for (const QByteArray &mountPoint : mountPointPaths()) {
        struct stat status;
        if (mountPoint.startsWith(below) && ::stat(mountPoint.constData(), &status) == 0 &&
            status.st_dev == stickStatus.st_dev)
            return verdict(StickApart::Verdict::MountBelowOpt, mountPoint.mid(below.size()));
    }
    return verdict(StickApart::Verdict::Apart);
}
