#include "maintenance/database/databaserestore.h"

#include "maintenance/database/databasecatalog.h"
#include "maintenance/database/databaseswitch.h"
#include "maintenance/database/dumpfeed.h"
#include "maintenance/database/dumpvetting.h"
#include "maintenance/database/loadingaccount.h"
#include "maintenance/database/mariadbclient.h"
#include "maintenance/database/stickfile.h"
#include "maintenance/system/commandrunner.h"
#include "maintenance/system/devicecommands.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>

DatabaseRestore::DatabaseRestore(CommandRunner &runner, const QString &workFolder,
                                 const QStringList &databases)
    : m_runner(runner), m_work(workFolder), m_databases(databases),
      m_client(std::make_unique<MariaDbClient>(runner, workFolder)),
      m_account(std::make_unique<LoadingAccount>(*m_client, workFolder, databases))
{
    for (const QString &database : databases)
        m_switches.push_back(
            std::make_unique<DatabaseSwitch>(*m_client, *m_account, workFolder, database));
}

DatabaseRestore::~DatabaseRestore() = default;

QString DatabaseRestore::defaultWorkFolder(const QString &systemRoot)
{
    return keptDataFolder(systemRoot);
}

QString DatabaseRestore::stagingName(const QString &database)
{
    return DatabaseSwitch::stagingName(database);
}

QString DatabaseRestore::oldName(const QString &database)
{
    return DatabaseSwitch::oldName(database);
}

bool DatabaseRestore::sandboxed() const
{
    return m_client->sandboxed();
}

DatabaseSwitch &DatabaseRestore::switchOf(const QString &database)
{
    return *m_switches[size_t(qMax(0, m_databases.indexOf(database)))];
}

bool DatabaseRestore::existed(const QString &database) const
{
    const int index = m_databases.indexOf(database);
    return index >= 0 && m_switches[size_t(index)]->existed();
}

bool DatabaseRestore::problem(const JobProblem &problem)
{
    m_problems << problem;
    return false;
}

bool DatabaseRestore::problem(JobProblem::Kind kind, const QString &name,
                              const CommandResult &result)
{
    JobProblem found;
    found.kind = kind;
    found.name = name;
    found.result = result;
    return problem(found);
}

bool DatabaseRestore::readServer()
{
    MariaDbClient::Rows rows;
    CommandResult result;
    if (!m_client->query("SELECT 'socket', HEX(@@socket);\n"
                         "SELECT 'schema', HEX(SCHEMA_NAME), DEFAULT_CHARACTER_SET_NAME, "
                         "DEFAULT_COLLATION_NAME FROM information_schema.SCHEMATA;\n",
                         &rows, &result))
        return problem(JobProblem::Kind::ServerUnreachable, QString(), result);
    m_serverDatabases.clear();
    m_characterSets.clear();
    for (const QList<QByteArray> &row : qAsConst(rows)) {
        if (row.value(0) == "socket") {
            m_account->setSocket(QByteArray::fromHex(row.value(1)));
        } else if (row.value(0) == "schema" && row.size() == 4) {
            const QString name = QString::fromUtf8(QByteArray::fromHex(row.at(1)));
            m_serverDatabases << name;
            m_characterSets.insert(name, " CHARACTER SET " + row.at(2) + " COLLATE " + row.at(3));
        }
    }
    return true;
}

bool DatabaseRestore::endLoads()
{
    m_problems.clear();
    m_client->probeSandbox();
    if (!readServer())
        return false;
    return m_account->close(true) || problem(m_account->problem());
}

QByteArray DatabaseRestore::dropWork() const
{
    QByteArray statements;
    for (const QString &database : qAsConst(m_databases)) {
        for (const QString &name : {stagingName(database), oldName(database)})
            statements += "DROP DATABASE IF EXISTS " + quotedName(name.toLatin1()) + ";\n";
    }
    return statements;
}

bool DatabaseRestore::begin()
{
    m_problems.clear();
    const QDir work(m_work);
    if (!work.mkpath(QStringLiteral("."))) {
        JobProblem notMade;
        notMade.kind = JobProblem::Kind::FolderNotMade;
        notMade.path = QFile::encodeName(m_work);
        return problem(notMade);
    }
    // What is kept here is the customer's data.
    QFile::setPermissions(m_work, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    m_client->probeSandbox();
    if (!readServer())
        return false;
    // No restore needs what an earlier one left: its journal would have said so.
    const CommandResult ready = m_client->run(m_account->closing(true) + dropWork());
    return ready.succeeded() ||
           problem(JobProblem::Kind::StagingNotMade, stagingName(m_databases.value(0)), ready);
}

bool DatabaseRestore::makeStaging()
{
    m_problems.clear();
    QByteArray statements;
    for (const QString &database : qAsConst(m_databases)) {
        // The live database's character set: the definitions that name it come back in it.
        statements += "CREATE DATABASE " + quotedName(stagingName(database).toLatin1()) +
                      m_characterSets.value(database) + ";\n";
    }
    const CommandResult made = m_client->run(statements);
    return made.succeeded() ||
           problem(JobProblem::Kind::StagingNotMade, stagingName(m_databases.value(0)), made);
}

bool DatabaseRestore::load(const QString &database, const QString &dumpPath,
                           const QByteArray &sha256, qint64 size)
{
    m_problems.clear();
    const QString name = QFileInfo(dumpPath).fileName();
    StickFile file(dumpPath);
    if (!file.open())
        return problem(file.problem());
    if (file.size() != size) {
        JobProblem changed;
        changed.kind = JobProblem::Kind::DumpChanged;
        changed.name = name;
        return problem(changed);
    }
    // No name the dump qualifies may lead out of its database: the server keeps it in the
    // staging database anyway, this says why.
    QStringList foreign = m_serverDatabases;
    for (const QString &other : qAsConst(m_databases))
        foreign << other << stagingName(other) << oldName(other);
    foreign.removeAll(database);
    DumpVetter vetter(database, foreign);
    const QString staging = stagingName(database);
    // Open till the next load opens it for another database, or the switch is prepared.
    if (!m_account->openForStaging(staging))
        return problem(m_account->problem());
    DumpFeed feed(file, vetter, name, sha256, size, LoadingAccount::stagingSession(staging));
    feed.progress = loadProgress;
    CommandIo io;
    io.input = [&feed](char *buffer, qint64 count) { return feed.read(buffer, count); };
    const CommandResult result = m_client->runWith(m_account->clientOptions(), io);
    if (feed.failed() || !result.succeeded()) {
        if (feed.failed())
            problem(feed.problem());
        else
            problem(JobProblem::Kind::DumpNotLoaded, name, result);
        if (!m_account->close())
            problem(m_account->problem());
        return false;
    }
    return true;
}

bool DatabaseRestore::prepareSwitch()
{
    m_problems.clear();
    QStringList schemas;
    QByteArray reading = m_account->closing();
    for (const QString &database : qAsConst(m_databases)) {
        schemas << database << stagingName(database);
        reading += m_account->allowingReading(stagingName(database));
    }
    const CommandResult closed = m_client->run(reading);
    if (!closed.succeeded())
        return problem(JobProblem::Kind::AccountNotReady, QString(), closed);
    QList<DatabaseCatalog> catalogs;
    CommandResult result;
    if (!DatabaseCatalog::read(*m_client, schemas, &catalogs, &result))
        return problem(JobProblem::Kind::DatabaseNotSaved, m_databases.value(0), result);
    for (size_t i = 0; i < m_switches.size(); ++i) {
        if (!m_switches[i]->prepare(catalogs.at(int(2 * i)), catalogs.at(int(2 * i + 1))))
            return problem(m_switches[i]->problem());
    }
    return true;
}

bool DatabaseRestore::switchForward(const QString &database)
{
    m_problems.clear();
    DatabaseSwitch &databaseSwitch = switchOf(database);
    return databaseSwitch.forward() || problem(databaseSwitch.problem());
}

bool DatabaseRestore::switchBack(const QString &database)
{
    m_problems.clear();
    DatabaseSwitch &databaseSwitch = switchOf(database);
    if (!databaseSwitch.back())
        return problem(databaseSwitch.problem());
    JobProblem back;
    back.kind = databaseSwitch.existed() ? JobProblem::Kind::DatabaseBack
                                         : JobProblem::Kind::DatabaseGoneAgain;
    back.name = database;
    m_problems << back;
    return true;
}

bool DatabaseRestore::finish()
{
    m_problems.clear();
    const CommandResult dropped = m_client->run(dropWork() + m_account->closing(true));
    if (!dropped.succeeded())
        return problem(JobProblem::Kind::DatabaseLeftBehind, oldName(m_databases.value(0)),
                       dropped);
    for (const auto &databaseSwitch : m_switches)
        databaseSwitch->removeFiles();
    return true;
}
