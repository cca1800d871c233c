#ifndef LOADINGACCOUNT_H
#define LOADINGACCOUNT_H

#include "maintenance/jobproblem.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

class MariaDbClient;

// The MariaDB account that every statement from a stick runs as, so that the server itself
// keeps a dump inside the databases it may touch, whatever the vetter let through. It is
// made by the client's default login (the server's root on the device) and holds no global
// privilege: no FILE, SUPER, CREATE USER, GRANT OPTION, SET USER...
//
// It is also the definer of every view, routine, trigger and event restored (the vetter
// makes each DEFINER the loading user), so stored programs never run with more than the
// rights on the data databases. Between loads it is locked for log-in, with a password that
// nobody knows, and holds all privileges on the data databases and nothing else: what its
// stored programs need.
//
// A dump is loaded into a staging database through a role that holds rights on that
// database alone; the account itself then holds none at all. Stored programs run with their
// definer's own rights, never a role's, so an event the dump makes there never fires, and
// the live databases are out of its reach while it loads.
//
// open...() gives it a new random password, kept only in a client option file that only the
// owner of the work folder can read. close() takes everything back and locks it again; an
// account left open by a crash is closed, its sessions ended, by the next close().
class LoadingAccount
{
public:
    static QString user();
    static QString stagingRole();

    // `dataDatabases` are those the account keeps its rights on between loads.
    LoadingAccount(MariaDbClient &client, const QString &workFolder,
                   const QStringList &dataDatabases);
    ~LoadingAccount();
    LoadingAccount(const LoadingAccount &) = delete;
    LoadingAccount &operator=(const LoadingAccount &) = delete;

    // The server's socket, as its @@socket says: the account's option file replaces the
    // default login's, which may name it. Empty: the client's own default.
    void setSocket(const QByteArray &socket);

    // May log in and reach `staging`, through the role, and nothing else.
    bool openForStaging(const QString &staging);
    // May log in and reach the data database `database` alone: the new objects' definitions.
    bool openForData(const QString &database);
    // Locked again, with its rights between loads; `endSessions` ends any session it still
    // has (a load cut short).
    bool close(bool endSessions = false);
    // The same as statements for the default login to run, alone or with others of its own;
    // what needs no server (the option file with the new password) is done at once. Empty
    // when that failed (problem()).
    QByteArray openingForStaging(const QString &staging);
    QByteArray openingForData(const QString &database);
    QByteArray closing(bool endSessions = false);
    // While closed: may also read `database`, so that the server shows a view's definition
    // as its own database sees it. No right that would let its events or triggers run.
    QByteArray allowingReading(const QString &database) const;
    bool isOpen() const { return m_open; }

    // The client's options for a run as the account: its option file (first on the line).
    QByteArray clientOptions() const;
    // The statements that start a session of a load into `staging`, before any of the dump.
    static QByteArray stagingSession(const QString &staging);
    // Why the last call failed: AccountNotReady.
    JobProblem problem() const { return m_problem; }

private:
    QByteArray opening(const QByteArray &rights);
    QByteArray rightsOn(const QStringList &databases) const;
    bool runAsDefaultLogin(const QByteArray &statements);
    QString optionFile() const;

    MariaDbClient &m_client;
    QString m_work;
    QStringList m_data;
    QByteArray m_socket;
    JobProblem m_problem;
    bool m_open = false;
};

#endif
