#ifndef PRINTERSIMPROCESS_H
#define PRINTERSIMPROCESS_H

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// One printer simulator (tools/printersim) for a test or a benchmark: started as a child
// process and stopped through that process only. Every frame it receives goes to a log
// that frames() reads back. The user defines PRINTERSIM_EXE.
class PrinterSimProcess
{
public:
    PrinterSimProcess() { m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel); }
    ~PrinterSimProcess() { stop(); }

    // Starts the simulator with these options and an empty log; false when it does not
    // come up.
    bool start(const QStringList &options = {})
    {
        stop();
        QFile::remove(logPath());
        m_process.start(QStringLiteral(PRINTERSIM_EXE),
                        QStringList(options) << QStringLiteral("--log") << logPath());
        if (!m_process.waitForStarted(5000))
            return false;
        while (!m_process.canReadLine()) {
            if (!m_process.waitForReadyRead(5000))
                return false;
        }
        m_portPath = QString::fromLocal8Bit(m_process.readLine().trimmed());
        return !m_portPath.isEmpty();
    }

    // SIGTERM: the simulator removes its link and exits.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    // SIGKILL: the printer vanishes without a word, its link left behind.
    void kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.kill();
        m_process.waitForFinished(5000);
    }

    QString portPath() const { return m_portPath; }
    QProcess &process() { return m_process; }
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
    QProcess m_process;
    QString m_portPath;
};

#endif
