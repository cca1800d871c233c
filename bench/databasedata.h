#ifndef DATABASEDATA_H
#define DATABASEDATA_H

#include "tests/mysqlclient.h"

#include <QByteArray>
#include <QString>

// The databases the benchmarks restore, made on the throwaway server: appdb.sales with `rows`
// rows and a trigger, Misc.settings with 100.
inline bool makeData(int rows)
{
    if (!sql("DROP DATABASE IF EXISTS appdb; DROP DATABASE IF EXISTS Misc;"
             "CREATE DATABASE appdb; CREATE DATABASE Misc;"))
        return false;
    QByteArray statements =
        "CREATE TABLE sales (id INT PRIMARY KEY, amount DECIMAL(10,2), note VARCHAR(80), "
        "sold DATETIME) DEFAULT CHARSET=utf8mb4;\n";
    for (int id = 1; id <= rows;) {
        statements += "INSERT INTO sales VALUES ";
        for (int n = 0; n < 1000 && id <= rows; ++n, ++id)
            statements += (n ? "," : "") + QByteArray("(") + QByteArray::number(id) + "," +
                          QByteArray::number(id % 10000) + ".25,'K\xc3\xa4se Nr. " +
                          QByteArray::number(id * 7919 % 100000) + "','2026-12-10 12:00:00')";
        statements += ";\n";
    }
    statements += "CREATE TRIGGER sales_checked BEFORE INSERT ON sales FOR EACH ROW "
                  "SET NEW.note = TRIM(NEW.note);\n";
    if (!sql(QString::fromUtf8(statements), "appdb"))
        return false;
    QByteArray misc = "CREATE TABLE settings (k VARCHAR(50) PRIMARY KEY, v VARCHAR(200));\n";
    for (int i = 0; i < 100; ++i)
        misc += "INSERT INTO settings VALUES ('k" + QByteArray::number(i) + "', 'v');\n";
    return sql(QString::fromUtf8(misc), "Misc");
}

#endif
