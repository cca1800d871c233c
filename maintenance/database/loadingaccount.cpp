#include "maintenance/database/loadingaccount.h"

#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"

#include <QCoreApplication>
#include <QFile>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

// Texts for the panel's boxes, translated in the panel's context.
struct PanelText
{
    Q_DECLARE_TR_FUNCTIONS(sendordertoprinter_test)
};

QByteArray account()
{
    return "'" + LoadingAccount::user().toLatin1() + "'@'localhost'";
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
bool writePrivate(const QString &path, const QByteArray &content, QString *error)
{
    const QByteArray name = QFile::encodeName(path);
    ::unlink(name.constData());
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    const char *data = content.constData();
    qint64 left = content.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            *error = QString::fromLocal8Bit(std::strerror(errno));
            ::close(fd);
            ::unlink(name.constData());
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

LoadingAccount::LoadingAccount(CommandRunner &runner, const QString &workFolder,
                               const QStringList &dataDatabases)
    : m_runner(runner), m_work(workFolder), m_data(dataDatabases)
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

bool LoadingAccount::runAsDefaultLogin(const QByteArray &statements)
{
    // In a file, not on a command line that every user of the device can read.
    const QString file = m_work + QLatin1String("/account.sql");
    QString error;
    if (!writePrivate(file, statements, &error)) {
        m_problem =
            PanelText::tr("The database account for the restore cannot be set up: %1").arg(error);
        return false;
    }
    const CommandResult result = m_runner.run("mysql --skip-force < " + shellArgument(file));
    QFile::remove(file);
    if (!result.succeeded()) {
        const QString last = result.lastErrorLine();
        m_problem = PanelText::tr("The database account for the restore cannot be set up: %1")
                        .arg(last.isEmpty() ? result.reason()
                                            : result.reason() + QStringLiteral(": ") + last);
        return false;
    }
    return true;
}

bool LoadingAccount::findSocket()
{
    if (m_socketKnown)
        return true;
    // The account's own option file replaces the default login's, which may name the socket.
    const QString file = m_work + QLatin1String("/socket.txt");
    const CommandResult result =
        m_runner.run("mysql -N -B -e 'SELECT @@socket' > " + shellArgument(file));
    QFile answer(file);
    if (result.succeeded() && answer.open(QIODevice::ReadOnly))
        m_socket = answer.readAll().trimmed();
    answer.remove();
    if (!result.succeeded()) {
        const QString last = result.lastErrorLine();
        m_problem = PanelText::tr("The database account for the restore cannot be set up: %1")
                        .arg(last.isEmpty() ? result.reason()
                                            : result.reason() + QStringLiteral(": ") + last);
        return false;
    }
    // No answer: the client's own default socket, as for the default login.
    if (m_socket.contains('\n') || m_socket == "NULL")
        m_socket.clear();
    m_socketKnown = true;
    return true;
}

bool LoadingAccount::open(const QStringList &databases)
{
    m_problem.clear();
    if (!findSocket())
        return false;
    const QByteArray password = randomPassword();
    QString error;
    if (!writePrivate(optionFile(),
                      "[client]\nuser=" + user().toLatin1() + "\npassword=" + password + "\n" +
                          (m_socket.isEmpty() ? QByteArray() : "socket=" + m_socket + "\n"),
                      &error)) {
        m_problem =
            PanelText::tr("The database account for the restore cannot be set up: %1").arg(error);
        return false;
    }
    QByteArray statements = "CREATE USER IF NOT EXISTS " + account() +
                            " ACCOUNT LOCK;\n"
                            "REVOKE ALL PRIVILEGES, GRANT OPTION FROM " +
                            account() +
                            ";\n"
                            "SET DEFAULT ROLE NONE FOR " +
                            account() + ";\n";
    for (const QString &database : databases)
        statements += "GRANT ALL PRIVILEGES ON " + grantName(database) + " TO " + account() + ";\n";
    statements += "ALTER USER " + account() + " IDENTIFIED BY '" + password + "' ACCOUNT UNLOCK;\n";
    m_open = true;
    if (!runAsDefaultLogin(statements)) {
        QFile::remove(optionFile());
        const QString why = m_problem;
        close();
        m_problem = why;
        return false;
    }
    return true;
}

bool LoadingAccount::close()
{
    QFile::remove(optionFile());
    // A password that is nowhere: only the lock keeps it out, but twice is safer.
    QByteArray statements = "CREATE USER IF NOT EXISTS " + account() +
                            " ACCOUNT LOCK;\n"
                            "ALTER USER " +
                            account() + " IDENTIFIED BY '" + randomPassword() +
                            "' ACCOUNT LOCK;\n"
                            "REVOKE ALL PRIVILEGES, GRANT OPTION FROM " +
                            account() +
                            ";\n"
                            "SET DEFAULT ROLE NONE FOR " +
                            account() + ";\n";
    for (const QString &database : qAsConst(m_data))
        statements += "GRANT ALL PRIVILEGES ON " + grantName(database) + " TO " + account() + ";\n";
    if (!runAsDefaultLogin(statements))
        return false;
    m_open = false;
    return true;
}
