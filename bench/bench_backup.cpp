// Times the backup's tree copy next to `cp -a`, `rsync -a` and a tar pipe, each followed
// by `sync`, and the restore direction (the manifest check and the restore of the tree)
// next to `cp -a` back. Reports medians, the panel's peak memory growth, and the ratios.
//
//   bench_backup [files] [rounds] [folder]
//
// Defaults: 10000 files, 3 rounds, the temporary folder. The tree (files of 200 to 4,000
// bytes, 100 to a folder) is written and synced once; the copies take turns, and each copy
// is removed and synced outside the timed part. The panel's time includes the count, the
// progress dialog, the SHA-256 of every file and the manifest, as a backup does them.
#include "bench/benchdata.h"
#include "dialogs/myprogressdialog.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/restore/treerestorer.h"
#include "maintenance/set/setverifier.h"
#include "maintenance/set/stickcapabilities.h"
#include "maintenance/backup/treecopier.h"
#include "maintenance/fs/uniquefd.h"
#include "procstatus.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void shell(const QString &script, const QStringList &arguments)
{
    QProcess::execute(QStringLiteral("sh"), QStringList{QStringLiteral("-c"), script} + arguments);
}

void removeAndSync(const QString &folder)
{
    QDir(folder).removeRecursively();
    std::system("sync");
}

// The backup's copy of /opt: count, progress dialog, copy with SHA-256, manifest, sync.
void panelBackup(QWidget *panel, const QString &source, const QString &set)
{
    QDir().mkpath(set + QStringLiteral("/opt"));
    UniqueFd setFd(::open(QFile::encodeName(set).constData(), O_RDONLY | O_DIRECTORY));
    UniqueFd treeFd(::open(QFile::encodeName(set + "/opt").constData(), O_RDONLY | O_DIRECTORY));
    MyProgressDialog dialog(QStringLiteral("Backup..."), panel);
    dialog.setWindowFlags(Qt::WindowStaysOnTopHint);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setValue(1);
    dialog.show();
    dialog.setAutoFillBackground(true);
    panel->repaint();
    const TreeCount count = TreeCopier::count(QFile::encodeName(source));
    dialog.setMaxNum(int(count.entries));
    panel->repaint();
    ManifestWriter manifest;
    manifest.create(setFd.get(), "bench", "/opt", DeviceIdentity());
    TreeCopier::Options options;
    options.mode = TreeCopier::Mode::Fresh;
    options.caps = StickCapabilities::probe(setFd.get());
    options.manifest = &manifest;
    options.progress = [&dialog](qint64 done) { dialog.setValue(int(done)); };
    TreeCopier copier(QFile::encodeName(source), treeFd.get(), options);
    const TreeCopyResult result = copier.copy();
    for (const char *dump : {"appdb.sql", "Misc.sql"}) {
        ManifestEntry entry;
        entry.path = dump;
        entry.sha256 = QByteArray(64, '0');
        manifest.add(entry);
    }
    manifest.finish(result.entries + 3, result.files, result.bytes);
    if (!result.ok())
        std::fprintf(stderr, "panel copy failed: %lld problems\n", result.failures.count());
    std::system("sync");
    dialog.setValue(int(count.entries));
}

// The restore direction: the whole check of the set, then its tree into an empty folder.
void panelRestore(const QString &stick, const QString &target)
{
    SetVerifier verifier(stick, {});
    const SetVerifier::Verdict verdict = verifier.verify();
    if (verdict != SetVerifier::Verdict::Good && verdict != SetVerifier::Verdict::Damaged)
        std::fprintf(stderr, "check failed: %d %s\n", int(verdict),
                     verifier.manifestError().constData());
    QDir().mkpath(target);
    UniqueFd targetFd(::open(QFile::encodeName(target).constData(), O_RDONLY | O_DIRECTORY));
    TreeRestorer restorer(stick, targetFd.get());
    if (!restorer.restore())
        std::fprintf(stderr, "restore failed: %lld problems\n", restorer.problems().count());
    std::system("sync");
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    const int rounds = argc > 2 ? std::max(3, atoi(argv[2])) : 3;
    const QString base = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QDir::tempPath();
    QTemporaryDir work(base + QStringLiteral("/bench_backup-XXXXXX"));
    if (!work.isValid())
        return 1;
    const QString source = work.filePath(QStringLiteral("opt"));
    BenchData::makeTree(source, files, 0);
    std::system("sync");

    QWidget panel;
    panel.resize(800, 480);
    panel.show();
    app.processEvents();

    // Memory: what the copy adds beyond a first, tiny one (which pays for the dialog's
    // first painting and the copy's fixed buffers once).
    const QString stick = work.filePath(QStringLiteral("stick"));
    const QString tiny = work.filePath(QStringLiteral("tiny"));
    BenchData::makeTree(tiny, 10, 0);
    panelBackup(&panel, tiny, stick + QStringLiteral("/BackupData"));
    removeAndSync(stick);
    const long before = statusKiB("VmHWM:");
    panelBackup(&panel, source, stick + QStringLiteral("/BackupData"));
    const long after = statusKiB("VmHWM:");
    removeAndSync(stick);

    using Copy = std::function<void(const QString &target)>;
    const std::vector<std::pair<const char *, Copy>> copies = {
        {"panel backup copy", [&](const QString &t) { panelBackup(&panel, source, t); }},
        {"cp -a",
         [&](const QString &t) {
             shell("cp -a \"$0\" \"$1\" && sync", {source, t});
         }},
        {"rsync -a",
         [&](const QString &t) {
             shell("rsync -a \"$0/\" \"$1/\" && sync", {source, t});
         }},
        {"tar pipe",
         [&](const QString &t) {
             shell("mkdir -p \"$1\" && tar -C \"$0\" -cf - . | tar -C \"$1\" -xpf - && sync",
                   {source, t});
         }},
    };
    std::map<const char *, std::vector<double>> times;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        for (size_t turn = 0; turn < copies.size(); ++turn) {
            const auto &copy = copies[(turn + size_t(round)) % copies.size()];
            const QString target = work.filePath(QStringLiteral("copy"));
            timer.start();
            copy.second(target);
            times[copy.first].push_back(timer.nsecsElapsed() / 1e6);
            removeAndSync(target);
        }
    }

    // The restore direction, from a set made once.
    panelBackup(&panel, source, stick + QStringLiteral("/BackupData"));
    std::vector<double> restoreTimes;
    std::vector<double> cpBackTimes;
    for (int round = 0; round < rounds; ++round) {
        const QString target = work.filePath(QStringLiteral("restored"));
        for (int turn = 0; turn < 2; ++turn) {
            timer.start();
            if ((turn + round) % 2 == 0) {
                panelRestore(stick, target);
                restoreTimes.push_back(timer.nsecsElapsed() / 1e6);
            } else {
                shell("cp -a \"$0\" \"$1\" && sync", {stick + "/BackupData/opt", target});
                cpBackTimes.push_back(timer.nsecsElapsed() / 1e6);
            }
            removeAndSync(target);
        }
    }

    std::printf("tree: %d files of 200-4000 bytes in %d folders under %s, %d rounds\n", files,
                (files + 99) / 100 + 2, qPrintable(base), rounds);
    const double cp = median(times["cp -a"]);
    for (const auto &copy : copies) {
        const auto &list = times[copy.first];
        std::printf("  %-18s median %8.0f ms  best %8.0f ms  (%.2f x cp -a)\n", copy.first,
                    median(list), *std::min_element(list.begin(), list.end()), median(list) / cp);
    }
    std::printf("restore direction (manifest check + restore, then sync):\n");
    std::printf("  %-18s median %8.0f ms  (%.2f x cp -a)\n", "panel restore", median(restoreTimes),
                median(restoreTimes) / median(cpBackTimes));
    std::printf("  %-18s median %8.0f ms\n", "cp -a back", median(cpBackTimes));
    std::printf("panel peak memory (VmHWM): %ld KiB after a copy of 10 files, %ld KiB after "
                "the copy of the tree (+%ld KiB)\n",
                before, after, after - before);
    return 0;
}
