#ifndef MARIADBCLIENT_H
#define MARIADBCLIENT_H

#include "maintenance/system/commandrunner.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>

// The mysql and mysqldump clients, run through the panel's runner. Statements go to the
// client's standard input as it reads them, never onto a command line (which every user of
// the device can read) and never through the shell's redirection. The client reads them in a
// known way: UTF-8, no LOAD DATA LOCAL, no named commands, no --force, no reconnection with a
// session that lost what was set in it, and --sandbox where the client has it.
class MariaDbClient
{
public:
    using Rows = QList<QList<QByteArray>>;

    MariaDbClient(CommandRunner &runner, const QString &workFolder);

    // Clients before MariaDB 10.5.25 / 10.11.8 do not know --sandbox and would refuse it.
    void probeSandbox();
    bool sandboxed() const { return m_sandbox; }

    // The client's command line; `login` (an option file) goes first, none for the client's
    // default login (the server's root on the device).
    QByteArray clientLine(const QByteArray &login = QByteArray()) const;

    // Runs `statements` as the default login.
    CommandResult run(const QByteArray &statements);
    // Runs the client as `login` with its input from `io`.
    CommandResult runWith(const QByteArray &login, const CommandIo &io);
    // Feeds `prefix`, then the files' bytes one after the other, to the client as `login`.
    CommandResult runFiles(const QByteArray &login, const QByteArray &prefix,
                           const QStringList &files);
    // The rows a query of the default login answers, tab-separated fields as the client
    // writes them (a query gives HEX() of anything that may hold a tab or a newline).
    bool query(const QByteArray &statements, Rows *rows, CommandResult *result);
    // mysqldump `arguments` (shell words) as the default login into `file`, which is synced;
    // false when the command failed (`result`) or the file could not be kept (errno).
    bool dump(const QByteArray &arguments, const QString &file, CommandResult *result);

    CommandRunner &runner() const { return m_runner; }

private:
    QString workFile(const char *name) const;

    CommandRunner &m_runner;
    QString m_work;
    bool m_sandbox = false;
};

// `name` as one SQL identifier: in backquotes, a backquote doubled.
QByteArray quotedName(const QByteArray &name);

#endif
