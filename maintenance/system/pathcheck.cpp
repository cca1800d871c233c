#include "maintenance/system/pathcheck.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

// The path with its links resolved: the deepest part that exists made canonical, the rest
// appended as it stands.
QString resolved(const QString &path)
{
    QString existing = path;
    QStringList rest;
    while (!QFileInfo::exists(existing) && existing != QLatin1String("/")) {
        rest.prepend(QFileInfo(existing).fileName());
        existing = QFileInfo(existing).path();
    }
    QString result = QFileInfo(existing).canonicalFilePath();
    if (result.isEmpty())
        return QString();
    for (const QString &part : rest)
        result += (result.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + part;
    return result;
}

} // namespace

PathCheck checkMaintenancePath(const QString &path, const QString &systemRoot)
{
    PathCheck check;
    check.path = path;
    check.root = systemRoot;
    auto refused = [&check](PathCheck::Kind kind) {
        check.kind = kind;
        return check;
    };
    if (path.isEmpty())
        return refused(PathCheck::Kind::Empty);
    if (!path.startsWith(QLatin1Char('/')))
        return refused(PathCheck::Kind::NotAbsolute);
    for (const QChar c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return refused(PathCheck::Kind::ControlCharacter);
    }
    QString trimmed = path;
    if (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    if (QDir::cleanPath(trimmed) != trimmed)
        return refused(PathCheck::Kind::NotClean);

    const QString real = resolved(trimmed);
    if (real.isEmpty())
        return refused(PathCheck::Kind::Unresolvable);
    if (real == QLatin1String("/"))
        return refused(PathCheck::Kind::RootFolder);
    if (!systemRoot.isEmpty()) {
        const QString root = QFileInfo(systemRoot).canonicalFilePath();
        if (root.isEmpty() || root == QLatin1String("/"))
            return refused(PathCheck::Kind::RootUnusable);
        check.root = root;
        if (!real.startsWith(root + QLatin1Char('/')))
            return refused(PathCheck::Kind::OutsideRoot);
    }
    check.ok = true;
    check.kind = PathCheck::Kind::Allowed;
    return check;
}
