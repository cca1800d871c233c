#ifndef PRINTERSIMPROCESS_H
#define PRINTERSIMPROCESS_H

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include "ownprogram.h"

// One printer simulator (tools/printersim) for a test or a benchmark: started as a child
// process and stopped through that process only. Every frame it receives goes to a log
// that frames() reads back. The user defines PRINTERSIM_EXE.
class PrinterSimProcess
{
public:
    PrinterSimProcess() = default;
    ~PrinterSimProcess() { stop(); }

    // Starts the simulator with these options and an empty log; false when it does not
    // come up.
    bool start(const QStringList &options = {})
    {
        stop();
        QFile::remove(logPath());
        if (!m_process.start(QStringLiteral(PRINTERSIM_EXE),
                             QStringList(options) << QStringLiteral("--log") << logPath()))
            return false;
        m_portPath = QString::fromLocal8Bit(m_process.waitForFirstLine(10000).trimmed());
        return !m_portPath.isEmpty();
    }

    // SIGTERM: the simulator removes its link and exits.
    void stop() { m_process.terminate(); }

    // SIGKILL: the printer vanishes without a word, its link left behind.
    void kill() { m_process.kill(); }

    QString portPath() const { return m_portPath; }
    // A path in the simulator's own temporary folder, such as a place for --link.
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    QString logPath() const { return m_dir.filePath(QStringLiteral("frames.log")); }

    // The frames received so far, one line each, as "aa e2 00 00".
    QStringList frames() const
    {
        QFile file(logPath());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir m_dir;
    OwnProgram m_process{OwnProgram::ForwardErrors};
    QString m_portPath;
};

#endif
