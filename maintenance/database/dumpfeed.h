#ifndef DUMPFEED_H
#define DUMPFEED_H

#include "maintenance/fs/sha256.h"
#include "maintenance/jobproblem.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

class DumpVetter;
class StickFile;

// One dump on its way from the stick to the mysql client's standard input, read once: each
// piece goes through SHA-256 and the vetter as it is read, and what the vetter passes goes to
// the client. The part that holds the last statement the vetter passed is held back until the
// whole file has been read and its size and SHA-256 are those the set's check saw. On a
// mismatch, a refusal or a read error the input stops instead (read() answers -1): the
// client is killed before it sees an end of input, so it never runs a statement it holds
// unfinished, and never the last one.
class DumpFeed
{
public:
    // `session` goes first (our own statements); `sha256` (hex) and `size` are the checked
    // file's.
    DumpFeed(StickFile &file, DumpVetter &vetter, const QString &name, const QByteArray &sha256,
             qint64 size, const QByteArray &session);

    // As CommandIo::input.
    qint64 read(char *buffer, qint64 size);

    bool failed() const { return m_failed; }
    // Why the input stopped: the stick file's problem, DumpRefused or DumpChanged.
    JobProblem problem() const { return m_problem; }
    qint64 bytesRead() const { return m_read; }
    // Called after each piece read from the stick, with the bytes read so far.
    std::function<void(qint64)> progress;

private:
    bool pull();
    bool stop(const JobProblem &problem);
    bool stop(JobProblem::Kind kind);

    StickFile &m_file;
    DumpVetter &m_vetter;
    QString m_name;
    QByteArray m_sha256;
    qint64 m_size = 0;
    Sha256 m_hash;
    std::vector<char> m_piece;
    QByteArray m_ready; // may go to the client
    int m_offset = 0;
    QByteArray m_held; // from the piece that ended the newest statement on
    qint64 m_read = 0;
    bool m_ended = false;
    bool m_failed = false;
    JobProblem m_problem;
};

#endif
