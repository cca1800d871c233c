#include "maintenance/database/databasecatalog.h"

#include "maintenance/database/mariadbclient.h"

#include <algorithm>

bool DatabaseCatalog::read(MariaDbClient &client, const QStringList &schemas,
                           QList<DatabaseCatalog> *catalogs, CommandResult *result)
{
    // What is asked of each schema: a kind, what is read, where, and the column the schema
    // is in.
    static const char *const questions[][4] = {
        {"schema", "DEFAULT_CHARACTER_SET_NAME, DEFAULT_COLLATION_NAME", "SCHEMATA", "SCHEMA_NAME"},
        {"table", "HEX(TABLE_NAME)", "TABLES", "TABLE_TYPE <> 'VIEW' AND TABLE_SCHEMA"},
        {"view", "HEX(TABLE_NAME)", "VIEWS", "TABLE_SCHEMA"},
        {"trigger", "HEX(TRIGGER_NAME)", "TRIGGERS", "TRIGGER_SCHEMA"},
        {"event", "HEX(EVENT_NAME)", "EVENTS", "EVENT_SCHEMA"},
        {"routine", "HEX(ROUTINE_NAME), ROUTINE_TYPE", "ROUTINES", "ROUTINE_SCHEMA"},
    };
    QByteArray statements;
    for (const QString &schema : schemas) {
        const QByteArray in = '\'' + schema.toLatin1() + '\'';
        for (const auto &question : questions)
            statements += "SELECT " + in + ", '" + question[0] + "', " + question[1] +
                          " FROM information_schema." + question[2] + " WHERE " + question[3] +
                          " = " + in + ";\n";
    }
    MariaDbClient::Rows rows;
    if (!client.query(statements, &rows, result))
        return false;
    catalogs->clear();
    for (const QString &schema : schemas) {
        DatabaseCatalog catalog;
        catalog.schema = schema;
        for (const QList<QByteArray> &row : qAsConst(rows)) {
            if (row.value(0) != schema.toLatin1())
                continue;
            const QByteArray kind = row.value(1);
            const QByteArray name = QByteArray::fromHex(row.value(2));
            if (kind == "schema") {
                catalog.exists = true;
                catalog.charset = row.value(2);
                catalog.collation = row.value(3);
            } else if (kind == "table") {
                catalog.tables << name;
            } else if (kind == "view") {
                catalog.views << name;
            } else if (kind == "trigger") {
                catalog.triggers << name;
            } else if (kind == "event") {
                catalog.events << name;
            } else if (kind == "routine") {
                catalog.routines << qMakePair(row.value(3), name);
            }
        }
        catalogs->append(catalog);
    }
    return true;
}

QByteArray DatabaseCatalog::name(const QByteArray &object) const
{
    return quotedName(schema.toLatin1()) + '.' + quotedName(object);
}

bool DatabaseCatalog::hasPrograms() const
{
    return !triggers.isEmpty() || !events.isEmpty() || !routines.isEmpty();
}

QByteArray DatabaseCatalog::dropObjects() const
{
    QByteArray statements = dropTriggers();
    for (const QByteArray &view : views)
        statements += "DROP VIEW IF EXISTS " + name(view) + ";\n";
    for (const QByteArray &event : events)
        statements += "DROP EVENT IF EXISTS " + name(event) + ";\n";
    for (const auto &routine : routines) {
        // A package's body goes with the package.
        if (routine.first != "PACKAGE BODY")
            statements += "DROP " + routine.first + " IF EXISTS " + name(routine.second) + ";\n";
    }
    return statements;
}

QByteArray DatabaseCatalog::dropTriggers() const
{
    QByteArray statements;
    for (const QByteArray &trigger : triggers)
        statements += "DROP TRIGGER IF EXISTS " + name(trigger) + ";\n";
    return statements;
}

bool DatabaseCatalog::namesAreQuotable(QByteArray *odd) const
{
    QList<QByteArray> all = tables + views + triggers + events;
    for (const auto &routine : routines)
        all << routine.second;
    for (const QByteArray &object : all) {
        if (std::any_of(object.cbegin(), object.cend(),
                        [](char c) { return uchar(c) < 0x20 || uchar(c) == 0x7f; })) {
            *odd = object;
            return false;
        }
    }
    return true;
}
