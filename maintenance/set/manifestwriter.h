#ifndef MANIFESTWRITER_H
#define MANIFESTWRITER_H

#include "maintenance/set/manifestentry.h"
#include "maintenance/fs/uniquefd.h"

#include <QByteArray>

// Writes a backup set's manifest: a BSD mtree file (as libarchive and mtree(8) read it) with
// one full-path line per entry, and beside it a list that `sha256sum -c` checks. Both are
// written through a buffer as the entries come, so memory does not grow with the tree; the
// closing "# complete" line is what tells a whole manifest from one that was cut short.
class ManifestWriter
{
public:
    static const char *fileName();     // "manifest.mtree"
    static const char *sumsFileName(); // "SHA256SUMS"
    static const char *completeMarker();
    static const char *notCopiedMarker();

    // Creates both files in `dirFd`; they must not exist yet.
    bool create(int dirFd, const QByteArray &created, const QByteArray &source);
    void add(const ManifestEntry &entry);
    // Writes the closing line and closes both files; false when anything failed to write.
    bool finish(qint64 entries, qint64 files, qint64 bytes);
    // The same for a whole set: the tree's entries below its top, the top itself and each of
    // the `dumps` beside it count as entries, the dumps as files too.
    bool finishSet(qint64 treeEntries, qint64 files, qint64 bytes, qint64 dumps)
    {
        return finish(treeEntries + 1 + dumps, files + dumps, bytes);
    }
    // Closes both files without the closing line: the manifest stays marked incomplete.
    void close();
    int error() const { return m_error; }

    static QByteArray escape(const QByteArray &bytes);
    static QByteArray line(const ManifestEntry &entry);

private:
    void append(QByteArray &buffer, const UniqueFd &fd, const QByteArray &text);
    void flush(QByteArray &buffer, const UniqueFd &fd);

    UniqueFd m_manifest;
    UniqueFd m_sums;
    QByteArray m_manifestBuffer;
    QByteArray m_sumsBuffer;
    int m_error = 0;
};

#endif
