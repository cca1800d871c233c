#include "maintenance/system/commandrunner.h"

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
#include <vector>

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
// How often CommandIo::whileRunning is called.
const int watchSliceMs = 100;

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

// The child's standard input, fed from CommandIo::input through a pipe as it reads.
class InputPipe
{
public:
    explicit InputPipe(const CommandIo *io) : m_io(io)
    {
        if (!io || !io->input)
            return;
        if (::pipe2(m_fds, O_CLOEXEC) != 0) {
            m_fds[0] = m_fds[1] = -1;
            return;
        }
        ::fcntl(m_fds[1], F_SETFL, ::fcntl(m_fds[1], F_GETFL) | O_NONBLOCK);
        // Fewer wake-ups for a dump of many megabytes; the default size works too.
        ::fcntl(m_fds[1], F_SETPIPE_SZ, 1024 * 1024);
    }
    ~InputPipe()
    {
        closeReadEnd();
        closeWriteEnd();
    }
    bool isWanted() const { return m_io && m_io->input; }
    bool isValid() const { return !isWanted() || m_fds[0] >= 0; }
    int readEnd() const { return m_fds[0]; }
    int writeEnd() const { return m_fds[1]; }
    bool stopWanted() const { return m_stop; }
    void closeReadEnd()
    {
        if (m_fds[0] >= 0)
            ::close(m_fds[0]);
        m_fds[0] = -1;
    }
    void closeWriteEnd()
    {
        if (m_fds[1] >= 0)
            ::close(m_fds[1]);
        m_fds[1] = -1;
    }

    // Writes what the pipe takes now. A command that ends early (or closes its input) gets
    // no more: EPIPE, not SIGPIPE, which would end the panel.
    void pump()
    {
        if (m_stop)
            return;
        sigset_t pipeSignal;
        sigset_t previous;
        sigemptyset(&pipeSignal);
        sigaddset(&pipeSignal, SIGPIPE);
        ::pthread_sigmask(SIG_BLOCK, &pipeSignal, &previous);
        while (m_fds[1] >= 0) {
            if (m_offset == m_pending.size()) {
                m_pending.resize(chunkBytes);
                const qint64 got = m_io->input(m_pending.data(), chunkBytes);
                if (got < 0) {
                    // The pipe stays open: an end of input would let the command run the
                    // statement it holds.
                    m_stop = true;
                    m_pending.clear();
                    m_offset = 0;
                    break;
                }
                m_pending.resize(int(got));
                m_offset = 0;
                if (got == 0) {
                    closeWriteEnd();
                    break;
                }
            }
            const ssize_t written = ::write(m_fds[1], m_pending.constData() + m_offset,
                                            size_t(m_pending.size() - m_offset));
            if (written < 0 && errno == EINTR)
                continue;
            if (written < 0 && errno == EAGAIN)
                break;
            if (written <= 0) {
                if (errno == EPIPE) {
                    const timespec now = {0, 0};
                    ::sigtimedwait(&pipeSignal, nullptr, &now);
                }
                closeWriteEnd();
                break;
            }
            m_offset += int(written);
        }
        ::pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

private:
    static constexpr qint64 chunkBytes = 256 * 1024;
    const CommandIo *m_io = nullptr;
    int m_fds[2] = {-1, -1};
    QByteArray m_pending;
    int m_offset = 0;
    bool m_stop = false;
};

// The child may not have made its group yet where spawning does not wait for the exec
// (qemu-user forks instead): then it has started nothing else and is reached by its id.
void killGroup(pid_t pid, int signalNumber)
{
    ::kill(-pid, signalNumber);
    ::kill(pid, signalNumber);
}

// Waits until the child ends or the deadline passes, passing its error output on and
// feeding its input meanwhile. Returns early, the child still running, when the input
// says stop.
bool waitUntil(pid_t pid, int pidfd, ErrorPipe &errors, InputPipe &input, const CommandIo *io,
               Clock::time_point deadline, bool *lost)
{
    const bool watched = io && io->whileRunning;
    auto nextLook = Clock::now() + milliseconds(watchSliceMs);
    for (;;) {
        if (hasEnded(pid, lost))
            return true;
        if (io && input.stopWanted())
            return false;
        const auto now = Clock::now();
        if (now >= deadline)
            return false;
        if (watched && now >= nextLook) {
            io->whileRunning();
            nextLook = now + milliseconds(watchSliceMs);
        }
        long long slice = std::chrono::duration_cast<milliseconds>(deadline - now).count() + 1;
        if (pidfd < 0)
            slice = std::min<long long>(slice, pollSliceMs);
        if (watched)
            slice = std::min<long long>(slice, watchSliceMs);
        slice = std::min<long long>(slice, 60000);
        pollfd fds[3];
        nfds_t count = 0;
        int errorsAt = -1;
        int inputAt = -1;
        if (errors.readEnd() >= 0) {
            errorsAt = int(count);
            fds[count++] = {errors.readEnd(), POLLIN, 0};
        }
        if (input.writeEnd() >= 0) {
            inputAt = int(count);
            fds[count++] = {input.writeEnd(), POLLOUT, 0};
        }
        if (pidfd >= 0)
            fds[count++] = {pidfd, POLLIN, 0};
        const int ready = ::poll(fds, count, int(slice));
        if (ready <= 0)
            continue;
        if (errorsAt >= 0 && fds[errorsAt].revents != 0)
            errors.readSome();
        if (inputAt >= 0 && fds[inputAt].revents != 0)
            input.pump();
    }
}

} // namespace

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

CommandResult CommandResult::stopped()
{
    CommandResult result;
    result.outcome = Outcome::Stopped;
    return result;
}

CommandResult CommandRunner::runWith(const QByteArray &commandLine, const CommandIo &io)
{
    if (io.input) {
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            const qint64 got = io.input(buffer.data(), qint64(buffer.size()));
            if (got < 0)
                return CommandResult::stopped();
            if (got == 0)
                break;
        }
    }
    const CommandResult result = run(commandLine);
    if (io.whileRunning)
        io.whileRunning();
    return result;
}

CommandResult CommandResult::notStarted(int error)
{
    CommandResult result;
    result.outcome = Outcome::NotStarted;
    result.error = error;
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
    return runWith(commandLine, CommandIo());
}

CommandResult SystemCommandRunner::runWith(const QByteArray &commandLine, const CommandIo &io)
{
    reapLeftovers();
    ErrorPipe errors;
    InputPipe input(&io);
    if (!errors.isValid() || !input.isValid())
        return CommandResult::notStarted(errno);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // A command that asks for input must not wait for a technician who cannot type.
    if (input.isWanted())
        posix_spawn_file_actions_adddup2(&actions, input.readEnd(), STDIN_FILENO);
    else
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
    input.closeReadEnd();
    if (spawned != 0) {
        std::printf("Error!System :%s error!", commandLine.constData());
        std::fflush(stdout);
        return CommandResult::notStarted(spawned);
    }

    const int pidfd = int(::syscall(SYS_pidfd_open, pid, 0));
    bool lost = false;
    bool ended = waitUntil(pid, pidfd, errors, input, &io, Clock::now() + m_timeLimit, &lost);
    bool stopped = false;
    const bool cutOff = input.stopWanted();
    if (cutOff && !ended) {
        // Nothing of a statement it has not read to its end may run: no TERM, no grace.
        killGroup(pid, SIGKILL);
        input.closeWriteEnd();
        ended = waitUntil(pid, pidfd, errors, input, nullptr, Clock::now() + m_grace, &lost);
    } else if (!ended) {
        stopped = true;
        std::fprintf(stderr, "servicepanel: stopped after its time limit of %lld ms: %s\n",
                     static_cast<long long>(m_timeLimit.count()), commandLine.constData());
        // The whole group: the shell and whatever it started. A stopped process gets the
        // CONT it needs to act on the TERM.
        killGroup(pid, SIGTERM);
        killGroup(pid, SIGCONT);
        input.closeWriteEnd();
        waitUntil(pid, pidfd, errors, input, nullptr, Clock::now() + m_grace, &lost);
        // Whoever ignored the TERM; the leader is not reaped yet, so the group is still ours.
        killGroup(pid, SIGKILL);
        ended = waitUntil(pid, pidfd, errors, input, nullptr, Clock::now() + m_grace, &lost);
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
    else if (cutOff)
        result = CommandResult::stopped();
    result.errorOutput = errors.tail();
    if (io.whileRunning)
        io.whileRunning();
    return result;
}
