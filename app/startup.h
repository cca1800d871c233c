#ifndef STARTUP_H
#define STARTUP_H

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

extern bool isDisplaySwaped;
extern bool isDoubleTouchScreen;
extern QStringList cmdLine;

// Sets isDisplaySwaped and isDoubleTouchScreen from the kernel command line.
void getUBootCmd(const QString &path = QStringLiteral("/proc/cmdline"));

struct ToolkitArguments
{
    std::vector<QByteArray> entries; // argc + 4 entries: the caller's, then the appended four
    QStringList arguments;           // the caller's own arguments from argv[1] on
    bool multi = false;              // some argument from argv[1] on contains "Multi"
};

// The toolkit's argument vector: the caller's arguments, then "-font" "unifont"
// "-platform" and the framebuffer to draw on. A non-empty qpaPlatform (the value of
// QT_QPA_PLATFORM) takes the framebuffer's place, so the panel also runs off the device.
ToolkitArguments buildToolkitArguments(int argc, const char *const *argv, bool displaySwapped,
                                       const QByteArray &qpaPlatform);

// The four start-up trace lines: the first four entries of the vector.
QStringList toolkitTraceLines(const std::vector<QByteArray> &entries);

// The program's font, "DejaVu Sans" 15 pt, for every widget.
void installApplicationFont();

enum class StartPage { Backup, Printer, Start };

struct StartOptions
{
    bool ok = true;
    StartPage page = StartPage::Backup;
    QString error; // one line for standard error when ok is false
};

// The page index of the panel's page stack for a start page.
int startPageIndex(StartPage page);

// Reads "--page=backup|printer|start" from the caller's arguments (argv[1] on).
StartOptions parseStartOptions(const QStringList &arguments);

struct SystemRootCheck
{
    bool ok = true;
    QString root;
    QString error;
};

// PANEL_SYSROOT: an existing absolute folder made of letters, digits and "/._-" only (the
// whole value: a trailing newline fails), made canonical (links, "." and ".." resolved), and
// refused when that is "/": a test or demo root must never be the machine's own. Unset means
// the device's own root ("").
SystemRootCheck checkSystemRoot(const QByteArray &value, bool isSet);

#endif
