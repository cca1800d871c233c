#include "maintenance/database/stickfile.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Texts for the panel's boxes, translated in the panel's context.
struct PanelText
{
    Q_DECLARE_TR_FUNCTIONS(sendordertoprinter_test)
};

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode)
{
    if (S_ISLNK(mode))
        return PanelText::tr("a link");
    if (S_ISDIR(mode))
        return PanelText::tr("a folder");
    if (S_ISFIFO(mode))
        return PanelText::tr("a FIFO");
    if (S_ISSOCK(mode))
        return PanelText::tr("a socket");
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return PanelText::tr("a device");
    return PanelText::tr("not a regular file");
}

} // namespace

StickFile::StickFile(const QString &path) : m_path(path) {}

StickFile::~StickFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool StickFile::open()
{
    const QByteArray local = QFile::encodeName(m_path);
    struct stat before;
    if (::lstat(local.constData(), &before) != 0) {
        m_problem = PanelText::tr("%1 cannot be read: %2").arg(m_path, systemError(errno));
        return false;
    }
    if (!S_ISREG(before.st_mode)) {
        m_problem = PanelText::tr("%1 is %2, not a file").arg(m_path, kindOf(before.st_mode));
        return false;
    }
    // O_NONBLOCK and O_NOFOLLOW in case it was swapped for a FIFO or a link meanwhile.
    m_fd = ::open(local.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (m_fd < 0) {
        m_problem = PanelText::tr("%1 cannot be read: %2").arg(m_path, systemError(errno));
        return false;
    }
    struct stat opened;
    if (::fstat(m_fd, &opened) != 0 || !S_ISREG(opened.st_mode) || opened.st_dev != before.st_dev ||
        opened.st_ino != before.st_ino) {
        m_problem = PanelText::tr("%1 changed while it was opened").arg(m_path);
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
        m_problem = PanelText::tr("%1 is not open").arg(m_path);
        return -1;
    }
    for (;;) {
        const ssize_t got = ::read(m_fd, data, size_t(size));
        if (got >= 0)
            return qint64(got);
        if (errno != EINTR) {
            m_problem = PanelText::tr("%1 cannot be read: %2").arg(m_path, systemError(errno));
            return -1;
        }
    }
}

bool StickFile::seek(qint64 offset)
{
    if (m_fd >= 0 && ::lseek(m_fd, off_t(offset), SEEK_SET) == off_t(offset))
        return true;
    m_problem = PanelText::tr("%1 cannot be read: %2").arg(m_path, systemError(errno));
    return false;
}
