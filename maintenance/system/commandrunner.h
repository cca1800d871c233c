#ifndef COMMANDRUNNER_H
#define COMMANDRUNNER_H

#include <QByteArray>
#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <sys/types.h>

// Runs one command line through the C library's system(); prints
// "Error!System :<command> error!" (no line end) when the shell cannot be started.
int runSystemCommand(const char *command);

// How a command line ended.
struct CommandResult
{
    enum class Outcome {
        Exited,     // ran to its end; exitStatus holds its exit status
        Signalled,  // ended by a signal that nobody here sent; signal holds it
        TimedOut,   // outlived its time limit and was stopped
        NotStarted, // no shell could be started; error holds why (0: system() gave no reason)
        Unknown,    // it ended, but its exit status could not be read (SIGCHLD ignored)
        Stopped,    // its input was cut off on purpose and the command stopped with it
    };

    Outcome outcome = Outcome::Exited;
    int exitStatus = 0;
    int signal = 0;
    std::chrono::milliseconds timeLimit{0};
    int error = 0;          // errno
    QByteArray errorOutput; // the last lines the command wrote to standard error

    bool succeeded() const { return outcome == Outcome::Exited && exitStatus == 0; }
    // The last non-empty line of the command's error output, if any.
    QString lastErrorLine() const;

    // A result from a wait status as system() and waitpid() report it.
    static CommandResult fromWaitStatus(int status);
    static CommandResult timedOut(std::chrono::milliseconds limit);
    static CommandResult notStarted(int error);
    static CommandResult stopped();
};

// What a command reads and who looks on while it runs.
struct CommandIo
{
    // Standard input, fed as the command reads it: puts at most `size` bytes into `buffer`
    // and returns how many; 0 ends the input; -1 stops the command at once, with its whole
    // group, before it can act on what it has not read to a statement's end.
    std::function<qint64(char *buffer, qint64 size)> input;
    // Called about every 100 ms while the command runs, and once when it has ended.
    std::function<void()> whileRunning;
};

class CommandRunner
{
public:
    virtual ~CommandRunner() = default;
    virtual CommandResult run(const QByteArray &commandLine) = 0;
    // As run(), with `io`. A runner that runs nothing for real (a test's) reads the input to
    // its end and then runs the line as it stands; Stopped when the input said stop.
    virtual CommandResult runWith(const QByteArray &commandLine, const CommandIo &io);
};

// The device's runner: "/bin/sh -c <line>" in a process group of its own, standard input
// from /dev/null (or fed through a pipe by runWith()), standard output and error passed on as
// system() would (standard error is also kept for the result). A command that outlives the time
// limit is stopped with its whole group: TERM first, KILL after a grace period.
class SystemCommandRunner : public CommandRunner
{
public:
    // Generous: a dump or a load of a large database on the device takes minutes, a sync
    // after a large backup onto a slow stick too. A stuck command still ends.
    static constexpr std::chrono::milliseconds defaultTimeLimit = std::chrono::minutes(15);
    static constexpr std::chrono::milliseconds defaultGrace = std::chrono::seconds(5);

    explicit SystemCommandRunner(std::chrono::milliseconds timeLimit = defaultTimeLimit,
                                 std::chrono::milliseconds grace = defaultGrace);

    void setTimeLimit(std::chrono::milliseconds limit) { m_timeLimit = limit; }
    std::chrono::milliseconds timeLimit() const { return m_timeLimit; }
    // The shell that runs the lines; only tests change it.
    void setShell(const QByteArray &shell) { m_shell = shell; }

    CommandResult run(const QByteArray &commandLine) override;
    CommandResult runWith(const QByteArray &commandLine, const CommandIo &io) override;

private:
    void reapLeftovers();

    std::chrono::milliseconds m_timeLimit;
    std::chrono::milliseconds m_grace;
    QByteArray m_shell = "/bin/sh";
    // Children that did not even end after KILL (stuck in the kernel): reaped later.
    QList<pid_t> m_leftovers;
};

#endif
