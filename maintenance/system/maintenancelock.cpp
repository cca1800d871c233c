#include "maintenance/system/maintenancelock.h"

#include "maintenance/fs/posixfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char *actionWord(MaintenanceLock::Action action)
{
    switch (action) {
    case MaintenanceLock::Action::Restore:
        return "restore";
    case MaintenanceLock::Action::ClearData:
        return "clear-data";
    case MaintenanceLock::Action::Backup:
        break;
    }
    return "backup";
}

} // namespace

MaintenanceLock::MaintenanceLock(const QString &systemRoot) : m_path(lockPath(systemRoot)) {}

MaintenanceLock::~MaintenanceLock()
{
    release();
}

QString MaintenanceLock::lockPath(const QString &systemRoot)
{
    return systemRoot + QLatin1String("/run/lock/servicepanel.lock");
}

bool MaintenanceLock::fail(int error)
{
    m_fd.reset();
    m_state = State::Failed;
    m_error = error;
    return false;
}

bool MaintenanceLock::take(Action action)
{
    if (m_state == State::Held)
        return true;
    m_holderKnown = false;
    const QString folder = QFileInfo(m_path).path();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder)) {
        // QDir keeps no errno: the last folder of the path, tried again, tells why.
        const int made = ::mkdir(QFile::encodeName(folder).constData(), 0755);
        return fail(made == 0 ? EIO : errno);
    }
    // Never through a link, never a FIFO that would wait: the folder may be one that anybody
    // can write to.
    m_fd.reset(::open(QFile::encodeName(m_path).constData(),
                      O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
    if (!m_fd.isValid())
        return fail(errno);
    struct stat status;
    if (::fstat(m_fd.get(), &status) != 0)
        return fail(errno);
    if (!S_ISREG(status.st_mode))
        return fail(EINVAL);
    int locked;
    while ((locked = ::flock(m_fd.get(), LOCK_EX | LOCK_NB)) != 0 && errno == EINTR) {
    }
    if (locked != 0) {
        const int error = errno;
        if (error != EWOULDBLOCK)
            return fail(error);
        readHolder();
        m_fd.reset();
        m_state = State::Busy;
        m_error = error;
        return false;
    }
    const QByteArray holder =
        "servicepanel " + QByteArray::number(qint64(::getpid())) + ' ' + actionWord(action) + '\n';
    // Only what the box of another panel shows: a failure here does not stop the action.
    if (::ftruncate(m_fd.get(), 0) == 0)
        posixfs::pwriteAll(m_fd.get(), holder.constData(), size_t(holder.size()), 0);
    m_state = State::Held;
    m_error = 0;
    return true;
}

void MaintenanceLock::release()
{
    if (m_state == State::Held && m_fd.isValid()) {
        // The next holder writes its own line; until then the file names nobody.
        const int emptied = ::ftruncate(m_fd.get(), 0);
        Q_UNUSED(emptied)
    }
    m_fd.reset();
    if (m_state == State::Held)
        m_state = State::Free;
}

void MaintenanceLock::readHolder()
{
    char buffer[128] = {};
    const ssize_t got = posixfs::preadRetrying(m_fd.get(), buffer, sizeof buffer - 1, 0);
    if (got <= 0)
        return;
    const QList<QByteArray> words = QByteArray(buffer, int(got)).trimmed().split(' ');
    bool number = false;
    const qint64 pid = words.value(1).toLongLong(&number);
    if (words.size() != 3 || words.first() != "servicepanel" || !number || pid <= 0)
        return;
    for (Action action : {Action::Backup, Action::Restore, Action::ClearData}) {
        if (words.at(2) == actionWord(action)) {
            m_holderKnown = true;
            m_holderAction = action;
            m_holderPid = pid;
        }
    }
}
