#ifndef DUMPEND_H
#define DUMPEND_H

#include <QByteArray>

// mysqldump ends a whole dump with a "-- Dump completed" line; a dump cut short lacks it.
// `tail` is the dump's last few hundred bytes.
inline bool endsLikeWholeDump(const QByteArray &tail)
{
    const QByteArray end = tail.trimmed();
    return end.mid(end.lastIndexOf('\n') + 1).startsWith("-- Dump completed");
}

#endif
