#include "maintenance/database/stickfile.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

StickFile::StickFile(const QString &path) : m_path(path) {}

StickFile::~StickFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

void StickFile::fail(JobProblem::Kind kind, int error, qint64 type)
{
    m_problem = JobProblem();
    m_problem.kind = kind;
    m_problem.path = QFile::encodeName(m_path);
    m_problem.error = error;
    m_problem.count = type;
}

bool StickFile::open()
{
    const QByteArray local = QFile::encodeName(m_path);
    struct stat before;
    if (::lstat(local.constData(), &before) != 0) {
        fail(JobProblem::Kind::DumpUnreadable, errno);
        return false;
    }
    if (!S_ISREG(before.st_mode)) {
        fail(JobProblem::Kind::DumpNotAFile, 0, before.st_mode & S_IFMT);
        return false;
    }
    // O_NONBLOCK and O_NOFOLLOW in case it was swapped for a FIFO or a link meanwhile.
    m_fd = ::open(local.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        fail(JobProblem::Kind::DumpUnreadable, errno);
        return false;
    }
    struct stat opened;
    if (::fstat(m_fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != before.st_dev ||
        opened.st_ino != before.st_ino) {
        fail(JobProblem::Kind::DumpSwapped);
        ::close(m_fd);
        m_fd = -1;
        return false;
    }
    ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) & ~O_NONBLOCK);
    m_size = qint64(opened.st_size);
    return true;
}

qint64 StickFile::read(char *data, qint64 size)
{
    if (m_fd < 0) {
        fail(JobProblem::Kind::DumpUnreadable, EBADF);
        return -1;
    }
    for (;;) {
        const ssize_t got = ::read(m_fd, data, size_t(size));
        if (got >= 0)
            return qint64(got);
        if (errno != EINTR) {
            fail(JobProblem::Kind::DumpUnreadable, errno);
            return -1;
        }
    }
}

bool StickFile::seek(qint64 offset)
{
    if (m_fd >= 0 && ::lseek(m_fd, off_t(offset), SEEK_SET) == off_t(offset))
        return true;
    fail(JobProblem::Kind::DumpUnreadable, m_fd >= 0 ? errno : EBADF);
    return false;
}
