#include "maintenance/system/commandrunner.h"

#include "capturestdout.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

// The panel's command runner: real shells, real process groups, time limits shortened to
// fractions of a second so that a stuck command shows within the test.

using std::chrono::milliseconds;
using Outcome = CommandResult::Outcome;
Q_DECLARE_METATYPE(Outcome)

namespace {

bool processAlive(const QString &pidFile)
{
    QFile file(pidFile);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const int pid = file.readAll().trimmed().toInt();
    return pid > 0 && ::kill(pid, 0) == 0;
}

} // namespace

class tst_commandrunner : public QObject
{
    Q_OBJECT

private slots:
    void outcomes_data();
    void outcomes();
    void stuckCommandsEnd_data();
    void stuckCommandsEnd();
    void wholeGroupIsStopped();
    void backgroundProcessDoesNotHoldTheRunner();
    void shellCannotStart();
    void inputIsFedAsRead();
    void stoppedInputRunsNothingHeld();
    void commandThatStopsReadingDoesNotEndThePanel();
    void watcherIsCalledWhileRunning();
    void fakeRunnerReadsTheInput_data();
    void fakeRunnerReadsTheInput();
};

void tst_commandrunner::outcomes_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<Outcome>("outcome");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("lastError");
    QTest::newRow("success") << QByteArray("true") << Outcome::Exited << 0 << QString();
    QTest::newRow("exit status") << QByteArray("exit 3") << Outcome::Exited << 3 << QString();
    QTest::newRow("error output kept")
        << QByteArray("echo first >&2; echo 'ERROR 2002: no server' >&2; echo >&2; exit 1")
        << Outcome::Exited << 1 << "ERROR 2002: no server";
    QTest::newRow("ended by a signal")
        << QByteArray("kill -SEGV $$") << Outcome::Signalled << SIGSEGV << QString();
    QTest::newRow("redirections and chains")
        << QByteArray("echo x > /dev/null && false || exit 4") << Outcome::Exited << 4 << QString();
    // A command that asks for input gets none instead of waiting for a keyboard.
    QTest::newRow("input is /dev/null")
        << QByteArray("test \"$(readlink /proc/$$/fd/0)\" = /dev/null && cat") << Outcome::Exited
        << 0 << QString();
    QTest::newRow("own process group") << QByteArray("test \"$(cut -d' ' -f5 /proc/$$/stat)\" = $$")
                                       << Outcome::Exited << 0 << QString();
}

void tst_commandrunner::outcomes()
{
    QFETCH(QByteArray, line);
    QFETCH(Outcome, outcome);
    QFETCH(int, code);
    QFETCH(QString, lastError);
    SystemCommandRunner runner(std::chrono::seconds(60));
    const CommandResult result = runner.run(line);
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(outcome == Outcome::Signalled ? result.signal : result.exitStatus, code);
    QCOMPARE(result.succeeded(), outcome == Outcome::Exited && code == 0);
    QCOMPARE(result.lastErrorLine(), lastError);
}

void tst_commandrunner::stuckCommandsEnd_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("sleeps") << QByteArray("sleep 60");
    QTest::newRow("ignores TERM") << QByteArray("trap '' TERM; sleep 60; sleep 60");
    QTest::newRow("stopped") << QByteArray("kill -STOP $$; sleep 60");
    QTest::newRow("reads a pipe nobody writes")
        << QByteArray("mkfifo \"$TMPDIR/f\" 2>/dev/null; cat \"$TMPDIR/f\"");
}

// Whatever the command does, run() returns soon after the limit, and says why.
void tst_commandrunner::stuckCommandsEnd()
{
    QFETCH(QByteArray, line);
    QTemporaryDir dir;
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    SystemCommandRunner runner(milliseconds(300), milliseconds(300));
    QElapsedTimer clock;
    clock.start();
    const CommandResult result = runner.run(line);
    const qint64 elapsed = clock.elapsed();
    qunsetenv("TMPDIR");
    QCOMPARE(result.outcome, Outcome::TimedOut);
    // The box names the limit.
    QCOMPARE(result.timeLimit, milliseconds(300));
    QVERIFY(!result.succeeded());
    QVERIFY(elapsed >= 300);
    // A guard against a hang, not a speed goal: limit plus two grace periods is 0.9 s.
    QVERIFY2(elapsed < 10000, qPrintable(QString::number(elapsed)));
}

void tst_commandrunner::wholeGroupIsStopped()
{
    QTemporaryDir dir;
    const QString pidFile = dir.filePath("child.pid");
    SystemCommandRunner runner(milliseconds(500), milliseconds(300));
    const CommandResult result =
        runner.run("sleep 60 & echo $! > " + QFile::encodeName(pidFile) + "; trap '' TERM; wait");
    QCOMPARE(result.outcome, Outcome::TimedOut);
    QVERIFY(QFile::exists(pidFile));
    QTRY_VERIFY(!processAlive(pidFile));
}

// A process left running in the background keeps the error pipe open; the runner answers
// when the command itself has ended, as system() does.
void tst_commandrunner::backgroundProcessDoesNotHoldTheRunner()
{
    QTemporaryDir dir;
    const QString pidFile = dir.filePath("child.pid");
    SystemCommandRunner runner(std::chrono::seconds(30));
    QElapsedTimer clock;
    clock.start();
    const CommandResult result =
        runner.run("sleep 60 & echo $! > " + QFile::encodeName(pidFile) + "; exit 0");
    QVERIFY2(clock.elapsed() < 10000, "waited for the background process");
    QVERIFY(result.succeeded());
    QFile file(pidFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const int pid = file.readAll().trimmed().toInt();
    QVERIFY(pid > 0);
    ::kill(pid, SIGKILL);
}

void tst_commandrunner::shellCannotStart()
{
#ifdef PANEL_TEST_EMULATOR
    // qemu-user runs the child's exec itself and does not hand its failure back to QProcess.
    QSKIP("qemu-user reports a failed exec as a started program");
#endif
    SystemCommandRunner runner;
    runner.setShell("/nonexistent/sh");
    CommandResult result;
    const QByteArray printed = captureStdout([&] { result = runner.run("true"); });
    QCOMPARE(result.outcome, Outcome::NotStarted);
    QVERIFY(!result.succeeded());
    QCOMPARE(printed, QByteArray("Error!System :true error!"));
    QCOMPARE(result.error, ENOENT);
}

namespace {

// `total` bytes of a repeating pattern, handed out in whatever pieces the runner asks for.
struct PatternInput
{
    qint64 total = 0;
    qint64 given = 0;
    qint64 stopAt = -1; // -1 at this offset instead of more bytes
    qint64 operator()(char *buffer, qint64 size)
    {
        if (stopAt >= 0 && given >= stopAt)
            return -1;
        qint64 n = qMin(size, total - given);
        if (stopAt >= 0)
            n = qMin(n, stopAt - given);
        for (qint64 i = 0; i < n; ++i)
            buffer[i] = char('a' + (given + i) % 26);
        given += n;
        return n;
    }
};

} // namespace

// Many megabytes, more than any pipe holds, reach the command whole and in order.
void tst_commandrunner::inputIsFedAsRead()
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    auto pattern = std::make_shared<PatternInput>();
    pattern->total = 24 * 1024 * 1024 + 7;
    CommandIo io;
    io.input = [pattern](char *buffer, qint64 size) { return (*pattern)(buffer, size); };
    SystemCommandRunner runner(std::chrono::seconds(60));
    const CommandResult result = runner.runWith("cat > " + QFile::encodeName(out), io);
    QVERIFY2(result.succeeded(), qPrintable(result.lastErrorLine()));
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.size(), pattern->total);
    const QByteArray head = file.read(52);
    QCOMPARE(head, QByteArray("abcdefghijklmnopqrstuvwxyzabcdefghijklmnopqrstuvwxyz"));
    file.seek(pattern->total - 1);
    QCOMPARE(file.read(1), QByteArray(1, char('a' + (pattern->total - 1) % 26)));
}

// A feed that says stop must not become an end of input: a client holding a statement that
// is not yet whole would run it at the end of its input.
void tst_commandrunner::stoppedInputRunsNothingHeld()
{
    QTemporaryDir dir;
    const QString out = dir.filePath("out");
    const QByteArray line = "read -r held; printf '%s' \"$held\" > " + QFile::encodeName(out);
    int calls = 0;
    CommandIo io;
    io.input = [&calls](char *buffer, qint64) -> qint64 {
        if (calls++ > 0)
            return -1;
        buffer[0] = 'x';
        return 1;
    };
    SystemCommandRunner runner(std::chrono::seconds(30));
    QElapsedTimer clock;
    clock.start();
    const CommandResult result = runner.runWith(line, io);
    QCOMPARE(result.outcome, Outcome::Stopped);
    QVERIFY(!result.succeeded());
    QVERIFY2(clock.elapsed() < 10000, "waited for the time limit");
    QVERIFY2(!QFile::exists(out), "the command acted on what it held");

    // The same feed ending instead: the held line is acted on, which is what stop prevents.
    calls = 0;
    io.input = [&calls](char *buffer, qint64) -> qint64 {
        if (calls++ > 0)
            return 0;
        buffer[0] = 'x';
        return 1;
    };
    QVERIFY(runner.runWith(line, io).succeeded());
    QFile file(out);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("x"));
}

// A command that reads a little and ends leaves the rest unread: EPIPE for the runner,
// never SIGPIPE for the panel.
void tst_commandrunner::commandThatStopsReadingDoesNotEndThePanel()
{
    auto pattern = std::make_shared<PatternInput>();
    pattern->total = 16 * 1024 * 1024;
    CommandIo io;
    io.input = [pattern](char *buffer, qint64 size) { return (*pattern)(buffer, size); };
    SystemCommandRunner runner(std::chrono::seconds(30));
    const CommandResult result = runner.runWith("head -c 10 > /dev/null", io);
    QVERIFY2(result.succeeded(), qPrintable(result.lastErrorLine()));
    QVERIFY(pattern->given < pattern->total);
}

void tst_commandrunner::watcherIsCalledWhileRunning()
{
    int calls = 0;
    CommandIo io;
    io.whileRunning = [&calls] { ++calls; };
    SystemCommandRunner runner(std::chrono::seconds(30));
    QVERIFY(runner.runWith("sleep 0.6", io).succeeded());
    // About every 100 ms, and once at the end; a loaded machine may wake it less often.
    QVERIFY2(calls >= 3, qPrintable(QString::number(calls)));
}

void tst_commandrunner::fakeRunnerReadsTheInput_data()
{
    QTest::addColumn<qint64>("stopAt");
    QTest::addColumn<bool>("runs");
    QTest::newRow("whole input") << qint64(-1) << true;
    QTest::newRow("input stopped") << qint64(100000) << false;
}

// A test's runner runs nothing, but what feeds the input (a checksum, a vetting) still sees
// every byte, and a stop still stops.
void tst_commandrunner::fakeRunnerReadsTheInput()
{
    QFETCH(qint64, stopAt);
    QFETCH(bool, runs);
    struct Fake : CommandRunner
    {
        QList<QByteArray> lines;
        CommandResult run(const QByteArray &line) override
        {
            lines << line;
            return CommandResult();
        }
    } fake;
    auto pattern = std::make_shared<PatternInput>();
    pattern->total = 1000000;
    pattern->stopAt = stopAt;
    CommandIo io;
    io.input = [pattern](char *buffer, qint64 size) { return (*pattern)(buffer, size); };
    const CommandResult result = fake.runWith("mysql appdb", io);
    QCOMPARE(result.succeeded(), runs);
    QCOMPARE(fake.lines.size(), runs ? 1 : 0);
    QCOMPARE(pattern->given, runs ? pattern->total : stopAt);
}

QTEST_MAIN(tst_commandrunner)
#include "tst_commandrunner.moc"
