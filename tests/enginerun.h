#ifndef ENGINERUN_H
#define ENGINERUN_H

#include "maintenance/set/backupset.h"
#include "maintenance/fs/posixfs.h"
#include "maintenance/backup/treecopier.h"
#include "maintenance/fs/uniquefd.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>

// One backup through the engine alone, as the panel's Backup does it (without the window
// and without a database): check the stick, tidy it, check the room, write the new set
// beside the old one with two dump files given here, and swap it in.
struct EngineRun
{
    QString stick;
    QByteArray source;
    QList<QPair<QByteArray, QByteArray>> dumps{
        {"appdb.sql", "CREATE TABLE t (id INT);\n-- Dump completed on 2026-01-01 10:00:00\n"},
        {"Misc.sql", "CREATE TABLE s (k INT);\n-- Dump completed on 2026-01-01 10:00:01\n"}};
    std::function<void(qint64)> progress;
    int openLevels = 0;
    DeviceIdentity device; // the device the manifest names

    // What happened, for the test to look at.
    bool checked = false;
    BackupSet::Refusal refusal = BackupSet::Refusal::None;
    QByteArray refusedName;
    bool fits = false;
    TreeCopyResult result;
    bool committed = false;
    int error = 0;
    StickCapabilities caps;

    bool run()
    {
        BackupSet set(stick);
        checked = set.check() && set.recover();
        refusal = set.refusal();
        refusedName = set.refusedName();
        if (!checked)
            return false;
        const TreeCount count = TreeCopier::count(source);
        fits = set.room(count.stored, count.entries).fits();
        if (!fits || !set.begin(source, device)) {
            error = set.error();
            set.abandon();
            return false;
        }
        caps = set.capabilities();
        TreeCopier::Options options;
        options.mode = TreeCopier::Mode::Fresh;
        options.caps = set.capabilities();
        options.manifest = set.manifest();
        options.progress = progress;
        options.openLevels = openLevels;
        TreeCopier copier(source, set.treeFd(), options);
        result = copier.copy();
        bool whole = result.ok();
        for (const auto &dump : dumps) {
            if (!whole || !set.prepareDump(dump.first)) {
                whole = false;
                break;
            }
            QFile file(set.newSetPath() + QLatin1Char('/') + QString::fromLatin1(dump.first));
            whole =
                file.open(QIODevice::WriteOnly) && file.write(dump.second) == dump.second.size();
            file.close();
            whole = whole && set.addDump(dump.first);
        }
        whole = whole && set.finish(result.entries, result.files, result.bytes);
        committed = whole && set.commit();
        error = set.error();
        if (!committed)
            set.abandon();
        return committed;
    }

    QString problems() const
    {
        QStringList lines;
        for (const CopyProblem &problem : result.failures.first())
            lines << posixfs::displayPath(problem.path.right(300)) + ": " +
                         posixfs::errorText(problem.error);
        if (result.fatalError)
            lines << "fatal at " + posixfs::displayPath(result.fatalPath.right(300)) + ": " +
                         posixfs::errorText(result.fatalError);
        if (error)
            lines << "set: " + posixfs::errorText(error);
        if (!checked)
            lines << QStringLiteral("stick refused (%1) at %2")
                         .arg(int(refusal))
                         .arg(QString::fromLatin1(refusedName));
        return lines.join(QLatin1Char('\n'));
    }
};

#endif
