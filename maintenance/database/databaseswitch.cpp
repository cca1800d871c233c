#include "maintenance/database/databaseswitch.h"

#include "maintenance/database/databasecatalog.h"
#include "maintenance/database/loadingaccount.h"
#include "maintenance/database/mariadbclient.h"

#include <QFile>

#include <cerrno>
#include <unistd.h>

namespace {

// A name as one shell word, byte for byte.
QByteArray shellWord(const QByteArray &word)
{
    QByteArray quoted = word;
    return '\'' + quoted.replace('\'', "'\\''") + '\'';
}

QByteArray renames(const QList<QPair<QByteArray, QByteArray>> &pairs)
{
    if (pairs.isEmpty())
        return QByteArray();
    QByteArray statement = "RENAME TABLE ";
    for (int i = 0; i < pairs.size(); ++i)
        statement += (i ? ",\n  " : "") + pairs.at(i).first + " TO " + pairs.at(i).second;
    return statement + ";\n";
}

bool writeSynced(const QString &path, const QByteArray &text)
{
    QFile out(path);
    errno = 0;
    const bool written = out.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                         out.write(text) == text.size() && out.flush() &&
                         ::fsync(out.handle()) == 0;
    if (!written && errno == 0)
        errno = EIO;
    return written;
}

const char programOptions[] = "--no-create-info --no-data --routines --events --triggers "
                              "--skip-lock-tables --skip-comments";
const char viewOptions[] = "--no-data --skip-triggers --skip-lock-tables --skip-comments";

} // namespace

DatabaseSwitch::DatabaseSwitch(MariaDbClient &client, LoadingAccount &account,
                               const QString &workFolder, const QString &database)
    : m_client(client), m_account(account), m_work(workFolder), m_database(database)
{
}

QString DatabaseSwitch::stagingName(const QString &database)
{
    return QLatin1String("servicepanel_new_") + database;
}

QString DatabaseSwitch::oldName(const QString &database)
{
    return QLatin1String("servicepanel_old_") + database;
}

QString DatabaseSwitch::file(const char *suffix) const
{
    return m_work + QLatin1Char('/') + m_database + QLatin1String(suffix);
}

QStringList DatabaseSwitch::existing(const char *programs, const char *views) const
{
    QStringList files;
    for (const char *suffix : {programs, views}) {
        if (QFile::exists(file(suffix)))
            files << file(suffix);
    }
    return files;
}

bool DatabaseSwitch::fail(JobProblem::Kind kind, const CommandResult &result, int error)
{
    m_problem = JobProblem();
    m_problem.kind = kind;
    m_problem.name = m_database;
    m_problem.result = result;
    m_problem.error = error;
    return false;
}

// Where things are now: the plan prepare() wrote, and the live, staging and old databases.
bool DatabaseSwitch::readState(QList<DatabaseCatalog> *catalogs)
{
    m_problem = JobProblem();
    if (!readPlan())
        return false;
    CommandResult result;
    return DatabaseCatalog::read(m_client,
                                 {m_database, stagingName(m_database), oldName(m_database)},
                                 catalogs, &result) ||
           fail(JobProblem::Kind::DatabaseNotSwitched, result);
}

bool DatabaseSwitch::writePlan()
{
    QByteArray text = "existed " + QByteArray(m_existed ? "1" : "0") + '\n';
    for (const QByteArray &table : qAsConst(m_oldTables))
        text += "old " + table.toHex() + '\n';
    for (const QByteArray &table : qAsConst(m_newTables))
        text += "new " + table.toHex() + '\n';
    return writeSynced(file(".switch"), text + "end\n") ||
           fail(JobProblem::Kind::DatabaseNotSaved, CommandResult(), errno);
}

bool DatabaseSwitch::readPlan()
{
    QFile in(file(".switch"));
    if (!in.open(QIODevice::ReadOnly))
        return fail(JobProblem::Kind::DatabaseNotSwitched, CommandResult(), ENOENT);
    m_oldTables.clear();
    m_newTables.clear();
    bool ended = false;
    for (const QByteArray &line : in.readAll().split('\n')) {
        if (line.startsWith("existed "))
            m_existed = line.mid(8) == "1";
        else if (line.startsWith("old "))
            m_oldTables << QByteArray::fromHex(line.mid(4));
        else if (line.startsWith("new "))
            m_newTables << QByteArray::fromHex(line.mid(4));
        else if (line == "end")
            ended = true;
    }
    return ended || fail(JobProblem::Kind::DatabaseNotSwitched, CommandResult(), EBADMSG);
}

bool DatabaseSwitch::dumpObjects(const DatabaseCatalog &catalog, const QString &programs,
                                 const QString &views)
{
    QFile::remove(programs);
    QFile::remove(views);
    const QByteArray schema = catalog.schema.toLatin1();
    CommandResult result;
    if (catalog.hasPrograms() &&
        !m_client.dump(QByteArray(programOptions) + " -- " + schema, programs, &result))
        return fail(JobProblem::Kind::DatabaseNotSaved, result, result.succeeded() ? errno : 0);
    if (catalog.views.isEmpty())
        return true;
    QByteArray arguments = QByteArray(viewOptions) + " -- " + schema;
    for (const QByteArray &view : catalog.views)
        arguments += ' ' + shellWord(view);
    return m_client.dump(arguments, views, &result) ||
           fail(JobProblem::Kind::DatabaseNotSaved, result, result.succeeded() ? errno : 0);
}

// The server names the staging database where a routine was made in another character set
// than its database's; the definitions go into the live one.
bool DatabaseSwitch::renameStagingIn(const QString &path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return true;
    QByteArray text = in.readAll();
    in.close();
    const QByteArray from =
        "\nALTER DATABASE " + quotedName(stagingName(m_database).toLatin1()) + ' ';
    if (!text.contains(from))
        return true;
    text.replace(from, "\nALTER DATABASE " + quotedName(m_database.toLatin1()) + ' ');
    return writeSynced(path, text) ||
           fail(JobProblem::Kind::DatabaseNotSaved, CommandResult(), errno);
}

bool DatabaseSwitch::prepare(const DatabaseCatalog &live, const DatabaseCatalog &staged)
{
    m_problem = JobProblem();
    for (const DatabaseCatalog *catalog : {&live, &staged}) {
        QByteArray odd;
        if (!catalog->namesAreQuotable(&odd)) {
            fail(JobProblem::Kind::NameNotHandled);
            m_problem.path = odd;
            return false;
        }
    }
    m_existed = live.exists;
    m_oldTables = live.tables;
    m_newTables = staged.tables;
    if (!dumpObjects(live, file(".old.sql"), file(".old-views.sql")) ||
        !dumpObjects(staged, file(".new.sql"), file(".new-views.sql")))
        return false;
    return renameStagingIn(file(".new.sql")) && renameStagingIn(file(".new-views.sql")) &&
           writePlan();
}

bool DatabaseSwitch::forward()
{
    QList<DatabaseCatalog> sides;
    if (!readState(&sides))
        return false;
    const DatabaseCatalog &live = sides[0];
    const DatabaseCatalog &staged = sides[1];
    const DatabaseCatalog &aside = sides[2];
    // Untouched yet: what the live database holds now goes, also a table made since.
    const bool untouched =
        std::none_of(m_oldTables.cbegin(), m_oldTables.cend(),
                     [&](const QByteArray &t) { return aside.tables.contains(t); }) &&
        std::all_of(m_newTables.cbegin(), m_newTables.cend(),
                    [&](const QByteArray &t) { return staged.tables.contains(t); });
    if (untouched && live.tables != m_oldTables) {
        QByteArray odd;
        if (!live.namesAreQuotable(&odd)) {
            fail(JobProblem::Kind::NameNotHandled);
            m_problem.path = odd;
            return false;
        }
        m_oldTables = live.tables;
        if (!writePlan())
            return false;
    }
    QByteArray statements;
    if (!live.exists)
        statements +=
            "CREATE DATABASE IF NOT EXISTS " + quotedName(m_database.toLatin1()) +
            (staged.exists ? " CHARACTER SET " + staged.charset + " COLLATE " + staged.collation
                           : QByteArray()) +
            ";\n";
    statements += live.dropObjects() + staged.dropTriggers();
    statements += "CREATE DATABASE IF NOT EXISTS " + quotedName(aside.schema.toLatin1()) + ";\n";
    // The old tables out first, then the new ones in: a rename cut short stopped in one half.
    QList<QPair<QByteArray, QByteArray>> pairs;
    for (const QByteArray &table : qAsConst(m_oldTables)) {
        if (!aside.tables.contains(table) && live.tables.contains(table))
            pairs << qMakePair(live.name(table), aside.name(table));
    }
    for (const QByteArray &table : qAsConst(m_newTables)) {
        if (staged.tables.contains(table))
            pairs << qMakePair(staged.name(table), live.name(table));
    }
    statements += renames(pairs);
    const QStringList definitions = existing(".new.sql", ".new-views.sql");
    if (!definitions.isEmpty()) {
        const QByteArray opening = m_account.openingForData(m_database);
        if (opening.isEmpty()) {
            m_problem = m_account.problem();
            return false;
        }
        statements += opening;
    }
    const CommandResult switched = m_client.run(statements);
    if (!switched.succeeded())
        return fail(JobProblem::Kind::DatabaseNotSwitched, switched);
    if (definitions.isEmpty())
        return true;
    const CommandResult made = m_client.runFiles(
        m_account.clientOptions(), "USE " + quotedName(m_database.toLatin1()) + ";\n", definitions);
    return made.succeeded() || fail(JobProblem::Kind::DatabaseNotSwitched, made);
}

bool DatabaseSwitch::back()
{
    QList<DatabaseCatalog> sides;
    if (!readState(&sides))
        return false;
    const DatabaseCatalog &live = sides[0];
    const DatabaseCatalog &staged = sides[1];
    const DatabaseCatalog &aside = sides[2];
    QByteArray statements = live.dropObjects();
    if (!staged.exists)
        statements +=
            "CREATE DATABASE IF NOT EXISTS " + quotedName(staged.schema.toLatin1()) + ";\n";
    // The new tables out first (an old one of the same name that is back already is no new
    // one), then the old ones in.
    QList<QPair<QByteArray, QByteArray>> pairs;
    for (const QByteArray &table : qAsConst(m_newTables)) {
        const bool oldOneBack = m_oldTables.contains(table) && !aside.tables.contains(table);
        if (!staged.tables.contains(table) && live.tables.contains(table) && !oldOneBack)
            pairs << qMakePair(live.name(table), staged.name(table));
    }
    for (const QByteArray &table : qAsConst(m_oldTables)) {
        if (aside.tables.contains(table))
            pairs << qMakePair(aside.name(table), live.name(table));
    }
    statements += renames(pairs);
    if (!m_existed)
        statements += "DROP DATABASE IF EXISTS " + quotedName(m_database.toLatin1()) + ";\n";
    const CommandResult moved = m_client.run(statements);
    if (!moved.succeeded())
        return fail(JobProblem::Kind::DatabaseNotBack, moved);
    const QStringList definitions = existing(".old.sql", ".old-views.sql");
    if (!m_existed || definitions.isEmpty())
        return true;
    // The device's own definitions, as it had them.
    const CommandResult made = m_client.runFiles(
        QByteArray(), "USE " + quotedName(m_database.toLatin1()) + ";\n", definitions);
    return made.succeeded() || fail(JobProblem::Kind::DatabaseNotBack, made);
}

void DatabaseSwitch::removeFiles()
{
    for (const char *suffix :
         {".switch", ".old.sql", ".old-views.sql", ".new.sql", ".new-views.sql"})
        QFile::remove(file(suffix));
}
