// Throughput of the dump vetter on mysqldump-like dumps, fed in the blocks a stick is read in:
// median of 3 runs, wall clock and CPU time, and the memory the vetter and its output took
// at their peak (beyond what the process held before).
//   rows        extended INSERTs of about 1 MB a line (mysqldump's default): numbers,
//               texts with escapes and UTF-8, dates, NULLs, blobs escaped and as 0x... hex
//   row lines   one INSERT a row (mysqldump --skip-extended-insert)
//   long lines  extended INSERTs of 15 MB a line, just below the vetter's limit
//   one line    200 MB in one line: refused once the line passes the limit
// Usage: bench_dumpvetting [megabytes] [dump.sql]   (a given dump is vetted as appdb's)
#include "maintenance/database/dumpvetting.h"
#include "procstatus.h"
#include "tests/mysqldumptext.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace {

const QByteArray header =
    "-- MariaDB dump 10.19  Distrib 10.11.19-MariaDB, for debian-linux-gnu\n"
    "--\n-- Host: localhost    Database: appdb\n"
    "-- ------------------------------------------------------\n"
    "/*!40101 SET @OLD_CHARACTER_SET_CLIENT=@@CHARACTER_SET_CLIENT */;\n"
    "/*!40101 SET NAMES utf8mb4 */;\n"
    "/*!40103 SET @OLD_TIME_ZONE=@@TIME_ZONE */;\n/*!40103 SET TIME_ZONE='+00:00' */;\n"
    "/*!40014 SET @OLD_UNIQUE_CHECKS=@@UNIQUE_CHECKS, UNIQUE_CHECKS=0 */;\n"
    "/*!40101 SET @OLD_SQL_MODE=@@SQL_MODE, SQL_MODE='NO_AUTO_VALUE_ON_ZERO' */;\n";
const QByteArray footer = "/*!40101 SET SQL_MODE=@OLD_SQL_MODE */;\n"
                          "/*!40014 SET UNIQUE_CHECKS=@OLD_UNIQUE_CHECKS */;\n"
                          "/*!40103 SET TIME_ZONE=@OLD_TIME_ZONE */;\n"
                          "-- Dump completed on 2026-12-10 12:00:00\n";

// The same pseudo-random bytes on every run.
struct Random
{
    quint64 state = 20261210;
    quint32 next()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return quint32(state >> 33);
    }
    int below(int n) { return int(next() % quint32(n)); }
};

const char *const notes[] = {
    "K\xc3\xa4se, 500 g 'Gouda'",
    "Br\xc3\xb6tchen\r\nmit \"Butter\"",
    "C:\\Kasse\\Bon",
    "\xe5\x8f\x91\xe7\xa5\xa8 #42; -- paid",
    "plain text without anything special in it",
    "50% off; /* not a comment */",
    "tab\there",
};

QByteArray row(Random &random, qint64 id)
{
    QByteArray out;
    out.reserve(400);
    out += '(' + QByteArray::number(id) + ',' + QByteArray::number(random.below(100000)) + '.' +
           QByteArray::number(10 + random.below(90)) + ',';
    out += mysqldumpQuoted(notes[random.below(int(std::size(notes)))]);
    out += ",'2026-" + QByteArray::number(1 + random.below(12)) + "-1" +
           QByteArray::number(random.below(10)) +
           " 12:" + QByteArray::number(10 + random.below(50)) + ":00',";
    if (random.below(4) == 0) {
        out += "NULL,";
    } else {
        out += mysqldumpQuoted("customer " + QByteArray::number(random.below(5000)));
        out += ',';
    }
    // A small picture: binary bytes as mysqldump escapes them, or as hexadecimal.
    QByteArray blob(40 + random.below(120), '\0');
    for (char &c : blob)
        c = char(random.next());
    if (random.below(2)) {
        out += "_binary ";
        out += mysqldumpQuoted(blob);
    } else {
        out += "0x" + blob.toHex().toUpper();
    }
    out += ')';
    return out;
}

const QByteArray createTable = "DROP TABLE IF EXISTS `sales`;\n"
                               "CREATE TABLE `sales` (\n  `id` int(11) NOT NULL AUTO_INCREMENT,\n"
                               "  `amount` decimal(10,2) DEFAULT NULL,\n"
                               "  `note` varchar(80) DEFAULT NULL,\n"
                               "  `sold` datetime NOT NULL,\n  `customer` text,\n"
                               "  `picture` blob,\n  PRIMARY KEY (`id`)\n"
                               ") ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;\n"
                               "LOCK TABLES `sales` WRITE;\n"
                               "/*!40000 ALTER TABLE `sales` DISABLE KEYS */;\n";
const QByteArray endTable = "/*!40000 ALTER TABLE `sales` ENABLE KEYS */;\nUNLOCK TABLES;\n";

// Rows in INSERTs of up to `lineBytes` each (0: one row an INSERT).
QByteArray makeDump(qint64 megabytes, int lineBytes)
{
    Random random;
    QByteArray dump = header + createTable;
    dump.reserve(int(megabytes * 1024 * 1024 + 1024 * 1024));
    qint64 id = 1;
    const QByteArray insert = "INSERT INTO `sales` VALUES ";
    while (dump.size() < megabytes * 1024 * 1024) {
        const int start = dump.size();
        dump += insert;
        dump += row(random, id++);
        while (dump.size() - start < lineBytes - 1000) {
            dump += ',';
            dump += row(random, id++);
        }
        dump += ";\n";
    }
    return dump + endTable + footer;
}

void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

struct Run
{
    double seconds = 0;
    double cpu = 0;
    qint64 bytes = 0;
    qint64 peakKb = 0; // beyond what was resident before
    bool accepted = false;
    QByteArray refusal;
};

// Feeds `next` blocks (empty at the end) to a vetter, as the stick is read.
Run vet(const std::function<QByteArray()> &next)
{
    Run run;
    resetPeak();
    const qint64 before = statusKiB("VmRSS:");
    DumpVetter vetter(QStringLiteral("appdb"), {QStringLiteral("Misc")});
    QByteArray loadable;
    QElapsedTimer clock;
    clock.start();
    const std::clock_t cpuStart = std::clock();
    bool going = true;
    for (QByteArray block = next(); going && !block.isEmpty(); block = next()) {
        run.bytes += block.size();
        going = vetter.feed(block, &loadable);
        loadable.clear();
    }
    run.accepted = going && vetter.finish(&loadable);
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.cpu = double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    run.peakKb = statusKiB("VmHWM:") - before;
    if (!run.accepted) {
        const DumpVetter::Refusal refusal = vetter.refusal();
        run.refusal = "reason " + QByteArray::number(int(refusal.reason)) + " at line " +
                      QByteArray::number(refusal.line);
    }
    return run;
}

std::function<QByteArray()> blocksOf(const QByteArray &dump)
{
    auto at = std::make_shared<int>(0);
    return [&dump, at]() {
        const int size = std::min(64 * 1024, int(dump.size()) - *at);
        const QByteArray piece = QByteArray::fromRawData(dump.constData() + *at, size);
        *at += size;
        return piece;
    };
}

// 200 MB that are one INSERT without a line end.
std::function<QByteArray()> oneLine()
{
    auto sent = std::make_shared<qint64>(0);
    auto block = std::make_shared<QByteArray>();
    Random random;
    *block = "INSERT INTO `sales` VALUES ";
    qint64 id = 1;
    while (block->size() < 64 * 1024)
        *block += row(random, id++) + ',';
    return [sent, block]() {
        if (*sent == 0) {
            *sent = header.size();
            return header;
        }
        if (*sent >= 200LL * 1000 * 1000)
            return QByteArray();
        *sent += block->size();
        return *block;
    };
}

// The runs of one kind, in a process of their own: what an earlier kind left in the heap
// does not hide the memory this one takes.
bool report(const char *kind, const std::function<std::function<QByteArray()>()> &source,
            bool shouldPass)
{
    std::fflush(stdout);
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child > 0) {
        int status = 0;
        return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    std::vector<Run> runs;
    for (int i = 0; i < 3; ++i)
        runs.push_back(vet(source()));
    for (const Run &run : runs) {
        if (run.accepted != shouldPass) {
            std::fprintf(stderr, "%s: %s\n", kind,
                         run.accepted ? "accepted" : run.refusal.constData());
            std::_Exit(1);
        }
    }
    std::vector<double> seconds;
    std::vector<double> cpu;
    qint64 peak = 0;
    for (const Run &run : runs) {
        seconds.push_back(run.seconds);
        cpu.push_back(run.cpu);
        peak = std::max(peak, run.peakKb);
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpu.begin(), cpu.end());
    const double mb = runs.front().bytes / 1e6;
    std::printf("%-10s %7.1f MB%s: median %.3f s, %4.0f MB/s (min %.3f s, max %.3f s); "
                "CPU time %.3f s, %4.0f MB/s; peak memory %.1f MB\n",
                kind, mb, shouldPass ? "" : " read", seconds[1], mb / seconds[1], seconds[0],
                seconds[2], cpu[1], mb / cpu[1], peak / 1024.0);
    std::fflush(stdout);
    std::_Exit(0);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const qint64 megabytes = argc > 1 ? QByteArray(argv[1]).toLongLong() : 50;
    if (argc > 2) {
        QFile file(QString::fromLocal8Bit(argv[2]));
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray dump = file.readAll();
        return report(
                   "file", [&] { return blocksOf(dump); }, true)
                   ? 0
                   : 1;
    }
    // The one line first, before the other dumps take memory of their own.
    bool ok = report("one line", oneLine, false);
    const QByteArray rows = makeDump(megabytes, 1024 * 1024);
    ok = report(
             "rows", [&] { return blocksOf(rows); }, true) &&
         ok;
    const QByteArray rowLines = makeDump(megabytes / 2, 0);
    ok = report(
             "row lines", [&] { return blocksOf(rowLines); }, true) &&
         ok;
    const QByteArray longLines = makeDump(megabytes, 15 * 1024 * 1024);
    ok = report(
             "long lines", [&] { return blocksOf(longLines); }, true) &&
         ok;
    return ok ? 0 : 1;
}
