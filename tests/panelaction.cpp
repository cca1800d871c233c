// panelaction ROOT BUTTON: a second panel on the same device, as a technician at another
// terminal would use it. Opens the panel on the system root ROOT (the machine's own root is
// refused), with the device's own command runner, prints "ready", clicks BUTTON, confirms
// every question, and prints each box it closes as one line, "box TITLE: TEXT" (line breaks
// as " / "), then "done".
#include "panel/sendordertoprinter_test.h"

#include "modalcloser.h"
#include "systemroot.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: panelaction ROOT BUTTON\n");
        return 2;
    }
    sendordertoprinter_test panel;
    panel.setSystemRoot(QFile::decodeName(argv[1]));
    panel.show();
    std::printf("ready\n");
    std::fflush(stdout);
    ModalCloser closer;
    clickMaintenance(&panel, argv[2]);
    for (const ModalCloser::Box &box : closer.boxes)
        std::printf("box %s: %s\n", qPrintable(box.title),
                    qPrintable(QString(box.text).replace(QLatin1Char('\n'), QLatin1String(" / "))));
    std::printf("done\n");
    return 0;
}
