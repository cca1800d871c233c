#ifndef BENCHDATA_H
#define BENCHDATA_H

// The device data the maintenance benchmarks work on, made the same way for each of them:
// an /opt tree of many small files and some images, and the databases appdb and Misc in a
// throwaway MariaDB server (reached through HOME/.my.cnf, as tests/mysqlclient.h does).

#include "tests/mysqlclient.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <cstring>

namespace BenchData {

// `files` label files of 200 to 4,000 bytes, 100 to a folder, under <opt>/Brevin/data, and
// `imageBytes` of images that do not compress (512 KB each) under <opt>/Brevin/images.
inline bool makeTree(const QString &opt, int files = 10000, qint64 imageBytes = 20 << 20)
{
    const int perFolder = 100;
    for (int i = 0; i < files; ++i) {
        const QString folder = QStringLiteral("%1/Brevin/data/%2").arg(opt).arg(i / perFolder);
        if (i % perFolder == 0 && !QDir().mkpath(folder))
            return false;
        QFile file(QStringLiteral("%1/label-%2.prn").arg(folder).arg(i));
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(QByteArray(200 + (i * 37) % 3800, char('A' + i % 26)));
    }
    const QString images = opt + QStringLiteral("/Brevin/images");
    if (!QDir().mkpath(images))
        return false;
    const int imageSize = 512 * 1024;
    quint32 state = 2463534242u;
    for (int i = 0; qint64(i) * imageSize < imageBytes; ++i) {
        QByteArray image(imageSize, '\0');
        for (int at = 0; at < imageSize; at += 4) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            std::memcpy(image.data() + at, &state, 4);
        }
        QFile file(QStringLiteral("%1/photo-%2.bmp").arg(images).arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
            return false;
    }
    return true;
}

// appdb.sales with `rows` rows and a trigger, Misc.settings with 100 rows.
inline bool makeDatabases(int rows = 300000)
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

// True when the mysql client reaches a throwaway server, not the machine's own.
inline bool throwawayServer()
{
    QByteArray datadir;
    return sql("SELECT @@datadir;", QString(), &datadir) && !datadir.startsWith("/var/lib/mysql");
}

} // namespace BenchData

#endif
