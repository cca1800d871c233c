#ifndef LOADINGACCOUNT_H
#define LOADINGACCOUNT_H

#include <QByteArray>
#include <QString>
#include <QStringList>

class CommandRunner;

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
// For a load, open() gives it a new random password, kept only in a client option file
// that only the owner of the work folder can read, and privileges on just the databases of
// that load. close() takes them back and locks it again. An account left open by a crash is
// closed by the next open() or close().
class LoadingAccount
{
public:
    static QString user();

    // `dataDatabases` are those the account keeps its rights on between loads.
    LoadingAccount(CommandRunner &runner, const QString &workFolder,
                   const QStringList &dataDatabases);
    ~LoadingAccount();
    LoadingAccount(const LoadingAccount &) = delete;
    LoadingAccount &operator=(const LoadingAccount &) = delete;

    // Made when missing; may then log in and reach `databases` only.
    bool open(const QStringList &databases);
    bool close();
    bool isOpen() const { return m_open; }

    // The client's options for a load as the account: its option file first.
    QByteArray clientOptions() const;
    // Why open() or close() failed, for the box.
    QString problem() const { return m_problem; }

private:
    bool runAsDefaultLogin(const QByteArray &statements);
    bool findSocket();
    QString optionFile() const;

    CommandRunner &m_runner;
    QString m_work;
    QStringList m_data;
    QByteArray m_socket;
    bool m_socketKnown = false;
    QString m_problem;
    bool m_open = false;
};

#endif
