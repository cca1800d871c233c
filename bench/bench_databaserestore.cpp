// Times the database part of Restore (DatabaseRestore: vetting, the proof load in a scratch
// database, saving the live data, the live load) next to a plain `mysql < dump` of both
// dumps, taking turns; medians of 3.
//
//   HOME=<folder with .my.cnf of a throwaway server> bench_databaserestore [rows]
//
// Needs a throwaway MariaDB server (tests/mariadb-fixture.sh start DIR/mariadb-fixture, then
// HOME=DIR/mariadb-fixture/home); it refuses a server whose data folder is the machine's own.
// Default: 300,000 rows in appdb.sales, 100 in Misc.settings.
#include "maintenance/system/commandrunner.h"
#include "maintenance/database/databaserestore.h"
#include "bench/benchdata.h"

#include <QCoreApplication>
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
        DatabaseRestore restore(runner, device.path());
        restore.addDatabase(QStringLiteral("appdb"), appdb);
        restore.addDatabase(QStringLiteral("Misc"), misc);
        const bool done = restore.prepare() && restore.replace();
        panel.push_back(clock.nsecsElapsed() / 1e9);
        if (!done) {
            std::fprintf(stderr, "%s\n", qPrintable(restore.problems().join('\n')));
            return 1;
        }
    }
    std::printf("plain mysql < dump, both: median %.2f s\n", median(plain));
    std::printf("DatabaseRestore prepare + replace: median %.2f s (%.2f times the plain load)\n",
                median(panel), median(panel) / median(plain));
    return 0;
}
