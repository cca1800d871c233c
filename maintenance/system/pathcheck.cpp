#include "maintenance/system/pathcheck.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {

// Texts for the panel's boxes, translated in the panel's context.
struct PanelText
{
    Q_DECLARE_TR_FUNCTIONS(sendordertoprinter_test)
};

PathCheck refused(const QString &problem)
{
    PathCheck check;
    check.problem = problem;
    return check;
}

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
    if (path.isEmpty())
        return refused(PanelText::tr("no folder given"));
    if (!path.startsWith(QLatin1Char('/')))
        return refused(PanelText::tr("%1 is not an absolute path").arg(path));
    for (const QChar c : path) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return refused(PanelText::tr("%1 holds a control character").arg(path));
    }
    QString trimmed = path;
    if (trimmed.size() > 1 && trimmed.endsWith(QLatin1Char('/')))
        trimmed.chop(1);
    if (QDir::cleanPath(trimmed) != trimmed)
        return refused(PanelText::tr("%1 is not a clean path").arg(path));

    const QString real = resolved(trimmed);
    if (real.isEmpty())
        return refused(PanelText::tr("%1 cannot be resolved").arg(path));
    if (real == QLatin1String("/"))
        return refused(PanelText::tr("%1 is the root folder").arg(path));
    if (!systemRoot.isEmpty()) {
        const QString root = QFileInfo(systemRoot).canonicalFilePath();
        if (root.isEmpty() || root == QLatin1String("/"))
            return refused(PanelText::tr("the system root %1 is not usable").arg(systemRoot));
        if (!real.startsWith(root + QLatin1Char('/')))
            return refused(PanelText::tr("%1 is not inside the system root %2").arg(path, root));
    }
    PathCheck check;
    check.ok = true;
    return check;
}
