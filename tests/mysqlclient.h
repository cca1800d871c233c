#ifndef MYSQLCLIENT_H
#define MYSQLCLIENT_H

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// The plain mysql and mysqldump clients against the throwaway MariaDB server of the
// mariadb fixture, which they find through HOME/.my.cnf.

// Why no throwaway server is here to use, or "" when the mariadb fixture started one.
inline QString throwawayServerProblem()
{
    if (qEnvironmentVariable("PANEL_TEST_MARIADB_DIR").isEmpty())
        return QStringLiteral(
            "no throwaway MariaDB server: run through ctest (the mariadb fixture)");
    return QString();
}

// Runs `statements` in `database` (none when empty); `output` gets the rows, tab-separated
// and without a header line.
inline bool sql(const QString &statements, const QString &database = QString(),
                QByteArray *output = nullptr)
{
    QProcess mysql;
    QStringList arguments{QStringLiteral("-N"), QStringLiteral("-B")};
    if (!database.isEmpty())
        arguments << database;
    mysql.start(QStringLiteral("mysql"), arguments);
    if (!mysql.waitForStarted())
        return false;
    mysql.write(statements.toUtf8());
    mysql.closeWriteChannel();
    mysql.waitForFinished(120000);
    if (output)
        *output = mysql.readAllStandardOutput();
    if (mysql.exitStatus() != QProcess::NormalExit || mysql.exitCode() != 0) {
        qWarning("mysql failed: %s", mysql.readAllStandardError().constData());
        return false;
    }
    return true;
}

// Everything the server holds of a database, routines, events and triggers included, less
// the date line.
inline QByteArray fullDump(const QString &database)
{
    QProcess dump;
    dump.start(QStringLiteral("mysqldump"),
               {QStringLiteral("--routines"), QStringLiteral("--events"),
                QStringLiteral("--triggers"), QStringLiteral("--skip-dump-date"), database});
    dump.waitForFinished(120000);
    if (dump.exitCode() != 0)
        return "mysqldump failed: " + dump.readAllStandardError();
    return dump.readAllStandardOutput();
}

#endif
