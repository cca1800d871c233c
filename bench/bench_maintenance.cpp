// Times Backup and Restore through the panel's buttons, as a technician runs them, next to
// what the technician would type instead, on the same data, taking turns; medians.
//
//   Backup    the button (the real slot, offscreen, any question confirmed) against
//             cp -a of /opt + mysqldump of appdb and Misc + sync
//   Restore   the button, from the set the panel wrote, against
//             cp -a of the set's tree + mysql < dump of both + sync, and against the same
//             after rm -rf of a tree as large as the one the button replaces
//
// The data (bench/benchdata.h): 10,000 small files and 20 MB of images in /opt, a table of
// 300,000 rows in appdb and a small Misc. The stick is a tmpfs in a private mount namespace,
// the server a throwaway MariaDB:
//
//   sh tests/mariadb-fixture.sh start /tmp/b/mariadb-fixture
//   HOME=/tmp/b/mariadb-fixture/home sh tests/mountns.sh build/qt6/bench/bench_maintenance \
//       [rounds] [files] [rows]
//   sh tests/mariadb-fixture.sh stop /tmp/b/mariadb-fixture
//
// Each turn starts from an empty stick (Backup) or the same set (Restore), cleaned and synced
// outside the timed part.
#include "bench/benchdata.h"
#include "panel/sendordertoprinter_test.h"
#include "tests/modalcloser.h"
#include "tests/systemroot.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool shell(const QString &script, const QStringList &arguments = {})
{
    return QProcess::execute(QStringLiteral("sh"),
                             QStringList{QStringLiteral("-c"), script} + arguments) == 0;
}

// Clicks `button` and returns the first line of its box ("Backup Ok", ...).
QString click(sendordertoprinter_test *panel, const char *button)
{
    ModalCloser closer;
    clickMaintenance(panel, button);
    return closer.boxes.isEmpty() ? QStringLiteral("no box")
                                  : closer.boxes.first().text.section(QLatin1Char('\n'), 0, 0);
}

struct Race
{
    const char *name;
    std::function<bool()> panel;
    std::function<bool()> typed;
    std::function<void()> between; // outside the timed part
    std::vector<double> panelTimes;
    std::vector<double> typedTimes;
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    const int files = argc > 2 ? std::max(1, atoi(argv[2])) : 10000;
    const int rows = argc > 3 ? std::max(1, atoi(argv[3])) : 300000;
    const QString problem = TestSystemRoot::namespaceProblem();
    if (!problem.isEmpty()) {
        std::fprintf(stderr, "needs a private mount namespace (tests/mountns.sh): %s\n",
                     qPrintable(problem));
        return 2;
    }
    if (!BenchData::throwawayServer()) {
        std::fprintf(stderr, "needs a throwaway server through HOME/.my.cnf\n");
        return 2;
    }
    TestSystemRoot root;
    if (!root.plugNode() || !root.mountStick() || !BenchData::makeTree(root.file("opt"), files) ||
        !BenchData::makeDatabases(rows)) {
        std::fprintf(stderr, "the data could not be made\n");
        return 1;
    }
    std::system("sync");
    auto panel = makeRootedPanel(root);
    panel->resize(800, 480);

    const QString stick = root.file("mnt/usb");
    const QString copy = stick + QStringLiteral("/typed");
    const QString restored = root.file("restored");
    const QString dump =
        QStringLiteral("mysqldump --routines --events --triggers %1 > \"$0/%1.sql\"");
    Race backup{"Backup",
                [&] { return click(panel.get(), "btn_back") == QLatin1String("Backup Ok"); },
                [&] {
                    return shell("cp -a \"$1\" \"$0\" && " + dump.arg("appdb") + " && " +
                                     dump.arg("Misc") + " && sync",
                                 {copy, root.file("opt")});
                },
                [&] { shell("rm -rf \"$0\"/* && sync", {stick}); }};
    const QString set = stick + QStringLiteral("/BackupData");
    Race restore{"Restore",
                 [&] { return click(panel.get(), "btn_reduction") == QLatin1String("Restore Ok"); },
                 [&] {
                     return shell("cp -a \"$0/opt\" \"$1\" && mysql appdb < \"$0/appdb.sql\" && "
                                  "mysql Misc < \"$0/Misc.sql\" && sync",
                                  {set, restored});
                 },
                 [&] { shell("rm -rf \"$0\" && sync", {restored}); }};
    // Restore replaces /opt: typed, the tree it replaces goes first too.
    Race replacing{"Restore, rm -rf typed too", restore.panel,
                   [&] {
                       return shell("rm -rf \"$1\" && cp -a \"$0/opt\" \"$1\" && "
                                    "mysql appdb < \"$0/appdb.sql\" && "
                                    "mysql Misc < \"$0/Misc.sql\" && sync",
                                    {set, restored});
                   },
                   [&] {
                       shell("rm -rf \"$1\" && cp -a \"$0/opt\" \"$1\" && sync", {set, restored});
                   }};

    QElapsedTimer timer;
    for (Race *race : {&backup, &restore, &replacing}) {
        race->between();
        if (race == &restore && click(panel.get(), "btn_back") != QLatin1String("Backup Ok")) {
            std::fprintf(stderr, "no set to restore from\n");
            return 1;
        }
        for (int round = 0; round < rounds; ++round) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool panelTurn = (turn + round) % 2 == 0;
                timer.start();
                const bool ok = panelTurn ? race->panel() : race->typed();
                (panelTurn ? race->panelTimes : race->typedTimes)
                    .push_back(timer.nsecsElapsed() / 1e9);
                if (!ok) {
                    std::fprintf(stderr, "%s (%s) failed\n", race->name,
                                 panelTurn ? "button" : "typed");
                    return 1;
                }
                if (race == &backup || !panelTurn)
                    race->between();
            }
        }
    }

    std::printf("data: %d files and 20 MB of images in /opt, %d rows in appdb; tmpfs stick; "
                "%d rounds\n",
                files, rows, rounds);
    QFile appdb(set + QStringLiteral("/appdb.sql"));
    std::printf("appdb.sql %.1f MB\n", double(appdb.size()) / 1e6);
    for (const Race *race : {&backup, &restore, &replacing}) {
        const double button = median(race->panelTimes);
        const double typed = median(race->typedTimes);
        std::printf("%-26s button median %6.2f s, typed median %6.2f s: %.2f times\n", race->name,
                    button, typed, button / typed);
    }
    return 0;
}
