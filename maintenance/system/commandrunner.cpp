#include "maintenance/system/commandrunner.h"

#include <QCoreApplication>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

int runSystemCommand(const char *command)
{
    const int status = std::system(command);
    if (status < 0) {
        std::printf("Error!System :%s error!", command);
        std::fflush(stdout);
    }
    return status;
}

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Enough for the message of a failing mysql or poweroff, not for a flood.
const int keptErrorBytes = 4096;
// How often a child is looked at when the kernel cannot tell us (no pidfd).
const int pollSliceMs = 20;

// Texts for the panel's boxes, translated in the panel's context.
struct PanelText
{
    Q_DECLARE_TR_FUNCTIONS(sendordertoprinter_test)
};

QString durationText(milliseconds limit)
{
    const long long ms = limit.count();
    if (ms >= 60000 && ms % 60000 == 0)
        return PanelText::tr("%1 min").arg(ms / 60000);
    if (ms >= 1000 && ms % 1000 == 0)
        return PanelText::tr("%1 s").arg(ms / 1000);
    return PanelText::tr("%1 ms").arg(ms);
}

void writeAll(int fd, const char *data, ssize_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size_t(size));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return;
        data += written;
        size -= written;
    }
}

// The child's standard error: passed on to ours and its tail kept for the result.
class ErrorPipe
{
public:
    ErrorPipe()
    {
        if (::pipe2(m_fds, O_CLOEXEC) != 0)
            m_fds[0] = m_fds[1] = -1;
    }
    ~ErrorPipe()
    {
        closeWriteEnd();
        if (m_fds[0] >= 0)
            ::close(m_fds[0]);
    }
    bool isValid() const { return m_fds[0] >= 0; }
    int readEnd() const { return m_open ? m_fds[0] : -1; }
    int writeEnd() const { return m_fds[1]; }
    void closeWriteEnd()
    {
        if (m_fds[1] >= 0)
            ::close(m_fds[1]);
        m_fds[1] = -1;
    }

    void readSome()
    {
        char buffer[4096];
        const ssize_t got = ::read(m_fds[0], buffer, sizeof buffer);
        if (got < 0 && (errno == EINTR || errno == EAGAIN))
            return;
        if (got <= 0) {
            m_open = false;
            return;
        }
        writeAll(STDERR_FILENO, buffer, got);
        m_tail.append(buffer, int(got));
        if (m_tail.size() > keptErrorBytes)
            m_tail.remove(0, m_tail.size() - keptErrorBytes);
    }

    // What is there now; a background process that keeps the pipe open is not waited for.
    void drain()
    {
        if (!m_open)
            return;
        ::fcntl(m_fds[0], F_SETFL, ::fcntl(m_fds[0], F_GETFL) | O_NONBLOCK);
        for (int i = 0; i < 256 && m_open; ++i) {
            const int before = m_tail.size();
            readSome();
            if (m_open && m_tail.size() == before)
                break;
        }
    }

    QByteArray tail() const { return m_tail; }

private:
    int m_fds[2] = {-1, -1};
    bool m_open = true;
    QByteArray m_tail;
};

// True once the child has ended; it stays a zombie, so its process group id stays ours.
bool hasEnded(pid_t pid, bool *lost)
{
    siginfo_t info;
    std::memset(&info, 0, sizeof info);
    while (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0) {
        if (errno == EINTR)
            continue;
        *lost = true; // reaped behind our back (SIGCHLD ignored)
        return true;
    }
    return info.si_pid == pid;
}

// Waits until the child ends or the deadline passes, passing its error output on meanwhile.
bool waitUntil(pid_t pid, int pidfd, ErrorPipe &errors, Clock::time_point deadline, bool *lost)
{
    for (;;) {
        if (hasEnded(pid, lost))
            return true;
        const auto now = Clock::now();
        if (now >= deadline)
            return false;
        long long slice = std::chrono::duration_cast<milliseconds>(deadline - now).count() + 1;
        if (pidfd < 0)
            slice = std::min<long long>(slice, pollSliceMs);
        slice = std::min<long long>(slice, 60000);
        pollfd fds[2];
        nfds_t count = 0;
        if (errors.readEnd() >= 0)
            fds[count++] = {errors.readEnd(), POLLIN, 0};
        if (pidfd >= 0)
            fds[count++] = {pidfd, POLLIN, 0};
        const int ready = ::poll(fds, count, int(slice));
        if (ready > 0 && errors.readEnd() >= 0 && fds[0].revents != 0)
            errors.readSome();
    }
}

} // namespace

QString CommandResult::reason() const
{
    switch (outcome) {
    case Outcome::Exited:
        return PanelText::tr("exit status %1").arg(exitStatus);
    case Outcome::Signalled:
        return PanelText::tr("ended by signal %1 (%2)")
            .arg(signal)
            .arg(QString::fromLocal8Bit(::strsignal(signal)));
    case Outcome::TimedOut:
        return PanelText::tr("stopped after its time limit of %1").arg(durationText(timeLimit));
    case Outcome::Unknown:
        return PanelText::tr("ended without an exit status");
    case Outcome::NotStarted:
        break;
    }
    return PanelText::tr("could not be started: %1").arg(error);
}

QString CommandResult::lastErrorLine() const
{
    const QList<QByteArray> lines = errorOutput.split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QByteArray trimmed = line->trimmed();
        if (!trimmed.isEmpty())
            return QString::fromLocal8Bit(trimmed);
    }
    return QString();
}

CommandResult CommandResult::fromWaitStatus(int status)
{
    CommandResult result;
    if (status < 0) {
        result.outcome = Outcome::NotStarted;
        result.error = PanelText::tr("no shell");
    } else if (WIFSIGNALED(status)) {
        result.outcome = Outcome::Signalled;
        result.signal = WTERMSIG(status);
    } else {
        result.exitStatus = WEXITSTATUS(status);
    }
    return result;
}

CommandResult CommandResult::timedOut(milliseconds limit)
{
    CommandResult result;
    result.outcome = Outcome::TimedOut;
    result.timeLimit = limit;
    return result;
}

CommandResult CommandResult::notStarted(const QString &why)
{
    CommandResult result;
    result.outcome = Outcome::NotStarted;
    result.error = why;
    return result;
}

SystemCommandRunner::SystemCommandRunner(milliseconds timeLimit, milliseconds grace)
    : m_timeLimit(timeLimit), m_grace(grace)
{
}

void SystemCommandRunner::reapLeftovers()
{
    for (int i = m_leftovers.size() - 1; i >= 0; --i) {
        int status = 0;
        const pid_t done = ::waitpid(m_leftovers.at(i), &status, WNOHANG);
        if (done != 0)
            m_leftovers.removeAt(i);
    }
}

CommandResult SystemCommandRunner::run(const QByteArray &commandLine)
{
    reapLeftovers();
    ErrorPipe errors;
    if (!errors.isValid())
        return CommandResult::notStarted(QString::fromLocal8Bit(std::strerror(errno)));

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // A command that asks for input must not wait for a technician who cannot type.
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, errors.writeEnd(), STDERR_FILENO);

    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t signalSet;
    sigemptyset(&signalSet);
    posix_spawnattr_setsigmask(&attributes, &signalSet);
    // Dispositions that this process ignores would otherwise be inherited by the command.
    for (int number :
         {SIGPIPE, SIGCHLD, SIGINT, SIGQUIT, SIGTERM, SIGHUP, SIGALRM, SIGUSR1, SIGUSR2})
        sigaddset(&signalSet, number);
    posix_spawnattr_setsigdefault(&attributes, &signalSet);

    QByteArray line = commandLine;
    char dashC[] = "-c";
    char *argv[] = {m_shell.data(), dashC, line.data(), nullptr};
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, m_shell.constData(), &actions, &attributes, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    errors.closeWriteEnd();
    if (spawned != 0) {
        std::printf("Error!System :%s error!", commandLine.constData());
        std::fflush(stdout);
        return CommandResult::notStarted(QString::fromLocal8Bit(std::strerror(spawned)));
    }

    const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
    bool lost = false;
    bool ended = waitUntil(pid, pidfd, errors, Clock::now() + m_timeLimit, &lost);
    bool stopped = false;
    if (!ended) {
        stopped = true;
        std::fprintf(stderr, "servicepanel: stopped after its time limit of %lld ms: %s\n",
                     static_cast<long long>(m_timeLimit.count()), commandLine.constData());
        // The whole group: the shell and whatever it started. A stopped process gets the
        // CONT it needs to act on the TERM.
        ::kill(-pid, SIGTERM);
        ::kill(-pid, SIGCONT);
        waitUntil(pid, pidfd, errors, Clock::now() + m_grace, &lost);
        // Whoever ignored the TERM; the leader is not reaped yet, so the group is still ours.
        ::kill(-pid, SIGKILL);
        ended = waitUntil(pid, pidfd, errors, Clock::now() + m_grace, &lost);
    }
    if (pidfd >= 0)
        ::close(pidfd);
    errors.drain();

    CommandResult result;
    if (lost) {
        result.outcome = CommandResult::Outcome::Unknown;
    } else if (!ended) {
        m_leftovers << pid;
    } else {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        result = CommandResult::fromWaitStatus(status);
    }
    if (stopped)
        result = CommandResult::timedOut(m_timeLimit);
    result.errorOutput = errors.tail();
    return result;
}
