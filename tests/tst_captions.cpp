#include "app/language.h"
#include "app/startup.h"
#include "dialogs/captionfitter.h"
#include "dialogs/numerickeypad.h"
#include "panel/sendordertoprinter_test.h"

#include "captionink.h"

#include <QApplication>
#include <QFontInfo>
#include <QScreen>
#include <QtTest>

#include <memory>

// Every caption whole, as the device draws (one pixel per point), in each language and on
// the device's 800 x 480 as on larger panels: a caption that the form's size does not fit is
// drawn smaller, and one that it fits keeps the form's size.
class tst_captions : public QObject
{
    Q_OBJECT

public:
    static void initMain() { drawAsDevice(qgetenv("QT_QPA_PLATFORM")); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void everyCaptionFits_data();
    void everyCaptionFits();
    void formSizeWhereItFits_data();
    void formSizeWhereItFits();
    void fitFollowsTheScreen();
    void fittedFont_data();
    void fittedFont();
    void keypadCaptionsFit_data();
    void keypadCaptionsFit();

private:
    // The panel as the device shows it, on its first page, laid out.
    std::unique_ptr<sendordertoprinter_test> shownPanel(const QSize &size);
    void showPage(sendordertoprinter_test *panel, int page);
};

void tst_captions::initTestCase()
{
    installApplicationFont();
    QCOMPARE(QGuiApplication::primaryScreen()->logicalDotsPerInchY(), 72.0);
}

void tst_captions::cleanupTestCase()
{
    installLanguage(QStringLiteral("en"));
}

std::unique_ptr<sendordertoprinter_test> tst_captions::shownPanel(const QSize &size)
{
    auto panel = std::make_unique<sendordertoprinter_test>();
    panel->resize(size);
    panel->show();
    if (!QTest::qWaitForWindowExposed(panel.get()))
        qWarning("the panel was not exposed");
    return panel;
}

void tst_captions::showPage(sendordertoprinter_test *panel, int page)
{
    panel->setCurrentPage(page);
    // Each fit may change a layout, and so the room of another caption: until it settles.
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    }
    panel->grab();
}

void tst_captions::everyCaptionFits_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QSize>("screen");
    for (const char *language : {"en", "zh_CN"}) {
        for (const QSize &screen : {QSize(800, 480), QSize(1024, 600), QSize(1280, 1024)}) {
            QTest::addRow("%s %dx%d", language, screen.width(), screen.height())
                << QString::fromLatin1(language) << screen;
        }
    }
}

void tst_captions::everyCaptionFits()
{
    QFETCH(QString, language);
    QFETCH(QSize, screen);
    QVERIFY(installLanguage(language));
    auto panel = shownPanel(screen);
    QStringList cut;
    for (int page = 0; page < 3; ++page) {
        showPage(panel.get(), page);
        cut << captionsThatDoNotFit(panel.get());
    }
    // The test-method button's caption changes with each press.
    for (int press = 0; press < 3; ++press) {
        QTest::mouseClick(panel->findChild<QPushButton *>(QStringLiteral("print_format")),
                          Qt::LeftButton);
        showPage(panel.get(), 1);
        cut << captionsThatDoNotFit(panel->findChild<QWidget *>(QStringLiteral("print_format")));
    }
    QTest::ignoreMessage(QtDebugMsg, "sendordertoprinter_test::~sendordertoprinter_test()");
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
}

// A caption that fits at the size the form gives it keeps that size, on the device's panel
// and on larger ones.
void tst_captions::formSizeWhereItFits_data()
{
    everyCaptionFits_data();
}

void tst_captions::formSizeWhereItFits()
{
    QFETCH(QString, language);
    QFETCH(QSize, screen);
    QVERIFY(installLanguage(language));
    const sendordertoprinter_test form; // never shown: the form's own fonts
    auto panel = shownPanel(screen);
    QStringList changed;
    int kept = 0;
    for (int page = 0; page < 3; ++page) {
        showPage(panel.get(), page);
        for (QWidget *widget : panel->findChildren<QWidget *>()) {
            const QList<Caption> captions = captionsOf(widget);
            if (!widget->isVisible() || captions.isEmpty())
                continue;
            const auto *designed = form.findChild<QWidget *>(widget->objectName());
            QVERIFY(designed);
            // The whole advance of each line, as a layout measures a caption.
            const QFontMetrics metrics(designed->font(), widget);
            bool fits = true;
            for (const Caption &caption : captions) {
                const QSize needed = metrics.size(Qt::TextShowMnemonic, caption.text);
                fits = fits && needed.width() <= caption.room.width() &&
                       (qobject_cast<QLabel *>(widget) || needed.height() <= caption.room.height());
            }
            if (fits && designed->font() != widget->font())
                changed << QStringLiteral("%1: %2 pt, the form's %3 pt")
                               .arg(widget->objectName())
                               .arg(widget->font().pointSizeF())
                               .arg(designed->font().pointSizeF());
            kept += fits ? 1 : 0;
        }
    }
    QVERIFY(kept > 10);
    QTest::ignoreMessage(QtDebugMsg, "sendordertoprinter_test::~sendordertoprinter_test()");
    QTest::ignoreMessage(QtDebugMsg, "sendordertoprinter_test::~sendordertoprinter_test()");
    QVERIFY2(changed.isEmpty(), qPrintable(changed.join(QLatin1Char('\n'))));
}

// Made smaller on a small panel, the captions grow back when the panel grows.
void tst_captions::fitFollowsTheScreen()
{
    QVERIFY(installLanguage(QStringLiteral("en")));
    auto panel = shownPanel(QSize(800, 480));
    showPage(panel.get(), 1);
    auto *label = panel->findChild<QLabel *>(QStringLiteral("label_2"));
    QVERIFY(label);
    const qreal small = label->font().pointSizeF();
    QVERIFY2(small < 20, qPrintable(QString::number(small)));
    QVERIFY(captionsThatDoNotFit(panel.get()).isEmpty());

    panel->resize(1920, 1080);
    showPage(panel.get(), 1);
    QCOMPARE(label->font().pointSizeF(), 20.0);
    QVERIFY(captionsThatDoNotFit(panel.get()).isEmpty());
    QTest::ignoreMessage(QtDebugMsg, "sendordertoprinter_test::~sendordertoprinter_test()");
}

void tst_captions::fittedFont_data()
{
    QTest::addColumn<QSize>("room");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<bool>("designed");

    QTest::newRow("fits") << QSize(400, 40) << "Paper Check" << true;
    QTest::newRow("too wide") << QSize(120, 40) << "Current Parameters:" << false;
    QTest::newRow("two lines too high") << QSize(400, 40) << "Test\nMethod:1" << false;
    QTest::newRow("exactly") << QSize(-1, -1) << "Feed" << true;
}

void tst_captions::fittedFont()
{
    QFETCH(QSize, room);
    QFETCH(QString, caption);
    QFETCH(bool, designed);

    QWidget widget;
    const QFont font(QStringLiteral("DejaVu Sans"), 26);
    if (!room.isValid())
        room = QFontMetrics(font, &widget).size(Qt::TextShowMnemonic, caption);
    const QFont fitted = CaptionFitter::fitted(font, QRect(QPoint(), room), {caption}, &widget);
    QCOMPARE(fitted.family(), font.family());
    QCOMPARE(fitted.pointSizeF() == 26, designed);
    const QSize needed = QFontMetrics(fitted, &widget).size(Qt::TextShowMnemonic, caption);
    QVERIFY(needed.width() <= room.width() && needed.height() <= room.height());
    // The largest size that fits: half a point more does not.
    if (!designed) {
        QFont larger = fitted;
        larger.setPointSizeF(fitted.pointSizeF() + 0.5);
        const QSize more = QFontMetrics(larger, &widget).size(Qt::TextShowMnemonic, caption);
        QVERIFY(more.width() > room.width() || more.height() > room.height());
    }
}

void tst_captions::keypadCaptionsFit_data()
{
    everyCaptionFits_data();
}

void tst_captions::keypadCaptionsFit()
{
    QFETCH(QString, language);
    QFETCH(QSize, screen);
    QVERIFY(installLanguage(language));
    auto panel = shownPanel(screen);
    NumericKeypad keypad(QStringLiteral("Right Location Heat Time"), QStringLiteral("123"),
                         panel.get());
    keypad.show();
    QVERIFY(QTest::qWaitForWindowExposed(&keypad));
    QApplication::processEvents();
    const QStringList cut = captionsThatDoNotFit(&keypad);
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QLatin1Char('\n'))));
    // Inside the screen.
    QVERIFY2(QRect(QPoint(), screen).contains(keypad.frameGeometry()),
             qPrintable(QStringLiteral("%1x%2").arg(keypad.width()).arg(keypad.height())));
    keypad.hide();
    QTest::ignoreMessage(QtDebugMsg, "sendordertoprinter_test::~sendordertoprinter_test()");
}

QTEST_MAIN(tst_captions)
#include "tst_captions.moc"
