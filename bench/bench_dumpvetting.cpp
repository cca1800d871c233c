// Throughput of the dump vetter on a mysqldump-like dump of a large table, fed in the
// blocks a stick is read in: median of 3 runs.
// Usage: bench_dumpvetting [megabytes] [dump.sql]   (a given dump is vetted as appdb's)
#include "maintenance/database/dumpvetting.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

static QByteArray makeDump(qint64 megabytes)
{
    QByteArray dump =
        "-- MariaDB dump 10.19  Distrib 10.11.19-MariaDB, for debian-linux-gnu\n"
        "/*!40101 SET NAMES utf8mb4 */;\n"
        "/*!40101 SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' */;\n"
        "CREATE TABLE `sales` (\n  `id` int(11) NOT NULL AUTO_INCREMENT,\n"
        "  `amount` decimal(10,2) DEFAULT NULL,\n  `note` varchar(80) DEFAULT NULL,\n"
        "  PRIMARY KEY (`id`)\n) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;\n"
        "LOCK TABLES `sales` WRITE;\n";
    qint64 id = 1;
    while (dump.size() < megabytes * 1024 * 1024) {
        QByteArray line = "INSERT INTO `sales` VALUES ";
        while (line.size() < 1000000) {
            line += '(' + QByteArray::number(id) + ",12.50,'K\xc3\xa4se, 500 g \\'Gouda\\' ";
            line += QByteArray::number(id * 7919 % 100000) + "'),";
            ++id;
        }
        line.chop(1);
        dump += line + ";\n";
    }
    return dump + "UNLOCK TABLES;\n/*!40101 SET SQL_MODE=@OLD_SQL_MODE */;\n"
                  "-- Dump completed on 2026-12-10 12:00:00\n";
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 100;
    QByteArray dump;
    if (argc > 2) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        dump = file.readAll();
    } else {
        dump = makeDump(megabytes);
    }
    // CPU time too: on a shared machine the wall clock says more about the neighbours.
    std::vector<double> seconds;
    std::vector<double> cpu;
    for (int run = 0; run < 3; ++run) {
        DumpVetter vetter(QStringLiteral("appdb"), {QStringLiteral("Misc")});
        QByteArray loadable;
        QElapsedTimer clock;
        clock.start();
        const std::clock_t cpuStart = std::clock();
        const int block = 64 * 1024;
        for (int at = 0; at < dump.size(); at += block) {
            vetter.feed(QByteArray::fromRawData(dump.constData() + at,
                                                std::min(block, int(dump.size()) - at)),
                        &loadable);
            loadable.clear();
        }
        const bool accepted = vetter.finish(&loadable);
        seconds.push_back(clock.nsecsElapsed() / 1e9);
        cpu.push_back(double(std::clock() - cpuStart) / CLOCKS_PER_SEC);
        if (!accepted) {
            std::fprintf(stderr, "refused: %s\n", qPrintable(vetter.problem()));
            return 1;
        }
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpu.begin(), cpu.end());
    const double mb = dump.size() / 1e6;
    std::printf("vetting %.1f MB: median %.3f s, %.0f MB/s (min %.3f s, max %.3f s); "
                "CPU time median %.3f s, %.0f MB/s\n",
                mb, seconds[1], mb / seconds[1], seconds[0], seconds[2], cpu[1], mb / cpu[1]);
    return 0;
}
