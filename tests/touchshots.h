#ifndef TOUCHSHOTS_H
#define TOUCHSHOTS_H

#include "dialogs/messagedialog.h"
#include "dialogs/myprogressdialog.h"
#include "dialogs/numerickeypad.h"
#include "dialogs/outcomebox.h"
#include "panel/jobprogressdisplay.h"
#include "panel/sendordertoprinter_test.h"

#include "testutil.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QTest>

// Pictures of what opens over the panel, as the device shows it: the keypad over the printer
// page, a failure and a success box, the Clear Data question and a Backup's progress over the
// backup page.
// `suffix` ends each name ("" or "-zh_CN"). The panel must be shown, 800 x 480.
namespace TouchShots {

inline QString panelTr(const char *text)
{
    return QCoreApplication::translate("sendordertoprinter_test", text);
}

inline void waitExposed(QWidget *widget)
{
    if (!QTest::qWaitForWindowExposed(widget))
        qWarning("%s was not exposed", qPrintable(widget->objectName()));
}

// The panel with `over` drawn where it stands on the screen.
inline void saveOver(sendordertoprinter_test *panel, QWidget *over, const QString &name)
{
    QApplication::processEvents();
    QPixmap picture = panel->grab();
    {
        QPainter painter(&picture);
        painter.drawPixmap(over->frameGeometry().topLeft() - panel->frameGeometry().topLeft(),
                           over->grab());
    }
    const QString dir = qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath());
    QDir().mkpath(dir);
    picture.save(dir + QLatin1Char('/') + name + QLatin1String(".png"));
}

inline void saveAll(sendordertoprinter_test *panel, const QString &suffix)
{
    QApplication::setActiveWindow(panel);
    panel->setCurrentPage(1);
    {
        auto *selector = panel->findChild<QComboBox *>(QStringLiteral("comboBox"));
        NumericKeypad keypad(selector->currentText(), QStringLiteral("300"), panel);
        keypad.show();
        waitExposed(&keypad);
        saveOver(panel, &keypad, QLatin1String("keypad") + suffix);
    }
    panel->setCurrentPage(2);
    {
        const QString fail = panelTr("Fail");
        OutcomeBox box(OutcomeBox::Kind::Failure, fail, fail, panelTr("Please insert U disk!"),
                       panel);
        box.show();
        waitExposed(&box);
        saveOver(panel, &box, QLatin1String("box-failure") + suffix);
    }
    {
        const QString text = panelTr("Backup Ok") + QLatin1Char('\n') +
                             panelTr("%1 files, %2").arg(1234).arg(QStringLiteral("56.7 MB"));
        OutcomeBox box(OutcomeBox::Kind::Success, panelTr(" "), panelTr("Backup"), text, panel);
        box.show();
        waitExposed(&box);
        saveOver(panel, &box, QLatin1String("box-success") + suffix);
    }
    {
        messagedialog question(
            panelTr("Clear Data"),
            panelTr("Delete the databases appdb and Misc and the folder %1? This cannot be "
                    "undone.")
                .arg(QStringLiteral("/opt/Brevin")),
            nullptr, panelTr("Cancel"), panelTr("Confirm"), true);
        question.setFont(QFont(QStringLiteral("DejaVu Sans"), 30));
        question.setGeometry(messagedialog::geometryFor(panel->size(), true)
                                 .translated(panel->frameGeometry().topLeft()));
        question.show();
        waitExposed(&question);
        saveOver(panel, &question, QLatin1String("question") + suffix);
    }
    {
        // Drawn inside the panel, as the slots show it; 20 s into a Backup, at its last dump.
        MyProgressDialog dialog(panelTr("Backup..."), panel);
        dialog.setWindowFlags(Qt::WindowStaysOnTopHint);
        qint64 now = 0;
        JobProgressDisplay display(dialog, [&now] { return now; });
        dialog.show();
        JobProgress progress;
        progress.step = JobProgress::Step::WritingDump;
        progress.name = QStringLiteral("Misc");
        progress.total = qint64(100) << 20;
        display.update(progress);
        now = 20000;
        progress.done = qint64(70) << 20;
        display.update(progress);
        QApplication::processEvents();
        panel->grab().save(qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath()) +
                           QLatin1String("/progress") + suffix + QLatin1String(".png"));
    }
}

} // namespace TouchShots

#endif
