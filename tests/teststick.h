#ifndef TESTSTICK_H
#define TESTSTICK_H

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QString>

#include <sys/stat.h>

// A USB stick for the tests, mounted on a folder inside the private mount namespace of
// tests/mountns.sh: a tmpfs, a FAT image through Debian's fusefat, or an exFAT image on a
// loop device through exfat-fuse. The image lives in `work`; the loop device is detached
// again when the stick goes.
class TestStick
{
public:
    enum class Kind { Tmpfs, Fat, Exfat };

    TestStick(Kind kind, const QString &mountPoint, const QString &work, qint64 megabytes = 512)
        : m_kind(kind), m_mountPoint(mountPoint), m_work(work), m_megabytes(megabytes)
    {
    }
    ~TestStick() { unmount(); }

    static QString name(Kind kind)
    {
        return kind == Kind::Tmpfs ? QStringLiteral("tmpfs")
               : kind == Kind::Fat ? QStringLiteral("FAT")
                                   : QStringLiteral("exFAT");
    }

    // Why this kind of stick cannot be made here, or "" when it can.
    static QString missingTool(Kind kind)
    {
        const QStringList tools = kind == Kind::Tmpfs ? QStringList{"mount"}
                                  : kind == Kind::Fat
                                      ? QStringList{"fusefat", "mkfs.vfat"}
                                      : QStringList{"mount.exfat-fuse", "mkfs.exfat", "losetup"};
        for (const QString &tool : tools) {
            if (QStandardPaths::findExecutable(tool).isEmpty() &&
                QStandardPaths::findExecutable(tool, {"/sbin", "/usr/sbin"}).isEmpty())
                return tool + QStringLiteral(" is not installed");
        }
        if (kind != Kind::Tmpfs && !QFile::exists(QStringLiteral("/dev/fuse")))
            return QStringLiteral("no /dev/fuse");
        return QString();
    }

    bool mount(const QStringList &options = {})
    {
        if (m_mounted)
            return true;
        QDir().mkpath(m_mountPoint);
        const QString image = m_work + QStringLiteral("/stick.img");
        if (m_kind == Kind::Tmpfs) {
            QString opts = QStringLiteral("size=%1m").arg(m_megabytes);
            for (const QString &option : options)
                opts += QLatin1Char(',') + option;
            m_mounted = run("mount", {"-t", "tmpfs", "-o", opts, "panelstick", m_mountPoint});
            return m_mounted;
        }
        if (!QFile::exists(image)) {
            QFile file(image);
            if (!file.open(QIODevice::WriteOnly) || !file.resize(m_megabytes << 20))
                return false;
            file.close();
            const bool made = m_kind == Kind::Fat
                                  ? run("mkfs.vfat", {"-F", "32", "-n", "PANELSTICK", image})
                                  : run("mkfs.exfat", {"-L", "PANELSTICK", image});
            if (!made)
                return false;
        }
        if (m_kind == Kind::Fat) {
            m_mounted =
                run("fusefat", {"-o", options.contains("ro") ? "ro" : "rw+", image, m_mountPoint});
            return m_mounted;
        }
        QProcess losetup;
        losetup.start(QStringLiteral("losetup"), {"-f", "--show", image});
        if (!losetup.waitForFinished(30000) || losetup.exitCode() != 0)
            return false;
        m_loop = QString::fromLocal8Bit(losetup.readAllStandardOutput().trimmed());
        QStringList arguments;
        if (!options.isEmpty())
            arguments << "-o" << options.join(QLatin1Char(','));
        arguments << m_loop << m_mountPoint;
        m_mounted = run("mount.exfat-fuse", arguments);
        if (!m_mounted)
            detach();
        return m_mounted;
    }

    void unmount()
    {
        if (m_mounted)
            run("umount", {m_mountPoint});
        m_mounted = false;
        detach();
    }

    QString mountPoint() const { return m_mountPoint; }
    bool isMountPoint() const
    {
        struct stat own;
        struct stat above;
        return ::stat(QFile::encodeName(m_mountPoint).constData(), &own) == 0 &&
               ::stat(QFile::encodeName(m_mountPoint + "/..").constData(), &above) == 0 &&
               own.st_dev != above.st_dev;
    }
    Kind kind() const { return m_kind; }

private:
    void detach()
    {
        if (!m_loop.isEmpty())
            run("losetup", {"-d", m_loop});
        m_loop.clear();
    }

    static bool run(const char *program, const QStringList &arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(QString::fromLatin1(program), arguments);
        if (!process.waitForFinished(120000))
            return false;
        if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
            qWarning("%s failed: %s", program, process.readAll().constData());
            return false;
        }
        return true;
    }

    Kind m_kind;
    QString m_mountPoint;
    QString m_work;
    qint64 m_megabytes;
    QString m_loop;
    bool m_mounted = false;
};

#endif
