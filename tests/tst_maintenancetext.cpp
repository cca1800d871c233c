#include "maintenance/system/commandrunner.h"
#include "maintenance/system/pathcheck.h"
#include "panel/maintenancetext.h"

#include <QtTest>

#include <cerrno>
#include <csignal>
#include <chrono>

Q_DECLARE_METATYPE(CommandResult)

// How the panel words what the engine reports: how a command ended, and why a folder was
// refused.
class tst_maintenancetext : public QObject
{
    Q_OBJECT

private slots:
    void commandOutcome_data();
    void commandOutcome();
    void commandReason_data();
    void commandReason();
    void commandLine_data();
    void commandLine();
    void pathProblem_data();
    void pathProblem();
};

namespace {

using Outcome = CommandResult::Outcome;
using std::chrono::milliseconds;

CommandResult result(Outcome outcome)
{
    CommandResult made;
    made.outcome = outcome;
    return made;
}

CommandResult exited(int status)
{
    CommandResult made;
    made.exitStatus = status;
    return made;
}

CommandResult signalled(int number)
{
    CommandResult made = result(Outcome::Signalled);
    made.signal = number;
    return made;
}

CommandResult notStarted(int error)
{
    return CommandResult::notStarted(error);
}

CommandResult withErrors(CommandResult made, const QByteArray &errors)
{
    made.errorOutput = errors;
    return made;
}

} // namespace

void tst_maintenancetext::commandOutcome_data()
{
    QTest::addColumn<CommandResult>("result");
    QTest::addColumn<QString>("text");

    QTest::newRow("exit status 0") << exited(0) << "exit status 0";
    QTest::newRow("exit status 1") << exited(1) << "exit status 1";
    QTest::newRow("signal") << signalled(SIGKILL) << "ended by signal 9 (Killed)";
    QTest::newRow("limit in minutes") << CommandResult::timedOut(milliseconds(15 * 60 * 1000))
                                      << "stopped after its time limit of 15 min";
    QTest::newRow("limit in seconds") << CommandResult::timedOut(milliseconds(90 * 1000))
                                      << "stopped after its time limit of 90 s";
    QTest::newRow("limit in milliseconds")
        << CommandResult::timedOut(milliseconds(250)) << "stopped after its time limit of 250 ms";
    QTest::newRow("no exit status") << result(Outcome::Unknown) << "ended without an exit status";
    QTest::newRow("input stopped")
        << CommandResult::stopped() << "stopped before it had read all of its input";
    QTest::newRow("no shell") << CommandResult::fromWaitStatus(-1)
                              << "could not be started: no shell";
    QTest::newRow("shell missing")
        << notStarted(ENOENT) << "could not be started: No such file or directory";
    QTest::newRow("no pipe") << notStarted(EMFILE) << "could not be started: Too many open files";
}

void tst_maintenancetext::commandOutcome()
{
    QFETCH(CommandResult, result);
    QFETCH(QString, text);
    QCOMPARE(MaintenanceText::commandOutcome(result), text);
}

void tst_maintenancetext::commandReason_data()
{
    QTest::addColumn<CommandResult>("result");
    QTest::addColumn<QString>("text");

    QTest::newRow("nothing on standard error") << exited(1) << "exit status 1";
    QTest::newRow("the last line that says something")
        << withErrors(exited(1), "ERROR 1045: denied\nERROR 2002: no server\n\n  \n")
        << "exit status 1: ERROR 2002: no server";
    QTest::newRow("a limit and a message")
        << withErrors(CommandResult::timedOut(milliseconds(5000)), "waiting\n")
        << "stopped after its time limit of 5 s: waiting";
}

void tst_maintenancetext::commandReason()
{
    QFETCH(CommandResult, result);
    QFETCH(QString, text);
    QCOMPARE(MaintenanceText::commandReason(result), text);
}

void tst_maintenancetext::commandLine_data()
{
    QTest::addColumn<CommandResult>("result");
    QTest::addColumn<QString>("text");

    QTest::newRow("exit status: the line alone") << exited(2) << "sync";
    QTest::newRow("limit: the line and why") << CommandResult::timedOut(milliseconds(60000))
                                             << "sync: stopped after its time limit of 1 min";
    QTest::newRow("signal: the line and why")
        << signalled(SIGTERM) << "sync: ended by signal 15 (Terminated)";
}

void tst_maintenancetext::commandLine()
{
    QFETCH(CommandResult, result);
    QFETCH(QString, text);
    QCOMPARE(MaintenanceText::commandLine("sync", result), text);
}

void tst_maintenancetext::pathProblem_data()
{
    using K = PathCheck::Kind;
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");

    QTest::newRow("allowed") << int(K::Allowed) << "";
    QTest::newRow("empty") << int(K::Empty) << "no folder given";
    QTest::newRow("relative") << int(K::NotAbsolute) << "/a/b is not an absolute path";
    QTest::newRow("control character")
        << int(K::ControlCharacter) << "/a/b holds a control character";
    QTest::newRow("not clean") << int(K::NotClean) << "/a/b is not a clean path";
    QTest::newRow("unresolvable") << int(K::Unresolvable) << "/a/b cannot be resolved";
    QTest::newRow("root folder") << int(K::RootFolder) << "/a/b is the root folder";
    QTest::newRow("root unusable")
        << int(K::RootUnusable) << "the system root /tmp/root is not usable";
    QTest::newRow("outside the root")
        << int(K::OutsideRoot) << "/a/b is not inside the system root /tmp/root";
}

void tst_maintenancetext::pathProblem()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    PathCheck check;
    check.kind = PathCheck::Kind(kind);
    check.ok = check.kind == PathCheck::Kind::Allowed;
    check.path = QStringLiteral("/a/b");
    check.root = QStringLiteral("/tmp/root");
    QCOMPARE(MaintenanceText::pathProblem(check), text);
}

QTEST_GUILESS_MAIN(tst_maintenancetext)
#include "tst_maintenancetext.moc"
