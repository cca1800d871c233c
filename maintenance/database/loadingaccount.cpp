#include "maintenance/database/loadingaccount.h"

#include "maintenance/database/mariadbclient.h"
#include "maintenance/system/devicecommands.h"

#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

QByteArray account()
{
    return "'" + LoadingAccount::user().toLatin1() + "'@'localhost'";
}

QByteArray role()
{
    return quotedName(LoadingAccount::stagingRole().toLatin1());
}

QByteArray randomPassword()
{
    QByteArray bytes(24, '\0');
    QRandomGenerator::system()->generate(bytes.begin(), bytes.end());
    return bytes.toHex();
}

// A database name as a grant reads it: "_" and "%" are wildcards there.
QByteArray grantName(const QString &database)
{
    QByteArray name = database.toLatin1();
    name.replace('_', "\\_").replace('%', "\\%");
    return '`' + name + "`.*";
}

// Only the owner may ever read it; an older file of that name (or a link) is replaced.
bool writePrivate(const QString &path, const QByteArray &content)
{
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const char *data = content.constData();
    qint64 left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(name.constData());
            errno = error;
            return false;
        }
        data += written;
        left -= written;
    }
    return ::close(fd) == 0;
}

} // namespace

QString LoadingAccount::user()
{
    return QStringLiteral("servicepanel_data");
}

QString LoadingAccount::stagingRole()
{
    return QStringLiteral("servicepanel_staging");
}

LoadingAccount::LoadingAccount(MariaDbClient &client, const QString &workFolder,
                               const QStringList &dataDatabases)
    : m_client(client), m_work(workFolder), m_data(dataDatabases)
{
}

LoadingAccount::~LoadingAccount()
{
    if (m_open)
        close();
    QFile::remove(optionFile());
}

QString LoadingAccount::optionFile() const
{
    return m_work + QLatin1String("/loading.cnf");
}

QByteArray LoadingAccount::clientOptions() const
{
    return "--defaults-file=" + shellArgument(optionFile());
}

QByteArray LoadingAccount::stagingSession(const QString &staging)
{
    // Here, not in --init-command: the client would go on after a failed init command.
    return "SET ROLE " + role() + ";\nUSE " + quotedName(staging.toLatin1()) +
           ";\nSET SESSION sql_mode = 'STRICT_ALL_TABLES,NO_ENGINE_SUBSTITUTION';\n";
}

void LoadingAccount::setSocket(const QByteArray &socket)
{
    // A value the option file could not hold as one line is left to the client's default.
    m_socket = socket.contains('\n') || socket.contains('\\') ? QByteArray() : socket;
}

bool LoadingAccount::runAsDefaultLogin(const QByteArray &statements)
{
    if (statements.isEmpty())
        return false;
    const CommandResult result = m_client.run(statements);
    if (result.succeeded())
        return true;
    m_problem = JobProblem();
    m_problem.kind = JobProblem::Kind::AccountNotReady;
    m_problem.result = result;
    return false;
}

QByteArray LoadingAccount::opening(const QByteArray &rights)
{
    m_problem = JobProblem();
    const QByteArray password = randomPassword();
    if (!writePrivate(optionFile(),
                      "[client]\nuser=" + user().toLatin1() + "\npassword=" + password + "\n" +
                          (m_socket.isEmpty() ? QByteArray() : "socket=" + m_socket + "\n"))) {
        m_problem.kind = JobProblem::Kind::AccountNotReady;
        m_problem.error = errno;
        return QByteArray();
    }
    m_open = true;
    return rights + "ALTER USER " + account() + " IDENTIFIED BY '" + password +
           "' ACCOUNT UNLOCK;\n";
}

QByteArray LoadingAccount::openingForStaging(const QString &staging)
{
    return opening("CREATE USER IF NOT EXISTS " + account() +
                   " ACCOUNT LOCK;\n"
                   "CREATE ROLE IF NOT EXISTS " +
                   role() + ";\nREVOKE ALL PRIVILEGES, GRANT OPTION FROM " + account() +
                   ";\nREVOKE ALL PRIVILEGES, GRANT OPTION FROM " + role() +
                   ";\nGRANT ALL PRIVILEGES ON " + grantName(staging) + " TO " + role() +
                   ";\nGRANT " + role() + " TO " + account() + ";\nSET DEFAULT ROLE NONE FOR " +
                   account() + ";\n");
}

QByteArray LoadingAccount::openingForData(const QString &database)
{
    return opening(rightsOn({database}));
}

QByteArray LoadingAccount::rightsOn(const QStringList &databases) const
{
    QByteArray statements = "CREATE USER IF NOT EXISTS " + account() +
                            " ACCOUNT LOCK;\n"
                            "REVOKE ALL PRIVILEGES, GRANT OPTION FROM " +
                            account() + ";\nDROP ROLE IF EXISTS " + role() +
                            ";\nSET DEFAULT ROLE NONE FOR " + account() + ";\n";
    for (const QString &database : databases)
        statements += "GRANT ALL PRIVILEGES ON " + grantName(database) + " TO " + account() + ";\n";
    return statements;
}

QByteArray LoadingAccount::closing(bool endSessions)
{
    m_problem = JobProblem();
    QFile::remove(optionFile());
    m_open = false;
    // A password that is nowhere: only the lock keeps it out, but twice is safer.
    QByteArray statements = "CREATE USER IF NOT EXISTS " + account() +
                            " ACCOUNT LOCK;\nALTER USER " + account() + " IDENTIFIED BY '" +
                            randomPassword() + "' ACCOUNT LOCK;\n" + rightsOn(m_data);
    // A client whose panel died goes on loading until its session ends.
    if (endSessions)
        statements += "KILL USER '" + user().toLatin1() + "';\n";
    return statements;
}

QByteArray LoadingAccount::allowingReading(const QString &database) const
{
    return "GRANT SELECT ON " + grantName(database) + " TO " + account() + ";\n";
}

bool LoadingAccount::openForStaging(const QString &staging)
{
    return runAsDefaultLogin(openingForStaging(staging));
}

bool LoadingAccount::openForData(const QString &database)
{
    return runAsDefaultLogin(openingForData(database));
}

bool LoadingAccount::close(bool endSessions)
{
    return runAsDefaultLogin(closing(endSessions));
}
