// Times the backup's tree copy of many small files next to `cp -a` of the same tree, and
// reports the panel process's peak memory. Usage: bench_backup [files] [rounds] [folder]
// (defaults 10000, 3 and the temporary folder). Everything happens in a temporary folder
// inside `folder`; both copies end with a "sync", as the backup does.
#include "panel/sendordertoprinter_test.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

static long statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

static void makeTree(const QString &root, int files)
{
    const int perFolder = 100;
    for (int i = 0; i < files; ++i) {
        const QString folder = QStringLiteral("%1/Brevin/data/%2").arg(root).arg(i / perFolder);
        if (i % perFolder == 0)
            QDir().mkpath(folder);
        QFile file(QStringLiteral("%1/label-%2.prn").arg(folder).arg(i));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(200 + (i * 37) % 3800, char('A' + i % 26)));
    }
}

static double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(1, atoi(argv[2])) : 3;

    const QString base = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QDir::tempPath();
    QTemporaryDir work(base + QStringLiteral("/bench_backup-XXXXXX"));
    if (!work.isValid())
        return 1;
    const QString source = work.filePath(QStringLiteral("opt"));
    makeTree(source, files);

    sendordertoprinter_test panel;
    panel.show();
    app.processEvents();
    const long baseline = statusKiB("VmHWM:");

    std::vector<double> panelTimes;
    std::vector<double> cpTimes;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        const QString copy = work.filePath(QStringLiteral("panel-%1").arg(round));
        QDir().mkpath(copy);
        timer.start();
        panel.copyDir(&panel, copy, source, QStringLiteral("Backup..."));
        panelTimes.push_back(timer.nsecsElapsed() / 1e6);

        const QString cpCopy = work.filePath(QStringLiteral("cp-%1").arg(round));
        timer.start();
        QProcess::execute(
            QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("cp -a \"$0\" \"$1\" && sync"), source, cpCopy});
        cpTimes.push_back(timer.nsecsElapsed() / 1e6);
        QDir(copy).removeRecursively();
        QDir(cpCopy).removeRecursively();
    }

    std::printf("tree: %d files in %d folders, %d rounds, under %s\n", files,
                (files + 99) / 100 + 2, rounds, qPrintable(base));
    std::printf("panel tree copy (copyDir + sync): median %.0f ms, best %.0f ms\n",
                median(panelTimes), *std::min_element(panelTimes.begin(), panelTimes.end()));
    std::printf("cp -a + sync:                     median %.0f ms, best %.0f ms\n", median(cpTimes),
                *std::min_element(cpTimes.begin(), cpTimes.end()));
    std::printf("panel peak memory (VmHWM): %ld KiB before the copies, %ld KiB after\n", baseline,
                statusKiB("VmHWM:"));
    return 0;
}
