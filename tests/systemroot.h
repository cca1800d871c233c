#ifndef SYSTEMROOT_H
#define SYSTEMROOT_H

#include "panel/sendordertoprinter_test.h"

#include <QByteArray>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <unistd.h>

// A temporary folder that stands for the device's "/": opt/, mnt/usb/, dev/ and run/lock/. The
// stick is a tmpfs mounted on mnt/usb, which is only done inside the private mount namespace that
// tests/mountns.sh opens (the machine never sees it).
class TestSystemRoot
{
public:
    TestSystemRoot()
    {
        QDir root(m_dir.path());
        root.mkpath(QStringLiteral("opt"));
        root.mkpath(QStringLiteral("mnt/usb"));
        root.mkpath(QStringLiteral("dev"));
        // Where the lock of the maintenance actions lies, as on every device.
        root.mkpath(QStringLiteral("run/lock"));
    }
    ~TestSystemRoot() { unmountStick(); }

    QString path() const { return m_dir.path(); }
    QString file(const QString &relative) const { return path() + QLatin1Char('/') + relative; }
    bool isValid() const { return m_dir.isValid(); }

    // Writes a file below the root, with the folders on its way.
    void writeFile(const QString &relative, const QByteArray &content) const
    {
        const QString path = file(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(content);
    }

    // A plain file is enough: only the node's existence counts.
    bool plugNode(char letter = 'a') const
    {
        QFile node(file(QStringLiteral("dev/sd") + QLatin1Char(letter)));
        return node.open(QIODevice::WriteOnly);
    }
    void unplugNodes() const
    {
        for (char letter = 'a'; letter <= 'z'; ++letter)
            QFile::remove(file(QStringLiteral("dev/sd") + QLatin1Char(letter)));
    }

    // Why no stick can be mounted here, or "" when it can.
    static QString namespaceProblem()
    {
        const QByteArray outer = qgetenv("PANEL_OUTER_MNT_NS");
        if (outer.isEmpty())
            return QStringLiteral("not started by tests/mountns.sh in a private mount namespace");
        char own[64] = {};
        if (::readlink("/proc/self/ns/mnt", own, sizeof own - 1) < 0 || outer == own)
            return QStringLiteral("still in the machine's mount namespace");
        return QString();
    }

    // The date of the set on the stick, from its manifest, as the panel's questions show it
    // (local time); "" without one.
    QString setDate() const
    {
        QFile manifest(file(QStringLiteral("mnt/usb/BackupData/manifest.mtree")));
        if (!manifest.open(QIODevice::ReadOnly))
            return QString();
        for (const QByteArray &line : manifest.readAll().split('\n')) {
            if (line.startsWith("# created "))
                return QDateTime::fromString(QString::fromLatin1(line.mid(10)), Qt::ISODate)
                    .toLocalTime()
                    .toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        }
        return QString();
    }

    bool mountStick()
    {
        if (m_mounted)
            return true;
        if (!namespaceProblem().isEmpty())
            return false;
        m_mounted = QProcess::execute(QStringLiteral("mount"),
                                      {QStringLiteral("-t"), QStringLiteral("tmpfs"),
                                       QStringLiteral("-o"), QStringLiteral("size=512m"),
                                       QStringLiteral("panelstick"), file("mnt/usb")}) == 0;
        return m_mounted;
    }
    void unmountStick()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {file("mnt/usb")});
        m_mounted = false;
    }

    // A stick that can be pulled while it is in use: a tmpfs of its own on stickfs/, bound
    // onto mnt/usb, so that after a lazy unmount of mnt/usb its files stay reachable through
    // stickfs/. Returns stickfs/, or "" when it cannot be mounted.
    QString mountPullableStick()
    {
        unmountStick();
        if (!namespaceProblem().isEmpty())
            return QString();
        const QString stickFs = file(QStringLiteral("stickfs"));
        const QStringList tmpfs{"-t", "tmpfs", "-o", "size=256m", "pulled", stickFs};
        const QStringList bind{"--bind", stickFs, file("mnt/usb")};
        if (!QDir().mkpath(stickFs) || QProcess::execute(QStringLiteral("mount"), tmpfs) != 0 ||
            QProcess::execute(QStringLiteral("mount"), bind) != 0)
            return QString();
        return stickFs;
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

// The entries of a snapshot of the root (TreeSnapshot::entries()) less the lock that every
// maintenance action takes and lets go, writing into it as it does.
template <typename Entries> Entries withoutLock(Entries entries)
{
    entries.remove("run/lock");
    entries.remove("run/lock/servicepanel.lock");
    return entries;
}

// Why a test that mounts a stick and uses the throwaway MariaDB server (of the mariadb
// fixture, through HOME/.my.cnf) cannot run here, or "" when it can.
inline QString missingStickOrServer()
{
    const QString problem = TestSystemRoot::namespaceProblem();
    if (!problem.isEmpty())
        return QStringLiteral("no private mount namespace for the stick (") + problem +
               QLatin1Char(')');
    if (qEnvironmentVariable("PANEL_TEST_MARIADB_DIR").isEmpty())
        return QStringLiteral("no throwaway MariaDB server: run through ctest (the mariadb "
                              "fixture)");
    if (!QFile::exists(QDir::homePath() + QLatin1String("/.my.cnf")))
        return QStringLiteral("HOME has no .my.cnf");
    return QString();
}

// A shown panel whose maintenance paths all lie below the temporary root; runner nullptr
// keeps the real shell.
inline std::unique_ptr<sendordertoprinter_test> makeRootedPanel(const TestSystemRoot &root,
                                                                CommandRunner *runner = nullptr)
{
    auto panel = std::make_unique<sendordertoprinter_test>();
    panel->setCommandRunner(runner);
    panel->setSystemRoot(root.path());
    panel->show();
    return panel;
}

// Every click on the backup page goes through here: the machine's own root is never a
// place for a maintenance action, whatever a test got wrong.
inline void clickMaintenance(sendordertoprinter_test *panel, const char *button)
{
    const QString root = panel->systemRoot();
    if (root.isEmpty() || QFileInfo(root).canonicalFilePath() == QLatin1String("/") ||
        QFileInfo(root).canonicalFilePath().isEmpty())
        qFatal("refusing to click %s: the panel's system root \"%s\" is the machine's own", button,
               qPrintable(root));
    auto *target = panel->findChild<QPushButton *>(QString::fromLatin1(button));
    if (!target)
        qFatal("no button %s on the panel", button);
    QTest::mouseClick(target, Qt::LeftButton);
}

#endif
