#ifndef SCRATCHFOLDER_H
#define SCRATCHFOLDER_H

#include "maintenance/fs/uniquefd.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <vector>

#include <fcntl.h>

// A temporary folder for the engine's unit tests: files written and read by relative name,
// folders opened by descriptor and kept open until it goes.
class ScratchFolder
{
public:
    bool isValid() const { return m_dir.isValid(); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    bool write(const QString &name, const QByteArray &text) const
    {
        QDir().mkpath(QFileInfo(path(name)).path());
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
    }
    QByteArray read(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
    }
    int open(const QString &name, int flags = O_RDONLY | O_DIRECTORY)
    {
        m_fds.emplace_back(::open(QFile::encodeName(path(name)).constData(), flags | O_CLOEXEC));
        return m_fds.back().get();
    }

private:
    QTemporaryDir m_dir;
    std::vector<UniqueFd> m_fds;
};

#endif
