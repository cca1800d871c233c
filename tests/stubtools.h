#ifndef STUBTOOLS_H
#define STUBTOOLS_H

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

// Stand-ins for the device's programs (mysql, mysqldump, poweroff): shell scripts in a folder
// of their own, put first on PATH while this object lives. Each is checked to be what the
// shell finds before a test goes on, so that nothing reaches the machine's own database
// server or powers it off; a stub that is not found ends the test program.
class StubTools
{
public:
    StubTools() : m_path(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_path);
    }
    ~StubTools() { qputenv("PATH", m_path); }
    StubTools(const StubTools &) = delete;
    StubTools &operator=(const StubTools &) = delete;

    QString dir() const { return m_dir.path(); }
    QString file(const QString &name) const { return m_dir.filePath(name); }

    // Writes the stub `name` running `script` (after "#!/bin/sh").
    void add(const QString &name, const QByteArray &script) const
    {
        const QString stub = file(name);
        QFile out(stub);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write the stub %s", qPrintable(stub));
        out.write("#!/bin/sh\n" + script + "\n");
        out.close();
        out.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QProcess shell;
        shell.start(QStringLiteral("/bin/sh"),
                    {QStringLiteral("-c"), QStringLiteral("command -v ") + name});
        shell.waitForFinished();
        const QString found = QString::fromLocal8Bit(shell.readAllStandardOutput().trimmed());
        if (found != stub || QStandardPaths::findExecutable(name) != stub)
            qFatal("%s resolves to %s, not to its stub: stopping before anything runs it",
                   qPrintable(name), qPrintable(found));
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_path;
};

#endif
