#ifndef DATABASESWITCH_H
#define DATABASESWITCH_H

#include "maintenance/jobproblem.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class DatabaseCatalog;
class LoadingAccount;
class MariaDbClient;

// Puts the tables loaded into a staging database in the place of a live database's, and back:
// both ways end in one RENAME TABLE (the live tables to the old database, the staged ones to
// the live name), which the server does atomically (MariaDB 10.6 and later; before that, table
// after table, which both ways also finish from wherever they stopped: the rename moves the
// tables that go out before those that come in). MariaDB moves neither views nor routines
// with a rename, and refuses to move a table that has triggers, so those are made again: the
// new ones from their definitions in the staging database, run as the loading account; the
// device's own old ones, for the way back, as the default login.
//
// prepare() writes, before anything live changes, what both ways need into the work folder
// and syncs it: the tables on each side and the definitions of the other objects (mysqldump's
// own). forward() and back() then need neither the stick nor the staging database's
// objects, and each may be run again, after a power loss at any point, to the same end.
class DatabaseSwitch
{
public:
    DatabaseSwitch(MariaDbClient &client, LoadingAccount &account, const QString &workFolder,
                   const QString &database);

    static QString stagingName(const QString &database); // servicepanel_new_<database>
    static QString oldName(const QString &database);     // servicepanel_old_<database>

    // With the catalogs of the live and the staging database; the loading account may read
    // the staging one (its views are shown then as their own database sees them).
    bool prepare(const DatabaseCatalog &live, const DatabaseCatalog &staged);
    // Leaves the loading account open for the live database.
    bool forward();
    bool back();
    // Whether the live database was there before (prepare() found out; kept on the device).
    bool existed() const { return m_existed; }
    void removeFiles();

    JobProblem problem() const { return m_problem; }

private:
    bool readState(QList<DatabaseCatalog> *catalogs);
    bool readPlan();
    bool writePlan();
    bool dumpObjects(const DatabaseCatalog &catalog, const QString &programs, const QString &views);
    bool renameStagingIn(const QString &file);
    QStringList existing(const char *programs, const char *views) const;
    bool fail(JobProblem::Kind kind, const CommandResult &result = CommandResult(), int error = 0);
    QString file(const char *suffix) const;

    MariaDbClient &m_client;
    LoadingAccount &m_account;
    QString m_work;
    QString m_database;
    bool m_existed = false;
    QList<QByteArray> m_oldTables;
    QList<QByteArray> m_newTables;
    JobProblem m_problem;
};

#endif
