#ifndef PATHCHECK_H
#define PATHCHECK_H

#include <QString>

struct PathCheck
{
    bool ok = false;
    QString problem; // why the path is refused, for a box or a log
};

// Whether a maintenance action may create or empty the folder `path`: it must be absolute and
// clean (no "." or ".." parts, no doubled slashes, no control characters), and once links are
// resolved (as far as it exists) neither "/" nor, when `systemRoot` is set, outside of it or
// the root itself. An empty `path` is refused: "rm -rf /*" is what it would become.
PathCheck checkMaintenancePath(const QString &path, const QString &systemRoot);

#endif
