#ifndef BENCHTREE_H
#define BENCHTREE_H

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

// The /opt of the benchmarks: `files` files of 200 to 4,000 bytes, 100 to a folder, below
// `root`/Brevin/data.
inline void makeTree(const QString &root, int files)
{
    const int perFolder = 100;
    for (int i = 0; i < files; ++i) {
        const QString folder = QStringLiteral("%1/Brevin/data/%2").arg(root).arg(i / perFolder);
        if (i % perFolder == 0)
            QDir().mkpath(folder);
        QFile file(QStringLiteral("%1/label-%2.prn").arg(folder).arg(i));
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(200 + (i * 37) % 3800, char('A' + i % 26)));
    }
}

#endif
