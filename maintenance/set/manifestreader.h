#ifndef MANIFESTREADER_H
#define MANIFESTREADER_H

#include "maintenance/set/manifestentry.h"
#include "maintenance/fs/sha256.h"
#include "maintenance/fs/uniquefd.h"

#include <QByteArray>
#include <QList>

// Reads a manifest written by ManifestWriter one entry at a time (memory does not grow with
// the set). Only what the writer writes is accepted: full-path lines below ".", the known
// keywords, "/set" and "/unset" defaults. A manifest is whole when its last line is the
// "# complete:" line.
class ManifestReader
{
public:
    enum class Result { Entry, End, Error };

    // Opens the manifest in `dirFd` after checking it is a regular file (never a link or FIFO).
    bool open(int dirFd, const char *name);
    // Reads from text already in memory (tests, small manifests).
    void openText(const QByteArray &text);

    Result next(ManifestEntry *entry);

    bool complete() const { return m_complete; }
    QByteArray created() const { return m_created; }
    qint64 lineNumber() const { return m_lineNumber; }
    // Why the manifest was refused, or the errno text of a read error.
    QByteArray errorText() const { return m_errorText; }
    int error() const { return m_error; }

    // SHA-256 of every byte of the manifest, once next() has reached its end: the restore
    // reads the very manifest that was checked, or nothing.
    QByteArray sha256() const { return m_sha256; }

    static bool unescape(const QByteArray &text, QByteArray *bytes);

private:
    bool readLine(QByteArray *line);
    bool parseEntry(const QByteArray &line, ManifestEntry *entry);
    bool applyKeyword(const QByteArray &key, const QByteArray &value, bool hasValue,
                      ManifestEntry *entry);
    Result fail(const QByteArray &why);

    UniqueFd m_fd;
    QByteArray m_buffer;
    int m_bufferPos = 0;
    bool m_eof = false;
    bool m_fromText = false;
    bool m_complete = false;
    bool m_afterComplete = false;
    bool m_truncated = false;
    QByteArray m_created;
    QList<QByteArray> m_defaults; // "/set" keywords, applied before a line's own
    qint64 m_lineNumber = 0;
    QByteArray m_errorText;
    int m_error = 0;
    Sha256 m_hash;
    QByteArray m_sha256;
};

#endif
