#ifndef OWNPROGRAM_H
#define OWNPROGRAM_H

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

// One of the programs this build made (the panel, the printer simulator), run as a child
// process with its standard output (and, unless forwarded, its standard error) in files.
// It forks and execs rather than using QProcess: a cross build's tests run under qemu-user,
// which refuses the clone flags QProcess starts its children with (CLONE_PIDFD). There, the
// program is started through the same emulator.
class OwnProgram
{
public:
    enum ErrorOutput { CaptureErrors, ForwardErrors };

    explicit OwnProgram(ErrorOutput errors = CaptureErrors) : m_errors(errors) {}
    ~OwnProgram() { kill(); }
    OwnProgram(const OwnProgram &) = delete;
    OwnProgram &operator=(const OwnProgram &) = delete;

    // False when the program cannot be started.
    bool start(const QString &program, const QStringList &arguments,
               const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        kill();
        m_finished = false;
        m_status = 0;
        QStringList command{program};
#ifdef PANEL_TEST_EMULATOR
        command.prepend(QStringLiteral(PANEL_TEST_EMULATOR));
#endif
        command += arguments;

        // Everything the child needs is made before the fork: after it, only system calls.
        std::vector<QByteArray> argumentData, environmentData;
        for (const QString &argument : command)
            argumentData.push_back(QFile::encodeName(argument));
        for (const QString &entry : environment.toStringList())
            environmentData.push_back(entry.toLocal8Bit());
        std::vector<char *> argv, envp;
        for (QByteArray &argument : argumentData)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        for (QByteArray &entry : environmentData)
            envp.push_back(entry.data());
        envp.push_back(nullptr);
        const QByteArray outPath = QFile::encodeName(m_dir.filePath(QStringLiteral("out")));
        const QByteArray errPath = QFile::encodeName(m_dir.filePath(QStringLiteral("err")));
        const int out = ::open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        const int err = ::open(errPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        int report[2];
        if (out < 0 || err < 0 || ::pipe2(report, O_CLOEXEC) != 0) {
            closeAll({out, err});
            return false;
        }

        m_pid = ::fork();
        if (m_pid == 0) {
            const int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
            if (in < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
                (m_errors == CaptureErrors && ::dup2(err, 2) < 0)) {
                childFailed(report[1]);
            }
            ::execve(argv[0], argv.data(), envp.data());
            childFailed(report[1]);
        }
        closeAll({out, err, report[1]});
        if (m_pid < 0) {
            ::close(report[0]);
            return false;
        }
        // The report pipe closes unread when exec succeeds.
        int childErrno = 0;
        ssize_t got;
        do {
            got = ::read(report[0], &childErrno, sizeof childErrno);
        } while (got < 0 && errno == EINTR);
        ::close(report[0]);
        if (got > 0) {
            waitForFinished(5000);
            m_pid = -1;
            return false;
        }
        return true;
    }

    // Waits for the first line of standard output and returns it without its line end;
    // empty when none comes in time.
    QByteArray waitForFirstLine(int msecs)
    {
        QElapsedTimer timer;
        timer.start();
        for (;;) {
            const QByteArray output = readAllStandardOutput();
            const int end = output.indexOf('\n');
            if (end >= 0)
                return output.left(end);
            if (timer.elapsed() > msecs || !isRunning())
                return {};
            QThread::msleep(10);
        }
    }

    pid_t pid() const
    {
        return m_pid;
    }

    bool isRunning()
    {
        reap(WNOHANG);
        return m_pid > 0 && !m_finished;
    }

    bool waitForFinished(int msecs)
    {
        QElapsedTimer timer;
        timer.start();
        while (isRunning()) {
            if (timer.elapsed() > msecs)
                return false;
            QThread::msleep(5);
        }
        return m_finished;
    }

    bool exitedNormally() const
    {
        return m_finished && WIFEXITED(m_status);
    }
    int exitCode() const
    {
        return WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
    }

    QByteArray readAllStandardOutput() const
    {
        return readFile(QStringLiteral("out"));
    }
    QByteArray readAllStandardError() const
    {
        return readFile(QStringLiteral("err"));
    }

    // SIGTERM, then up to five seconds for the program to end; SIGKILL after that.
    void terminate()
    {
        if (!isRunning())
            return;
        ::kill(m_pid, SIGTERM);
        if (!waitForFinished(5000))
            kill();
    }

    void kill()
    {
        if (!isRunning())
            return;
        ::kill(m_pid, SIGKILL);
        reap(0);
    }

private:
    [[noreturn]] static void childFailed(int report)
    {
        const int error = errno;
        [[maybe_unused]] ssize_t written = ::write(report, &error, sizeof error);
        ::_exit(127);
    }

    static void closeAll(std::initializer_list<int> descriptors)
    {
        for (const int descriptor : descriptors) {
            if (descriptor >= 0)
                ::close(descriptor);
        }
    }

    void reap(int options)
    {
        if (m_pid <= 0 || m_finished)
            return;
        int status = 0;
        pid_t done;
        do {
            done = ::waitpid(m_pid, &status, options);
        } while (done < 0 && errno == EINTR);
        if (done == m_pid) {
            m_finished = true;
            m_status = status;
        }
    }

    QByteArray readFile(const QString &name) const
    {
        QFile file(m_dir.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    ErrorOutput m_errors;
    QTemporaryDir m_dir;
    pid_t m_pid = -1;
    bool m_finished = false;
    int m_status = 0;
};

#endif
