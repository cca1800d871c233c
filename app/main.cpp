#include "app/commandline.h"
#include "app/language.h"
#include "app/mainwindow.h"
#include "app/startup.h"
#include "panel/sendordertoprinter_test.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDebug>
#include <QTimer>

#include <cstdio>
#include <cstring>

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    PanelCommandLine line(arguments);
    if (line.helpRequested() || line.versionRequested()) {
        // Printed without a display: no GUI application is made.
        QCoreApplication app(argc, argv);
        line.showHelpOrVersion();
    }

    const ToolkitArguments toolkit =
        buildToolkitArguments(argc, argv, isDisplaySwaped, qgetenv("QT_QPA_PLATFORM"));
    cmdLine = toolkit.arguments;

    const StartOptions options = parseStartOptions(cmdLine);
    if (!options.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(options.error));
        return 2;
    }
    const LanguageOption language = parseLanguageOption(cmdLine);
    if (!language.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(language.error));
        return 2;
    }
    const SystemRootCheck root =
        checkSystemRoot(qgetenv("PANEL_SYSROOT"), qEnvironmentVariableIsSet("PANEL_SYSROOT"));
    if (!root.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(root.error));
        return 2;
    }

    // The application keeps pointers into the vector for the whole run, so it is never
    // released. The extra null entry after the argc + 4 counted ones is what Qt 5/6 expect.
    int newArgc = argc + 4;
    char **newArgv = new char *[newArgc + 1];
    for (int i = 0; i < newArgc; ++i)
        newArgv[i] = i < argc ? argv[i] : strdup(toolkit.entries[i].constData());
    newArgv[newArgc] = nullptr;
    for (const QString &line : toolkitTraceLines(toolkit.entries))
        qDebug("%s", qPrintable(line));

    // The toolkit takes the last "-platform" of the vector: the one appended above.
    drawAsDevice(toolkit.entries.back());

    QApplication app(newArgc, newArgv);
    // Qt 5 and 6 already read tr() texts and 8-bit literals as UTF-8: no codec to install.
    installApplicationFont();

    const QString chosen = chooseLanguage(language, QLocale::system());
    const QString reason = language.language.isEmpty()
                               ? QLatin1String("the locale ") + QLocale::system().name()
                               : QStringLiteral("--lang");
    qDebug("language: %s (from %s)", qPrintable(chosen), qPrintable(reason));
    if (!installLanguage(chosen))
        qWarning("language: the translation %s cannot be loaded: English", qPrintable(chosen));

    MainWindow window;
    sendordertoprinter_test *panel = window.panel();
    panel->setSystemRoot(root.root);
    panel->setCurrentPage(startPageIndex(options.page));
    // Once the panel is on screen.
    QTimer::singleShot(0, panel, [panel] { panel->warnOfUnfinishedRestore(); });
    return app.exec();
}
