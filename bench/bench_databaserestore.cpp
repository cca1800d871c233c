// Times the database part of Restore (DatabaseRestore: each dump streamed once through its
// SHA-256 and the vetter into its staging database, the definitions kept for the way back,
// the switch by renames, the old data dropped) next to a plain `mysql < dump` of both dumps,
// taking turns; medians of 3.
//
//   HOME=<folder with .my.cnf of a throwaway server> bench_databaserestore [rows]
//
// Needs a throwaway MariaDB server (tests/mariadb-fixture.sh start DIR/mariadb-fixture, then
// HOME=DIR/mariadb-fixture/home); it refuses a server whose data folder is the machine's own.
// Default: 300,000 rows in appdb.sales, 100 in Misc.settings.
#include "bench/benchdata.h"
#include "maintenance/database/databaserestore.h"
#include "maintenance/system/commandrunner.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

bool dumpTo(const QString &database, const QString &path)
{
    return QProcess::execute(QStringLiteral("sh"),
                             {QStringLiteral("-c"),
                              QStringLiteral("mysqldump --routines --events --triggers %1 > %2")
                                  .arg(database, path)}) == 0;
}

// A dump as the manifest describes it.
struct Vouched
{
    QString path;
    QByteArray sha256;
    qint64 size = 0;
};

Vouched vouched(const QString &path)
{
    Vouched dump;
    dump.path = path;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        hash.addData(&file);
        dump.sha256 = hash.result().toHex();
        dump.size = file.size();
    }
    return dump;
}

// The time of each phase of the last round.
QStringList phases;

bool timed(const char *phase, const std::function<bool()> &step)
{
    QElapsedTimer clock;
    clock.start();
    const bool done = step();
    phases << QStringLiteral("%1 %2 s")
                  .arg(QLatin1String(phase))
                  .arg(clock.nsecsElapsed() / 1e9, 0, 'f', 2);
    return done;
}

// The database part of a restore, as DeviceRestore runs it (without its journal).
bool restoreBoth(DatabaseRestore &restore, const Vouched &appdb, const Vouched &misc)
{
    phases.clear();
    return timed("begin", [&] { return restore.begin() && restore.makeStaging(); }) &&
           timed("load appdb",
                 [&] {
                     return restore.load(QStringLiteral("appdb"), appdb.path, appdb.sha256,
                                         appdb.size);
                 }) &&
           timed("load Misc",
                 [&] {
                     return restore.load(QStringLiteral("Misc"), misc.path, misc.sha256, misc.size);
                 }) &&
           timed("prepare the switch", [&] { return restore.prepareSwitch(); }) &&
           timed("switch",
                 [&] {
                     return restore.switchForward(QStringLiteral("appdb")) &&
                            restore.switchForward(QStringLiteral("Misc"));
                 }) &&
           timed("finish", [&] { return restore.finish(); });
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 300000;
    if (!BenchData::throwawayServer()) {
        std::fprintf(stderr, "needs a throwaway server through HOME/.my.cnf\n");
        return 2;
    }
    QTemporaryDir stick;
    QTemporaryDir device;
    if (!BenchData::makeDatabases(rows))
        return 1;
    const QString appdb = stick.filePath(QStringLiteral("appdb.sql"));
    const QString misc = stick.filePath(QStringLiteral("Misc.sql"));
    if (!dumpTo(QStringLiteral("appdb"), appdb) || !dumpTo(QStringLiteral("Misc"), misc))
        return 1;
    std::printf("appdb.sql %.1f MB, %d rows\n", QFile(appdb).size() / 1e6, rows);

    const Vouched appdbDump = vouched(appdb);
    const Vouched miscDump = vouched(misc);
    SystemCommandRunner runner;
    std::vector<double> plain;
    std::vector<double> panel;
    QElapsedTimer clock;
    for (int round = 0; round < 3; ++round) {
        clock.start();
        const int status = QProcess::execute(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("mysql -e 'drop database appdb; drop database Misc; create database "
                            "appdb; create database Misc' && mysql appdb < %1 && mysql Misc < "
                            "%2")
                 .arg(appdb, misc)});
        plain.push_back(clock.nsecsElapsed() / 1e9);
        if (status != 0)
            return 1;

        clock.start();
        DatabaseRestore restore(runner, device.path(),
                                {QStringLiteral("appdb"), QStringLiteral("Misc")});
        const bool done = restoreBoth(restore, appdbDump, miscDump);
        panel.push_back(clock.nsecsElapsed() / 1e9);
        if (!done) {
            for (const JobProblem &problem : restore.problems())
                std::fprintf(stderr, "problem %d: %s outcome %d status %d %s\n", int(problem.kind),
                             qPrintable(problem.name), int(problem.result.outcome),
                             problem.result.exitStatus, qPrintable(problem.result.lastErrorLine()));
            return 1;
        }
    }
    std::printf("last round: %s\n", qPrintable(phases.join(QStringLiteral(", "))));
    std::printf("plain mysql < dump, both: median %.2f s\n", median(plain));
    std::printf("DatabaseRestore (staged, switched): median %.2f s (%.2f times the plain load)\n",
                median(panel), median(panel) / median(plain));
    return 0;
}
