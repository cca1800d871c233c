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

// Reads "--page=backup|printer|start" (or "--page printer") from the caller's arguments
// (argv[1] on); the last one counts, the first wrong one is refused.
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

// Drawing as the device draws. Qt 4's framebuffer driver drew one point as one pixel
// (72 dpi) and the form's point sizes are made for that; Qt 5 and 6 assume 96 or 100 dpi.
// The user sizes the drawing when QT_FONT_DPI, QT_SCALE_FACTOR, QT_SCREEN_SCALE_FACTORS or
// QT_USE_PHYSICAL_DPI is set (not empty), or the platform specification holds "mmsize=".
bool userSizesDrawing(const QByteArray &platformSpec);

// Unless the user sizes the drawing, sets QT_FONT_DPI to 72 for the toolkit about to
// start: every platform honours it, for fonts, at a device-pixel ratio of 1. Call it
// before the application object exists. Returns whether it set the variable.
bool drawAsDevice(const QByteArray &platformSpec);

#endif
