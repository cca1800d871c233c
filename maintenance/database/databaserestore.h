#ifndef DATABASERESTORE_H
#define DATABASERESTORE_H

#include "maintenance/jobproblem.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class CommandRunner;
class DatabaseSwitch;
class LoadingAccount;
class MariaDbClient;

// Replaces the device's databases with dumps from a stick, each read once and loaded once,
// without touching a live database until everything is ready:
//   begin()          reaches the server, closes the loading account (ending any session a
//                    restore cut short left) and drops staging and old databases that no
//                    restore needs any more (a restore cut short has its journal);
//   makeStaging()    makes an empty staging database for each (servicepanel_new_<name>);
//   load()           streams a dump from the stick through its SHA-256 and the vetter into the
//                    client, as the loading account, which reaches that staging database
//                    alone (DumpFeed): the load is the proof that it loads;
//   prepareSwitch()  writes on the device what the switch and the way back need
//                    (DatabaseSwitch::prepare);
//   switchForward() / switchBack()  one database, either way, again as often as needed;
//   finish()         drops the staging and old databases and removes the work files.
// Nothing here decides when to go which way: the restore's journal does (DeviceRestore).
class DatabaseRestore
{
public:
    DatabaseRestore(CommandRunner &runner, const QString &workFolder, const QStringList &databases);
    ~DatabaseRestore();
    DatabaseRestore(const DatabaseRestore &) = delete;
    DatabaseRestore &operator=(const DatabaseRestore &) = delete;

    // The device's folder for the restore's work, below the system root.
    static QString defaultWorkFolder(const QString &systemRoot);
    static QString stagingName(const QString &database);
    static QString oldName(const QString &database);

    bool begin();
    // Ends whatever session of the loading account a restore cut short left, and locks it.
    bool endLoads();
    bool makeStaging();
    // `sha256` (hex) and `size` are the dump's as the set's check saw it: other bytes are
    // never loaded to the end.
    bool load(const QString &database, const QString &dumpPath, const QByteArray &sha256,
              qint64 size);
    // Called as a dump is read, with the bytes read of it so far.
    std::function<void(qint64)> loadProgress;
    bool prepareSwitch();
    bool switchForward(const QString &database);
    bool switchBack(const QString &database);
    // Whether the live database existed before the restore (after prepareSwitch(), or
    // switchForward() or switchBack() read it back from the device).
    bool existed(const QString &database) const;
    bool finish();

    const JobProblems &problems() const { return m_problems; }
    bool sandboxed() const;

private:
    bool problem(const JobProblem &problem);
    bool problem(JobProblem::Kind kind, const QString &name, const CommandResult &result);
    bool readServer();
    QByteArray dropWork() const;
    DatabaseSwitch &switchOf(const QString &database);

    CommandRunner &m_runner;
    QString m_work;
    QStringList m_databases;
    std::unique_ptr<MariaDbClient> m_client;
    std::unique_ptr<LoadingAccount> m_account;
    std::vector<std::unique_ptr<DatabaseSwitch>> m_switches;
    QStringList m_serverDatabases;
    QHash<QString, QByteArray> m_characterSets; // " CHARACTER SET ... COLLATE ..." by database
    JobProblems m_problems;
};

#endif
