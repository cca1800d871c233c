#ifndef PATHCHECK_H
#define PATHCHECK_H

#include <QString>

// Whether a maintenance action may create or empty a folder, and if not, why.
struct PathCheck
{
    enum class Kind {
        Allowed,
        Empty, // no path at all
        NotAbsolute,
        ControlCharacter, // a byte below 0x20, or 0x7f
        NotClean,         // "." or ".." parts, doubled slashes
        Unresolvable,     // its links cannot be followed
        RootFolder,       // "/" once links are resolved
        RootUnusable,     // the system root does not resolve, or resolves to "/"
        OutsideRoot,      // not below the system root once links are resolved
    };

    bool ok = false;
    Kind kind = Kind::Empty;
    QString path; // as given
    QString root; // the system root, resolved where it resolves
};

// Whether a maintenance action may create or empty the folder `path`: it must be absolute and
// clean (no "." or ".." parts, no doubled slashes, no control characters), and once links are
// resolved (as far as it exists) neither "/" nor, when `systemRoot` is set, outside of it or
// the root itself. An empty `path` is refused: "rm -rf /*" is what it would become.
PathCheck checkMaintenancePath(const QString &path, const QString &systemRoot);

#endif
