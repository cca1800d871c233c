// Times Restore through the panel's button (the check, the question answered, the one pass,
// the switch, the swap, the cleanup and "sync") next to what a technician would type instead:
// `cp -a` of the set's tree, `mysql < dump` of both dumps into dropped and made databases, and
// `sync`; and the same after `rm -rf` of the tree it replaces, which the button removes too;
// taking turns, medians of 3.
//
//   HOME=<folder with the .my.cnf of a throwaway server> \
//       sh tests/mountns.sh bench_restore [files] [rounds]
//
// Needs a private mount namespace (the stick is a tmpfs on a temporary system root) and a
// throwaway MariaDB server (tests/mariadb-fixture.sh start DIR/mariadb-fixture, then
// HOME=DIR/mariadb-fixture/home); it refuses a server whose data folder is the machine's own.
// Default: 10,000 small files and 20 MB of images in /opt, 300,000 rows in appdb.sales.
#include "benchtree.h"
#include "databasedata.h"
#include "maintenance/backup/devicebackup.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"
#include "panel/maintenancetext.h"
#include "tests/modalcloser.h"
#include "tests/mysqlclient.h"
#include "tests/systemroot.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// The benchmark's /opt: small files, and 20 MB of images, data that does not compress.
void makeDevice(const QString &opt, int files)
{
    makeTree(opt, files);
    QDir().mkpath(opt + QStringLiteral("/Brevin/images"));
    for (int i = 0; i < 20; ++i) {
        QByteArray image(1 << 20, '\0');
        QRandomGenerator::global()->fillRange(reinterpret_cast<quint32 *>(image.data()),
                                              image.size() / 4);
        QFile file(QStringLiteral("%1/Brevin/images/product-%2.png").arg(opt).arg(i));
        file.open(QIODevice::WriteOnly);
        file.write(image);
    }
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool shell(const QString &script)
{
    return QProcess::execute(QStringLiteral("sh"), {QStringLiteral("-c"), script}) == 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int files = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;
    const int rounds = argc > 2 ? QByteArray(argv[2]).toInt() : 3;
    const QString problem = TestSystemRoot::namespaceProblem();
    if (!problem.isEmpty()) {
        std::fprintf(stderr,
                     "needs a private mount namespace (%s): run it through "
                     "tests/mountns.sh\n",
                     qPrintable(problem));
        return 2;
    }
    QByteArray datadir;
    if (!sql("SELECT @@datadir;", QString(), &datadir) || datadir.startsWith("/var/lib/mysql")) {
        std::fprintf(stderr, "needs a throwaway server through HOME/.my.cnf\n");
        return 2;
    }
    TestSystemRoot root;
    if (!root.plugNode() || !root.mountStick())
        return 1;
    makeDevice(root.file(QStringLiteral("opt")), files);
    if (!makeData(300000))
        return 1;
    SystemCommandRunner runner;
    {
        DeviceBackup backup(runner, root.path());
        if (!backup.checkStick() || !backup.run()) {
            std::fprintf(stderr, "backup: %s\n",
                         qPrintable(MaintenanceText::backup(backup).join('\n')));
            return 1;
        }
    }
    std::system("sync");
    const QString set = backupFolder(root.path());
    std::printf("set: %d files in /opt, appdb.sql %.1f MB\n", files + 20,
                QFileInfo(dumpFile(root.path(), QStringLiteral("appdb"))).size() / 1e6);

    auto panel = makeRootedPanel(root, &runner);
    const QString plain = root.file(QStringLiteral("plain"));
    std::vector<double> typed;
    std::vector<double> replaced;
    std::vector<double> button;
    QElapsedTimer clock;
    for (int round = 0; round < rounds; ++round) {
        shell("rm -rf '" + plain + "' && mkdir '" + plain + "' && sync");
        clock.start();
        const bool copied = shell(
            "cp -a '" + set + "/opt' '" + plain + "/opt' && mysql -e 'drop database appdb; " +
            "drop database Misc; create database appdb; create database Misc' && mysql appdb < '" +
            set + "/appdb.sql' && mysql Misc < '" + set + "/Misc.sql' && sync");
        typed.push_back(clock.nsecsElapsed() / 1e9);
        if (!copied)
            return 1;
        // The tree the copy replaces, as the button's old tree: made before the clock starts.
        shell("rm -rf '" + plain + "' && mkdir '" + plain + "' && cp -a '" + set + "/opt' '" +
              plain + "/old' && sync");
        clock.start();
        const bool replacedAll =
            shell("rm -rf '" + plain + "/old' && cp -a '" + set + "/opt' '" + plain +
                  "/opt' && mysql -e 'drop database appdb; drop database Misc; create database " +
                  "appdb; create database Misc' && mysql appdb < '" + set +
                  "/appdb.sql' && mysql Misc " + "< '" + set + "/Misc.sql' && sync");
        replaced.push_back(clock.nsecsElapsed() / 1e9);
        if (!replacedAll)
            return 1;
        shell("rm -rf '" + plain + "' && sync");

        ModalCloser closer;
        clock.start();
        clickMaintenance(panel.get(), "btn_reduction");
        button.push_back(clock.nsecsElapsed() / 1e9);
        if (closer.boxes.size() != 1 || !closer.boxes.first().text.startsWith("Restore Ok")) {
            std::fprintf(stderr, "restore: %s\n",
                         closer.boxes.isEmpty() ? "no box" : qPrintable(closer.boxes.first().text));
            return 1;
        }
        std::printf("round %d: typed %.2f s, typed with rm -rf %.2f s, the button %.2f s\n",
                    round + 1, typed.back(), replaced.back(), button.back());
        std::fflush(stdout);
    }
    std::printf("cp -a + mysql < dump (both) + sync: median %.2f s\n", median(typed));
    std::printf("rm -rf of the old tree + the same: median %.2f s\n", median(replaced));
    std::printf("Restore through the button: median %.2f s (%.2f times the first, %.2f times the "
                "second)\n",
                median(button), median(button) / median(typed), median(button) / median(replaced));
    return 0;
}
