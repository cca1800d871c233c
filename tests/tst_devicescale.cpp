#include "app/mainwindow.h"
#include "app/startup.h"
#include "panel/sendordertoprinter_test.h"

#include "testutil.h"

#include <QFontInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QtTest>

#include <memory>

// The panel drawn as the device draws it: one point is one pixel and the device-pixel ratio
// is 1, on whatever platform QT_QPA_PLATFORM names. CTest runs this on several platforms;
// a run where the user sizes the drawing names what it expects in PANEL_EXPECT_DPI and
// PANEL_EXPECT_DPR (72 and 1 otherwise); PANEL_EXPECT_DPI=qt takes the dpi Qt chose, which
// differs between Qt 5 and 6 under a scale factor.
class tst_devicescale : public QObject
{
    Q_OBJECT

public:
    static void initMain() { s_drawnAsDevice = drawAsDevice(qgetenv("QT_QPA_PLATFORM")); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void userSizesDrawing_data();
    void userSizesDrawing();
    void formFontsInPixels_data();
    void formFontsInPixels();
    void devicePixelRatio();

private:
    static bool s_drawnAsDevice;
    double m_expectedDpi = 72;
    double m_expectedRatio = 1;
    std::unique_ptr<MainWindow> m_window;
};

bool tst_devicescale::s_drawnAsDevice = false;

void tst_devicescale::initTestCase()
{
    bool ok = true;
    if (qEnvironmentVariable("PANEL_EXPECT_DPI") == QLatin1String("qt"))
        m_expectedDpi = QGuiApplication::primaryScreen()->logicalDotsPerInchY();
    else if (qEnvironmentVariableIsSet("PANEL_EXPECT_DPI"))
        m_expectedDpi = qEnvironmentVariable("PANEL_EXPECT_DPI").toDouble(&ok);
    QVERIFY(ok);
    if (qEnvironmentVariableIsSet("PANEL_EXPECT_DPR"))
        m_expectedRatio = qEnvironmentVariable("PANEL_EXPECT_DPR").toDouble(&ok);
    QVERIFY(ok);
    // Left to the user, or set by us: never both.
    QCOMPARE(s_drawnAsDevice, !qEnvironmentVariableIsSet("PANEL_EXPECT_DPI") &&
                                  !qEnvironmentVariableIsSet("PANEL_EXPECT_DPR"));

    installApplicationFont();
    // The window the program opens, on the screen the platform gives.
    m_window = std::make_unique<MainWindow>();
    QVERIFY(QTest::qWaitForWindowExposed(m_window->panel()));
    qInfo("platform %s, screen %dx%d, %g dpi, ratio %g", qPrintable(qApp->platformName()),
          QGuiApplication::primaryScreen()->size().width(),
          QGuiApplication::primaryScreen()->size().height(),
          QGuiApplication::primaryScreen()->logicalDotsPerInchY(),
          QGuiApplication::primaryScreen()->devicePixelRatio());
}

void tst_devicescale::cleanupTestCase()
{
    QTest::ignoreMessage(QtDebugMsg, "sendordertoprinter_test::~sendordertoprinter_test()");
    delete m_window->panel();
    m_window.reset();
}

void tst_devicescale::userSizesDrawing_data()
{
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("platform");
    QTest::addColumn<bool>("userSizes");

    QTest::newRow("framebuffer") << QByteArray() << QByteArray()
                                 << QByteArray("linuxfb:fb=/dev/fb0") << false;
    QTest::newRow("vnc") << QByteArray() << QByteArray() << QByteArray("vnc:size=800x480:port=0")
                         << false;
    QTest::newRow("xcb") << QByteArray() << QByteArray() << QByteArray("xcb") << false;
    QTest::newRow("QT_FONT_DPI") << QByteArray("QT_FONT_DPI") << QByteArray("96")
                                 << QByteArray("linuxfb:fb=/dev/fb0") << true;
    QTest::newRow("QT_FONT_DPI empty")
        << QByteArray("QT_FONT_DPI") << QByteArray() << QByteArray("linuxfb:fb=/dev/fb0") << false;
    QTest::newRow("QT_SCALE_FACTOR")
        << QByteArray("QT_SCALE_FACTOR") << QByteArray("2") << QByteArray("xcb") << true;
    QTest::newRow("QT_SCREEN_SCALE_FACTORS")
        << QByteArray("QT_SCREEN_SCALE_FACTORS") << QByteArray("1.5") << QByteArray("xcb") << true;
    QTest::newRow("QT_USE_PHYSICAL_DPI") << QByteArray("QT_USE_PHYSICAL_DPI") << QByteArray("1")
                                         << QByteArray("linuxfb:fb=/dev/fb0") << true;
    QTest::newRow("framebuffer mmsize")
        << QByteArray() << QByteArray() << QByteArray("linuxfb:fb=/dev/fb0:mmsize=154x92") << true;
    QTest::newRow("vnc mmsize") << QByteArray() << QByteArray()
                                << QByteArray("vnc:mmsize=211.7x127:size=800x480") << true;
    QTest::newRow("mmsize inside a device path")
        << QByteArray() << QByteArray() << QByteArray("linuxfb:fb=/dev/x-mmsize=1") << false;
}

void tst_devicescale::userSizesDrawing()
{
    QFETCH(QByteArray, variable);
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, platform);
    QFETCH(bool, userSizes);

    // This process already started its toolkit: the variables it reads are put back below.
    const char *names[] = {"QT_FONT_DPI", "QT_SCALE_FACTOR", "QT_SCREEN_SCALE_FACTORS",
                           "QT_USE_PHYSICAL_DPI"};
    QList<QPair<QByteArray, QByteArray>> saved;
    for (const char *name : names) {
        if (qEnvironmentVariableIsSet(name))
            saved.append({name, qgetenv(name)});
        qunsetenv(name);
    }
    if (!variable.isEmpty())
        qputenv(variable.constData(), value);

    QCOMPARE(::userSizesDrawing(platform), userSizes);
    QCOMPARE(drawAsDevice(platform), !userSizes);
    if (userSizes)
        QCOMPARE(qgetenv("QT_FONT_DPI"), variable == "QT_FONT_DPI" ? value : QByteArray());
    else
        QCOMPARE(qgetenv("QT_FONT_DPI"), QByteArray("72"));

    for (const char *name : names)
        qunsetenv(name);
    for (const auto &entry : saved)
        qputenv(entry.first.constData(), entry.second);
}

void tst_devicescale::formFontsInPixels_data()
{
    QTest::addColumn<QString>("widget");
    QTest::addColumn<int>("pointSize");

    QTest::newRow("button font") << "parameter_reset" << 26;
    QTest::newRow("alternate button font") << "combox_send" << 26;
    QTest::newRow("alternate button font, column") << "paper" << 26;
    QTest::newRow("panel font") << "btn_openPrinter" << 22;
    QTest::newRow("bottom row font") << "print_soft_version" << 28;
    QTest::newRow("entry font") << "label_2" << 20;
    QTest::newRow("text box font") << "textEdit" << 16;
    QTest::newRow("backup font") << "btn_back" << 15;
}

void tst_devicescale::formFontsInPixels()
{
    QFETCH(QString, widget);
    QFETCH(int, pointSize);

    auto *child = m_window->panel()->findChild<QWidget *>(widget);
    QVERIFY(child);
    QCOMPARE(child->font().pointSize(), pointSize);
    const QFontInfo info(child->font());
    QCOMPARE(info.pixelSize(), qRound(pointSize * m_expectedDpi / 72));
}

void tst_devicescale::devicePixelRatio()
{
    sendordertoprinter_test *panel = m_window->panel();
    QScreen *screen = panel->windowHandle()->screen();
    QCOMPARE(screen->logicalDotsPerInchY(), m_expectedDpi);
    QCOMPARE(screen->devicePixelRatio(), m_expectedRatio);
    QCOMPARE(panel->devicePixelRatioF(), m_expectedRatio);
    // The panel covers the screen, and a picture of it has one pixel per pixel.
    QCOMPARE(panel->size(), screen->size());
    const QPixmap picture = panel->grab();
    QCOMPARE(picture.devicePixelRatio(), m_expectedRatio);
    QCOMPARE(picture.size(), panel->size() * m_expectedRatio);
    saveShot(panel,
             QStringLiteral("devicescale-%1-%2dpi").arg(qApp->platformName()).arg(m_expectedDpi));
}

QTEST_MAIN(tst_devicescale)
#include "tst_devicescale.moc"
