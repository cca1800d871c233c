// Round trip of one printer query over the serial link to printersim: median of many.
// Usage: bench_query [count]
#include "printer/serialframing.h"
#include "printer/serialprinterlink.h"
#include "tests/printersimprocess.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

static bool measure(SerialPrinterLink &link, const QString &command, int count)
{
    const QStringList expected = link.exchange(command);
    if (expected.value(0).isEmpty()) {
        std::fprintf(stderr, "no answer to %s\n", qPrintable(command));
        return false;
    }
    std::vector<double> ms;
    ms.reserve(count);
    QElapsedTimer clock;
    for (int i = 0; i < count; ++i) {
        clock.start();
        const QStringList reply = link.exchange(command);
        ms.push_back(clock.nsecsElapsed() / 1e6);
        if (reply != expected) {
            std::fprintf(stderr, "answer changed: %s\n", qPrintable(reply.join(',')));
            return false;
        }
    }
    std::sort(ms.begin(), ms.end());
    std::printf("%-10s %d round trips, %2d-byte answer: median %.1f ms "
                "(min %.1f, 90%% %.1f, max %.1f)\n",
                qPrintable(command), count, int(expected.size()), ms[ms.size() / 2], ms.front(),
                ms[ms.size() * 9 / 10], ms.back());
    return true;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 200;

    PrinterSimProcess printer;
    if (!printer.start()) {
        std::fprintf(stderr, "printersim did not start\n");
        return 1;
    }
    std::printf("printersim on %s; an answer ends after %d ms of quiet\n",
                qPrintable(printer.portPath()), PrinterSerial::QuietGapMs);
    SerialPrinterLink link(printer.portPath());
    const bool ok = measure(link, QStringLiteral("aa,e2,0,0"), count) &&
                    measure(link, QStringLiteral("aa,f4,1,0"), count);
    printer.stop();
    return ok ? 0 : 1;
}
