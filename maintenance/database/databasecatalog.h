#ifndef DATABASECATALOG_H
#define DATABASECATALOG_H

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class MariaDbClient;
struct CommandResult;

// What one database of the server holds, by name: the tables a rename moves (sequences
// too), and the views, triggers, routines and events it does not. Names are read as the
// server's bytes (through HEX()), so any name survives the client's output.
class DatabaseCatalog
{
public:
    // The catalogs of `schemas`, in their order, read in one run of the client.
    static bool read(MariaDbClient &client, const QStringList &schemas,
                     QList<DatabaseCatalog> *catalogs, CommandResult *result);

    QString schema;
    bool exists = false;
    QByteArray charset;
    QByteArray collation;
    QList<QByteArray> tables;
    QList<QByteArray> views;
    QList<QByteArray> triggers;
    QList<QByteArray> events;
    QList<QPair<QByteArray, QByteArray>> routines; // type, name

    // `object` of this database, quoted.
    QByteArray name(const QByteArray &object) const;
    // Triggers, routines or events: what mysqldump writes with --no-create-info.
    bool hasPrograms() const;
    // Statements that drop every object but the tables, or only the triggers.
    QByteArray dropObjects() const;
    QByteArray dropTriggers() const;
    // False, with the name in `odd`, when a name holds a byte that could end what the client
    // takes for a quoted name (a control byte).
    bool namesAreQuotable(QByteArray *odd) const;
};

#endif
