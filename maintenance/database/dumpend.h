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

// How much of a dump's end is read to find its last line.
constexpr int dumpTailBytes = 1024;

// True when the open dump `fd` ends like a whole one.
bool dumpEndsWhole(int fd);
// Reads the open dump `fd` to its end for its SHA-256 (hex) and size; false with errno set,
// ENODATA when the dump was cut short.
bool hashWholeDump(int fd, QByteArray *sha256, qint64 *size);

#endif
