#ifndef DATABASERESTORE_H
#define DATABASERESTORE_H

#include "maintenance/database/dumpvetting.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>

class CommandRunner;
class LoadingAccount;

// Replaces the device's databases with dumps from a stick so that none is ever left empty or
// half loaded. In order:
//   prepare()  reads each dump from the stick (a regular file, never through a link), vets it
//              (DumpVetter) while copying it into the work folder on the device, saves the
//              current data of each database there as well (mysqldump with routines, events
//              and triggers), and proves that each copy loads into a scratch database.
//              No live database changes, unless a dump that names its own database failed to
//              load in the scratch database: the saved data is then put back.
//   replace()  drops, creates and loads each live database from its vetted copy. When any
//              step fails, every database it touched gets its saved data back.
//   rollBack() after replace() succeeded, when a later step of the restore fails: puts the
//              saved data back into every database.
// All commands go through the runner, so each one has its time limit; the mysql client loads
// with --sandbox when it has it, without LOAD DATA LOCAL, named commands or --force. A dump
// from the stick loads as the LoadingAccount, which may reach only the database it loads.
// The saved data (previous/<name>.sql in the work folder) goes with this object, unless it
// could not be put back (dataAtRisk()).
class DatabaseRestore
{
public:
    DatabaseRestore(CommandRunner &runner, const QString &workFolder);
    ~DatabaseRestore();
    DatabaseRestore(const DatabaseRestore &) = delete;
    DatabaseRestore &operator=(const DatabaseRestore &) = delete;

    // The device's folder for the copies and the saved data, below the system root.
    static QString defaultWorkFolder(const QString &systemRoot);
    // The name of the scratch database in which the dump of `database` is proved.
    static QString scratchName(const QString &database);

    // The databases are replaced in the order they are added. With `sha256` (hex) set, the
    // dump must still be the file that was checked: prepare() refuses any other bytes.
    void addDatabase(const QString &database, const QString &dumpPath,
                     const QByteArray &sha256 = QByteArray());

    bool prepare();
    bool replace();
    bool rollBack();
    // After prepare(), when a later step fails before replace(): puts back any database that
    // may have changed (none, as the loading account reaches only the scratch databases), so
    // that "left as they were" holds. problems() then holds only what it did.
    bool putBackTouched();

    // What went wrong, one line each, for the Fail box.
    QStringList problems() const { return m_problems; }
    // How problems() words a dump the vetter refused: the panel's wording, set by the panel.
    using RefusalWording = QString (*)(const DumpVetter::Refusal &);
    static void setRefusalWording(RefusalWording wording);
    // The live data could not be put back: it is only in previousDump() now.
    bool dataAtRisk() const { return m_dataAtRisk; }
    bool sandboxed() const { return m_sandbox; }
    QString previousDump(const QString &database) const;

private:
    struct Item
    {
        QString database;
        QString dumpPath;
        QByteArray sha256;
        bool existed = false; // the live database was there before
        bool touched = false; // replace() or a scratch load may have changed it
        bool namesItself = false;
    };

    bool makeFolders();
    bool readServer();
    bool copyVetted(Item &item);
    bool saveLiveData(Item &item);
    bool proveLoads(Item &item);
    bool replaceOne(Item &item);
    bool putBack(Item &item);
    bool run(const QByteArray &commandLine, const QString &what);
    QByteArray loadCommand(const QString &database, const QString &file, bool asAccount) const;
    bool loadAsAccount(const QString &database, const QString &file, const QString &what);
    QString incomingDump(const QString &database) const;
    void removeIncoming();

    CommandRunner &m_runner;
    QString m_work;
    QList<Item> m_items;
    std::unique_ptr<LoadingAccount> m_account;
    QStringList m_serverDatabases;
    QStringList m_problems;
    bool m_sandbox = false;
    bool m_prepared = false;
    bool m_replaced = false;
    bool m_dataAtRisk = false;
};

#endif
