// A restore that dies where it is told to, for tst_restorekill: it runs Restore's check and
// the restore through the engine alone, as the panel would, and kills itself (SIGKILL, as a
// power loss would stop it) at the point given:
//
//   restorechild ROOT none           runs to the end; prints "commands N journal M"
//   restorechild ROOT command:N      just before the Nth command starts
//   restorechild ROOT journal:N      just after the Nth write of the journal
//   restorechild ROOT load:DB:K      once K bytes of DB's dump have gone to the client
//   restorechild ROOT tree:K         once K bytes of the tree are restored
//
// Exit status: 0 restored, 1 failed, 2 bad arguments, 3 the set was refused.
#include "maintenance/restore/devicerestore.h"
#include "maintenance/system/commandrunner.h"

#include <QCoreApplication>
#include <QStringList>

#include <csignal>
#include <cstdio>

namespace {

struct KillPoint
{
    QByteArray kind;
    QByteArray database;
    qint64 at = 0;
};

[[noreturn]] void die()
{
    std::fflush(stdout);
    ::raise(SIGKILL);
    std::abort();
}

// Runs every command for real, and dies where it is told to.
class DyingRunner : public CommandRunner
{
public:
    DyingRunner(CommandRunner &real, const KillPoint &point) : m_real(real), m_point(point) {}
    CommandResult run(const QByteArray &commandLine) override
    {
        return runWith(commandLine, CommandIo());
    }
    CommandResult runWith(const QByteArray &commandLine, const CommandIo &io) override
    {
        ++commands;
        if (m_point.kind == "command" && commands == m_point.at)
            die();
        if (m_point.kind != "load" || !io.input)
            return m_real.runWith(commandLine, io);
        // A load of the dump of that database: its session starts with a USE of its staging
        // database.
        const QByteArray staging = "`servicepanel_new_" + m_point.database + "`;";
        qint64 fed = 0;
        bool started = false;
        CommandIo dying = io;
        dying.input = [&](char *buffer, qint64 size) {
            const qint64 got = io.input(buffer, size);
            if (fed == 0 && got > 0)
                started = QByteArray(buffer, int(got)).startsWith("SET ROLE") &&
                          QByteArray(buffer, int(got)).contains(staging);
            fed += qMax<qint64>(got, 0);
            if (started && fed >= m_point.at)
                die();
            return got;
        };
        return m_real.runWith(commandLine, dying);
    }

    int commands = 0;

private:
    CommandRunner &m_real;
    KillPoint m_point;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() != 3)
        return 2;
    const QList<QByteArray> spec = arguments.at(2).toLatin1().split(':');
    KillPoint point;
    point.kind = spec.value(0);
    point.database = spec.size() == 3 ? spec.value(1) : QByteArray();
    point.at = spec.last().toLongLong();
    if (point.kind != "none" && point.at <= 0)
        return 2;

    SystemCommandRunner system;
    DyingRunner runner(system, point);
    DeviceRestore restore(runner, arguments.at(1));
    int journals = 0;
    restore.recorded = [&](const RestoreJournal::State &) {
        if (point.kind == "journal" && ++journals == point.at)
            die();
        if (point.kind != "journal")
            ++journals;
    };
    restore.progress = [&](const JobProgress &progress) {
        if (point.kind == "tree" && progress.step == JobProgress::Step::RestoringTree &&
            progress.done >= point.at)
            die();
    };
    if (restore.check() == DeviceRestore::Verdict::Refused) {
        for (const JobProblem &problem : restore.problems())
            std::printf("refused: %d %s\n", int(problem.kind), problem.path.constData());
        return 3;
    }
    const bool restored = restore.restore();
    for (const JobProblem &problem : restore.problems())
        std::printf("problem: %d %s %s\n", int(problem.kind), qPrintable(problem.name),
                    qPrintable(problem.result.lastErrorLine()));
    std::printf("commands %d journal %d\n", runner.commands, journals);
    return restored ? 0 : 1;
}
