#include "app/startup.h"
#include "dialogs/outcomebox.h"

#include "testutil.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QtTest>

// The box that closes an action, as the device shows it: no title bar, so the box itself says
// what happened; an OK for a finger; on the screen and centred on the panel.
class tst_outcomebox : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawAsDevice(qgetenv("QT_QPA_PLATFORM")); }

private slots:
    void initTestCase();
    void saysWhatHappened_data();
    void saysWhatHappened();
    void okForAFinger_data();
    void okForAFinger();
    void centredOnThePanel();
    void stickNamesAreNotMarkup();
    void okCloses();

private:
    static QImage iconImage(const OutcomeBox &box, QStyle::StandardPixmap which);
};

void tst_outcomebox::initTestCase()
{
    installApplicationFont();
}

QImage tst_outcomebox::iconImage(const OutcomeBox &box, QStyle::StandardPixmap which)
{
    const int extent = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
    return box.style()->standardIcon(which, nullptr, &box).pixmap(extent).toImage();
}

void tst_outcomebox::saysWhatHappened_data()
{
    QTest::addColumn<bool>("failure");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("heading");
    QTest::addColumn<QString>("text");

    QTest::newRow("failure") << true << "Fail"
                             << "Fail"
                             << "Please insert U disk!";
    QTest::newRow("success") << false << " "
                             << "Backup"
                             << "Backup Ok\n12 files, 3.4 KB";
}

void tst_outcomebox::saysWhatHappened()
{
    QFETCH(bool, failure);
    QFETCH(QString, title);
    QFETCH(QString, heading);
    QFETCH(QString, text);

    const OutcomeBox::Kind kind = failure ? OutcomeBox::Kind::Failure : OutcomeBox::Kind::Success;
    OutcomeBox box(kind, title, heading, text);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.windowTitle(), title);
    QCOMPARE(box.heading(), heading);
    QCOMPARE(box.text(), text);

    // The heading is the first line, in bold, above the text.
    auto *headingLabel = box.findChild<QLabel *>(QStringLiteral("outcome_heading"));
    auto *textLabel = box.findChild<QLabel *>(QStringLiteral("outcome_text"));
    QVERIFY(headingLabel && textLabel);
    QVERIFY(headingLabel->isVisible());
    QVERIFY(headingLabel->font().bold());
    QVERIFY(!textLabel->font().bold());
    QVERIFY(headingLabel->mapTo(&box, QPoint()).y() < textLabel->mapTo(&box, QPoint()).y());

    // The warning icon for a failure, the information icon for a success.
    auto *icon = box.findChild<QLabel *>(QStringLiteral("outcome_icon"));
    QVERIFY(icon);
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QImage shown = icon->pixmap().toImage();
#else
    const QImage shown = icon->pixmap()->toImage();
#endif
    const QImage warning = iconImage(box, QStyle::SP_MessageBoxWarning);
    const QImage information = iconImage(box, QStyle::SP_MessageBoxInformation);
    QVERIFY(warning != information);
    QCOMPARE(shown == warning, failure);
    QCOMPARE(shown == information, !failure);
    saveShot(&box, failure ? QStringLiteral("outcome-failure") : QStringLiteral("outcome-success"));
}

void tst_outcomebox::okForAFinger_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("short") << "Clear Data Ok ";
    QTest::newRow("empty") << "";
    QTest::newRow("long line")
        << "Not copied: /opt/Brevin/data/a-very-long-folder-name/and-a-longer-file-name-still.csv";
    QString lines;
    for (int i = 0; i < 200; ++i)
        lines +=
            QStringLiteral("Not copied: /opt/Brevin/data/file-%1.csv (Permission denied)\n").arg(i);
    QTest::newRow("more lines than the screen holds") << lines;
}

// At least 48 x 120 px, on the device's 800 x 480 (a 7-inch panel: 9 by 23 mm).
void tst_outcomebox::okForAFinger()
{
    QFETCH(QString, text);

    QWidget panel;
    panel.resize(800, 480);
    panel.show();
    QApplication::setActiveWindow(&panel);
    QVERIFY(QTest::qWaitForWindowActive(&panel));

    OutcomeBox box(OutcomeBox::Kind::Failure, "Fail", "Fail", text);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    const QList<QPushButton *> buttons = box.findChildren<QPushButton *>();
    QCOMPARE(buttons.size(), 1);
    QPushButton *ok = buttons.first();
    QVERIFY(ok->isVisible());
    QVERIFY2(ok->height() >= 48 && ok->width() >= 120,
             qPrintable(QStringLiteral("%1 x %2").arg(ok->width()).arg(ok->height())));
    // Whole on the panel, however long the text: a long one scrolls.
    QVERIFY2(panel.frameGeometry().contains(box.frameGeometry()),
             qPrintable(QStringLiteral("%1 x %2").arg(box.width()).arg(box.height())));
    QVERIFY(panel.frameGeometry().contains(ok->mapToGlobal(ok->rect().bottomRight())));
    auto *scroll = box.findChild<QScrollArea *>(QStringLiteral("outcome_scroll"));
    QVERIFY(scroll);
    QCOMPARE(scroll->isVisible(), !text.isEmpty());
    QCOMPARE(scroll->verticalScrollBar()->maximum() > 0, text.count(QLatin1Char('\n')) > 100);
}

void tst_outcomebox::centredOnThePanel()
{
    QWidget panel;
    panel.setGeometry(40, 30, 800, 480);
    panel.show();
    QApplication::setActiveWindow(&panel);
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    OutcomeBox box(OutcomeBox::Kind::Success, " ", "Restore", "Restore Ok\n3 files, 2 KB");
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QVERIFY2((box.geometry().center() - panel.geometry().center()).manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2 %3x%4 in %5,%6 %7x%8")
                            .arg(box.x())
                            .arg(box.y())
                            .arg(box.width())
                            .arg(box.height())
                            .arg(panel.x())
                            .arg(panel.y())
                            .arg(panel.width())
                            .arg(panel.height())));
}

void tst_outcomebox::stickNamesAreNotMarkup()
{
    const QString text =
        QStringLiteral("Not copied: /mnt/usb/<b>x</b><img src=\"/etc\"> (Permission denied)");
    OutcomeBox box(OutcomeBox::Kind::Failure, "Fail", "<i>Fail</i>", text);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    for (const char *name : {"outcome_heading", "outcome_text"})
        QCOMPARE(box.findChild<QLabel *>(QLatin1String(name))->textFormat(), Qt::PlainText);
    QCOMPARE(box.text(), text);
}

void tst_outcomebox::okCloses()
{
    QTimer::singleShot(50, [] {
        auto *box = qobject_cast<OutcomeBox *>(QApplication::activeModalWidget());
        QVERIFY(box);
        QTest::mouseClick(box->findChild<QPushButton *>(), Qt::LeftButton);
    });
    QCOMPARE(OutcomeBox::report(OutcomeBox::Kind::Success, " ", "Backup", "Backup Ok"),
             int(QDialog::Accepted));
    QVERIFY(!QApplication::activeModalWidget());
}

QTEST_MAIN(tst_outcomebox)
#include "tst_outcomebox.moc"
