#include "maintenance/database/dumpfeed.h"

#include "maintenance/database/dumpvetting.h"
#include "maintenance/database/stickfile.h"

#include <cstring>

namespace {

const qint64 pieceBytes = 256 * 1024;

} // namespace

DumpFeed::DumpFeed(StickFile &file, DumpVetter &vetter, const QString &name,
                   const QByteArray &sha256, qint64 size, const QByteArray &session)
    : m_file(file), m_vetter(vetter), m_name(name), m_sha256(sha256), m_size(size),
      m_piece(size_t(pieceBytes)), m_ready(session)
{
}

bool DumpFeed::stop(const JobProblem &problem)
{
    m_failed = true;
    m_problem = problem;
    m_ready.clear();
    m_held.clear();
    m_offset = 0;
    return false;
}

bool DumpFeed::stop(JobProblem::Kind kind)
{
    JobProblem problem;
    problem.kind = kind;
    problem.name = m_name;
    if (kind == JobProblem::Kind::DumpRefused)
        problem.refusal = m_vetter.refusal();
    return stop(problem);
}

bool DumpFeed::pull()
{
    const qint64 got = m_file.read(m_piece.data(), pieceBytes);
    if (got < 0)
        return stop(m_file.problem());
    QByteArray passed;
    if (got == 0) {
        if (!m_vetter.finish(&passed))
            return stop(JobProblem::Kind::DumpRefused);
        // The stick may have changed since it was checked: only the checked bytes count.
        if (m_read != m_size || m_hash.hex() != m_sha256)
            return stop(JobProblem::Kind::DumpChanged);
        m_ready = m_held + passed;
        m_held.clear();
        m_ended = true;
        return true;
    }
    m_read += got;
    if (m_read > m_size)
        return stop(JobProblem::Kind::DumpChanged);
    m_hash.add(m_piece.data(), size_t(got));
    if (progress)
        progress(m_read);
    const int before = m_vetter.statementCount();
    m_vetter.feed(QByteArray::fromRawData(m_piece.data(), int(got)), &passed);
    if (m_vetter.isRefused())
        return stop(JobProblem::Kind::DumpRefused);
    if (m_vetter.statementCount() > before) {
        // Everything before this piece's text precedes the newest statement's end.
        m_ready = m_held;
        m_held = passed;
    } else {
        m_held += passed;
    }
    return true;
}

qint64 DumpFeed::read(char *buffer, qint64 size)
{
    while (m_offset >= m_ready.size()) {
        if (m_failed)
            return -1;
        m_ready.clear();
        m_offset = 0;
        if (m_ended)
            return 0;
        if (!pull())
            return -1;
    }
    const qint64 count = qMin(size, qint64(m_ready.size() - m_offset));
    std::memcpy(buffer, m_ready.constData() + m_offset, size_t(count));
    m_offset += int(count);
    return count;
}
