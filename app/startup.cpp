#include "app/startup.h"

#include "app/commandline.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFont>
#include <QRegularExpression>

bool isDisplaySwaped = false;
bool isDoubleTouchScreen = false;
QStringList cmdLine;

void getUBootCmd(const QString &path)
{
    isDisplaySwaped = false;
    isDoubleTouchScreen = false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray content = file.readAll();
    if (content.contains("DISPLAY_SWAP"))
        isDisplaySwaped = true;
    if (content.contains("DOUBLE_TOUCHSCREEN"))
        isDoubleTouchScreen = true;
    file.close();
}

ToolkitArguments buildToolkitArguments(int argc, const char *const *argv, bool displaySwapped,
                                       const QByteArray &qpaPlatform)
{
    ToolkitArguments result;
    for (int i = 0; i < argc; ++i)
        result.entries.emplace_back(argv[i]);
    for (int i = 1; i < argc; ++i) {
        // Latin-1, as the C-string conversion stood before any codec was installed.
        const QString argument = QString::fromLatin1(argv[i]);
        if (argument.contains(QLatin1String("Multi")))
            result.multi = true;
        result.arguments.append(argument);
    }

    // linuxfb drives a single framebuffer, so the two-screen choice keeps only fb2.
    QByteArray display = "linuxfb:fb=/dev/fb0";
    if (displaySwapped)
        display = "linuxfb:fb=/dev/fb2";
    if (!qpaPlatform.isEmpty())
        display = qpaPlatform;

    result.entries.emplace_back("-font");
    result.entries.emplace_back("unifont");
    result.entries.emplace_back("-platform");
    result.entries.push_back(display);
    return result;
}

QStringList toolkitTraceLines(const std::vector<QByteArray> &entries)
{
    QStringList lines;
    for (std::size_t j = 0; j < 4 && j < entries.size(); ++j)
        lines << QStringLiteral("new_argv= \"%1\" ").arg(QString::fromLatin1(entries[j]));
    return lines;
}

void installApplicationFont()
{
    QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 15));
}

int startPageIndex(StartPage page)
{
    switch (page) {
    case StartPage::Start:
        return 0;
    case StartPage::Printer:
        return 1;
    case StartPage::Backup:
        break;
    }
    return 2;
}

StartOptions parseStartOptions(const QStringList &arguments)
{
    StartOptions options;
    const PanelCommandLine line(arguments);
    QStringList values = line.pages();
    if (line.missingValue() == QLatin1String("page"))
        values << QString();
    for (const QString &value : values) {
        if (value == QLatin1String("backup")) {
            options.page = StartPage::Backup;
        } else if (value == QLatin1String("printer")) {
            options.page = StartPage::Printer;
        } else if (value == QLatin1String("start")) {
            options.page = StartPage::Start;
        } else {
            options.ok = false;
            options.error = QStringLiteral("servicepanel: unknown page \"%1\"; "
                                           "--page= takes backup, printer or start")
                                .arg(value);
            return options;
        }
    }
    return options;
}

SystemRootCheck checkSystemRoot(const QByteArray &value, bool isSet)
{
    SystemRootCheck check;
    if (!isSet)
        return check;
    const QString root = QString::fromLocal8Bit(value);
    // Anchored as a whole: "$" alone would also match before a final newline.
    static const QRegularExpression allowed(
        QRegularExpression::anchoredPattern(QStringLiteral("/[A-Za-z0-9/._-]*")));
    if (!allowed.match(root).hasMatch()) {
        // One line on standard error, whatever the value holds.
        QString shown;
        for (const QChar c : root)
            shown += c.unicode() < 0x20
                         ? QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'))
                         : QString(c);
        check.ok = false;
        check.error = QStringLiteral("servicepanel: PANEL_SYSROOT must be an absolute path made "
                                     "of letters, digits and \"/._-\" only: \"%1\"")
                          .arg(shown);
        return check;
    }
    if (!QFileInfo(root).isDir()) {
        check.ok = false;
        check.error =
            QStringLiteral("servicepanel: PANEL_SYSROOT is not an existing folder: \"%1\"")
                .arg(root);
        return check;
    }
    // "..", "." and links resolved: what the maintenance actions would really act on.
    const QString canonical = QFileInfo(root).canonicalFilePath();
    if (canonical.isEmpty() || canonical == QLatin1String("/")) {
        check.ok = false;
        check.error = QStringLiteral("servicepanel: PANEL_SYSROOT resolves to the machine's own "
                                     "root \"/\": \"%1\"; leave it unset for that")
                          .arg(root);
        return check;
    }
    if (!allowed.match(canonical).hasMatch()) {
        check.ok = false;
        check.error = QStringLiteral("servicepanel: PANEL_SYSROOT resolves to \"%1\", which is "
                                     "not made of letters, digits and \"/._-\" only")
                          .arg(canonical);
        return check;
    }
    check.root = canonical;
    return check;
}

bool userSizesDrawing(const QByteArray &platformSpec)
{
    for (const char *name :
         {"QT_FONT_DPI", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS", "QT_USE_PHYSICAL_DPI"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    // The platform's options follow its name, each after a colon.
    const QList<QByteArray> options = platformSpec.split(':');
    for (int i = 1; i < options.size(); ++i) {
        if (options.at(i).startsWith("mmsize="))
            return true;
    }
    return false;
}

bool drawAsDevice(const QByteArray &platformSpec)
{
    if (userSizesDrawing(platformSpec))
        return false;
    qputenv("QT_FONT_DPI", "72");
    return true;
}
