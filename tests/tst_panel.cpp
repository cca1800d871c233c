#include "app/startup.h"
#include "panel/sendordertoprinter_test.h"

#include "testutil.h"
#include "touchshots.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTextEdit>
#include <QtTest>

class tst_panel : public QObject
{
    Q_OBJECT

public:
    // The pictures show the panel as the device draws it.
    static void initMain() { drawAsDevice(qgetenv("QT_QPA_PLATFORM")); }

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void afterConstruction();
    void captions_data();
    void captions();
    void buttonsBindByName_data();
    void buttonsBindByName();
    void comboItems();
    void fontsAndStyles_data();
    void fontsAndStyles();
    void testMethodCycle();
    void logBoxKeepsTwoHundredLines();
    void logBoxClearsPastTwoHundred();
    void pageNavigation();
    void printAndFeedDoNothing();
    void destructorTrace();
    void screenshots();
    void fullWidthTextsHaveGlyphs();

private:
    template <typename T> T *child(const char *name) const
    {
        T *widget = m_panel->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }
    QString currentPage() const
    {
        return child<QStackedWidget>("stackedWidget")->currentWidget()->objectName();
    }
    void log(const QString &text)
    {
        QVERIFY(QMetaObject::invokeMethod(m_panel, "testprinter", Q_ARG(QString, text)));
    }

    sendordertoprinter_test *m_panel = nullptr;
};

void tst_panel::initTestCase()
{
    installApplicationFont();
}

void tst_panel::init()
{
    m_panel = new sendordertoprinter_test;
}

void tst_panel::cleanup()
{
    QTest::ignoreMessage(QtDebugMsg, "sendordertoprinter_test::~sendordertoprinter_test()");
    delete m_panel;
    m_panel = nullptr;
}

void tst_panel::afterConstruction()
{
    QCOMPARE(currentPage(), QStringLiteral("widget_backup"));
    QVERIFY(child<QTextEdit>("textEdit")->isReadOnly());
    QVERIFY(child<QTextEdit>("textEdit_2")->isReadOnly());
    // Typed digits must not land in the traffic column: it only shows.
    QVERIFY(child<QTextEdit>("label_test")->isReadOnly());
    QCOMPARE(child<QTextEdit>("textEdit_2")->toPlainText(),
             QStringLiteral("Paramter Name: Start Position\nRange: [0-400], 100 = 6mm\n"
                            "Explanation: Start position to the top of the label.\nDefault: 0\n"
                            "Caution: Please input a reasonable value for small labels."));
    QVERIFY(child<QTextEdit>("textEdit")->toPlainText().isEmpty());
    QCOMPARE(child<QPushButton>("print_format")->text(), QStringLiteral("Test\nMethod:1"));
    QVERIFY(child<QPushButton>("send_2")->isHidden());
    QCOMPARE(m_panel->windowFlags(), Qt::WindowFlags(Qt::FramelessWindowHint) | Qt::Window);
    QCOMPARE(m_panel->windowTitle(), QStringLiteral("Form"));
    QVERIFY(child<QLineEdit>("combox_lab_data")->text().isEmpty());
    QCOMPARE(child<QLineEdit>("combox_lab_data")->inputMethodHints(), Qt::ImhDigitsOnly);
}

void tst_panel::captions_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");

    const QList<QPair<const char *, const char *>> rows = {
        {"btn_openPrinter", "Start\nPrint Test"},
        {"btn_openBackUp", "Start \nBackUp "},
        {"parameter_reset", "Reset Parameters"},
        {"parameter_query", "Current Settings"},
        {"light_sensitive_status", "Paper Check"},
        {"paper", "Receipt"},
        {"nrecieve_down_paper", "No Back Paper"},
        {"label_paper", "Label"},
        {"recieve_down_paper", "Back Paper"},
        {"have_paper_reset", "Paper Reset"},
        {"paper_reset", "Paper Replacement"},
        {"have_or_not_paper", "Paper bin with paper"},
        {"combox_send", "Send"},
        {"print_soft_version", "VersionLoopup"},
        {"feed", "Feed"},
        {"Print", "Print"},
        {"send_2", "Esc"},
        {"btn_back", "Backup"},
        {"btn_reduction", "Restore"},
        {"btn_clear", "Clear Data"},
        {"btn_exit", "Power Off"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.first) << QString::fromLatin1(row.first) << QString::fromUtf8(row.second);
}

void tst_panel::captions()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    auto *button = m_panel->findChild<QPushButton *>(name);
    QVERIFY(button);
    QCOMPARE(button->text(), caption);
    QCOMPARE(button->focusPolicy(), Qt::NoFocus);
}

void tst_panel::buttonsBindByName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("page");
    const QList<QPair<const char *, const char *>> rows = {
        {"btn_openPrinter", "widget_mainUI"},
        {"btn_openBackUp", "widget_mainUI"},
        {"parameter_reset", "widget_printer"},
        {"parameter_query", "widget_printer"},
        {"light_sensitive_status", "widget_printer"},
        {"paper", "widget_printer"},
        {"nrecieve_down_paper", "widget_printer"},
        {"label_paper", "widget_printer"},
        {"recieve_down_paper", "widget_printer"},
        {"have_paper_reset", "widget_printer"},
        {"paper_reset", "widget_printer"},
        {"have_or_not_paper", "widget_printer"},
        {"print_format", "widget_printer"},
        {"combox_send", "widget_printer"},
        {"print_soft_version", "widget_printer"},
        {"feed", "widget_printer"},
        {"Print", "widget_printer"},
        {"send_2", "widget_printer"},
        {"btn_back", "widget_backup"},
        {"btn_reduction", "widget_backup"},
        {"btn_clear", "widget_backup"},
        {"btn_exit", "widget_backup"},
    };
    for (const auto &row : rows)
        QTest::newRow(row.first) << QString::fromLatin1(row.first)
                                 << QString::fromLatin1(row.second);
}

// Slots are bound by name, so each button's object name must meet a slot of the same name
// on the page the technician sees it on.
void tst_panel::buttonsBindByName()
{
    QFETCH(QString, name);
    QFETCH(QString, page);
    auto *button = m_panel->findChild<QPushButton *>(name);
    QVERIFY(button);
    QWidget *pageWidget = m_panel->findChild<QWidget *>(page);
    QVERIFY(pageWidget);
    QVERIFY(pageWidget->isAncestorOf(button));
    const QByteArray slot = "on_" + name.toLatin1() + "_clicked()";
    QVERIFY2(m_panel->metaObject()->indexOfSlot(slot.constData()) >= 0, slot.constData());
}

void tst_panel::comboItems()
{
    auto *combo = child<QComboBox>("comboBox");
    const QStringList expected = {"Start Position",
                                  "Heating",
                                  "Speed Level",
                                  "Roll Back Distance",
                                  "Extra Feed",
                                  "Right Location Heat Time",
                                  "Middle Location Heat Time",
                                  "Left Location Heat Time",
                                  "Opto Compare Value"};
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, expected);
    QCOMPARE(combo->currentIndex(), 0);
    QVERIFY(!combo->isEditable());
    QCOMPARE(combo->focusPolicy(), Qt::NoFocus);
    QCOMPARE(combo->iconSize(), QSize(50, 50));
    QVERIFY(m_panel->metaObject()->indexOfSlot("on_comboBox_currentIndexChanged(int)") >= 0);
}

void tst_panel::fontsAndStyles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("family");
    QTest::addColumn<int>("pointSize");
    QTest::addColumn<QString>("styleStart");

    QTest::newRow("panel") << "sendordertoprinter_test"
                           << "DejaVu Sans" << 22
                           << "QComboBox {\n\tbackground-color: rgb(94, 94, 94);";
    QTest::newRow("log box") << "label_test"
                             << "DejaVu Sans" << 22
                             << "background-color: rgb(108, 108, 108);\ncolor: rgb(255, 255, 255);";
    QTest::newRow("column frame") << "fram_btn11"
                                  << "" << 0
                                  << "QPushButton {\ncolor:white;\nbackground-color:rgb(74,74,74);";
    QTest::newRow("column button") << "parameter_reset"
                                   << "DejaVu Sans" << 26 << "";
    QTest::newRow("receipt button") << "paper"
                                    << "Sans Serif" << 26 << "";
    QTest::newRow("send") << "combox_send"
                          << "Sans Serif" << 26
                          << "QPushButton {\n\tcolor:white;\nbackground-color:rgb(167,41,57);";
    QTest::newRow("entry") << "combox_lab_data"
                           << "DejaVu Sans" << 20
                           << "background-color: rgb(255, 255, 255);\ncolor: rgb(0, 0, 0);";
    QTest::newRow("result box") << "textEdit"
                                << "DejaVu Sans" << 16 << "background-color: rgb(255, 255, 255);";
    QTest::newRow("description box")
        << "textEdit_2"
        << "DejaVu Sans" << 16 << "background-color: rgb(255, 255, 255);";
    QTest::newRow("bottom row frame") << "frame_2"
                                      << "" << 0 << "QPushButton {\n\tcolor:white;";
    QTest::newRow("bottom row") << "feed"
                                << "DejaVu Sans" << 28 << "";
    QTest::newRow("backup page") << "btn_back"
                                 << "DejaVu Sans" << 15 << "";
    QTest::newRow("start page") << "btn_openPrinter"
                                << "DejaVu Sans" << 22 << "";
}

void tst_panel::fontsAndStyles()
{
    QFETCH(QString, name);
    QFETCH(QString, family);
    QFETCH(int, pointSize);
    QFETCH(QString, styleStart);

    m_panel->resize(800, 480);
    m_panel->show();
    QWidget *widget = name == m_panel->objectName() ? m_panel : m_panel->findChild<QWidget *>(name);
    QVERIFY(widget);
    widget->ensurePolished();
    if (pointSize > 0) {
        QCOMPARE(widget->font().family(), family);
        QCOMPARE(widget->font().pointSize(), pointSize);
    }
    QVERIFY(!widget->font().bold());
    if (styleStart.isEmpty())
        QVERIFY(widget->styleSheet().isEmpty());
    else
        QVERIFY(widget->styleSheet().startsWith(styleStart));
}

void tst_panel::testMethodCycle()
{
    m_panel->setCurrentPage(1);
    m_panel->resize(800, 480);
    m_panel->show();
    auto *button = child<QPushButton>("print_format");
    const QStringList expected = {"Test\nMethod:2", "Test\nMethod:3", "Test\nMethod:1",
                                  "Test\nMethod:2"};
    for (const QString &caption : expected) {
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), caption);
    }
}

void tst_panel::logBoxKeepsTwoHundredLines()
{
    auto *box = child<QTextEdit>("label_test");
    for (int i = 1; i <= 199; ++i)
        log(QString::number(i));
    // 199 lines and the empty one after the last line break.
    QCOMPARE(box->document()->lineCount(), 200);
    QVERIFY(box->toPlainText().startsWith(QLatin1String("1\n2\n")));
    QVERIFY(box->toPlainText().endsWith(QLatin1String("199\n")));
    QCOMPARE(box->textCursor().position(), box->document()->characterCount() - 1);
}

void tst_panel::logBoxClearsPastTwoHundred()
{
    auto *box = child<QTextEdit>("label_test");
    for (int i = 1; i <= 200; ++i)
        log(QString::number(i));
    QVERIFY(box->toPlainText().isEmpty());
    log(QStringLiteral("after"));
    QCOMPARE(box->toPlainText(), QStringLiteral("after\n"));
}

void tst_panel::pageNavigation()
{
    m_panel->setCurrentPage(0);
    m_panel->resize(800, 480);
    m_panel->show();
    QCOMPARE(currentPage(), QStringLiteral("widget_mainUI"));
    QTest::mouseClick(child<QPushButton>("btn_openPrinter"), Qt::LeftButton);
    QCOMPARE(currentPage(), QStringLiteral("widget_printer"));

    m_panel->setCurrentPage(0);
    QTest::mouseClick(child<QPushButton>("btn_openBackUp"), Qt::LeftButton);
    QCOMPARE(currentPage(), QStringLiteral("widget_backup"));
}

void tst_panel::printAndFeedDoNothing()
{
    m_panel->setCurrentPage(1);
    m_panel->resize(800, 480);
    m_panel->show();
    auto *result = child<QTextEdit>("textEdit");
    auto *description = child<QTextEdit>("textEdit_2");
    auto *logBox = child<QTextEdit>("label_test");
    const QString before = description->toPlainText();
    QTest::mouseClick(child<QPushButton>("Print"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>("feed"), Qt::LeftButton);
    QVERIFY(result->toPlainText().isEmpty());
    QCOMPARE(description->toPlainText(), before);
    QVERIFY(logBox->toPlainText().isEmpty());
    QCOMPARE(currentPage(), QStringLiteral("widget_printer"));
}

void tst_panel::destructorTrace()
{
    // cleanup() expects the destructor's line; a panel of our own shows it here too.
    auto *other = new sendordertoprinter_test;
    QTest::ignoreMessage(QtDebugMsg, "sendordertoprinter_test::~sendordertoprinter_test()");
    delete other;
}

void tst_panel::screenshots()
{
    m_panel->resize(800, 480);
    m_panel->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_panel));
    const char *pages[] = {"start", "printer", "backup"};
    for (int i = 0; i < 3; ++i) {
        m_panel->setCurrentPage(i);
        const QString path = saveShot(m_panel, QLatin1String("page-") + QLatin1String(pages[i]));
        QVERIFY(QFileInfo(path).size() > 0);
    }
    TouchShots::saveAll(m_panel, QString());
}

// The descriptions of the heat sections use full-width brackets and colons: without a font
// that holds them they show as boxes.
void tst_panel::fullWidthTextsHaveGlyphs()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QStringList cjk = QFontDatabase::families(QFontDatabase::SimplifiedChinese);
#else
    const QStringList cjk = QFontDatabase().families(QFontDatabase::SimplifiedChinese);
#endif
    QVERIFY2(!cjk.isEmpty(), "no font with Chinese glyphs is installed");

    m_panel->setCurrentPage(1);
    m_panel->resize(1280, 800);
    m_panel->show();
    child<QComboBox>("comboBox")->setCurrentIndex(5);
    const QString text = child<QTextEdit>("textEdit_2")->toPlainText();
    QVERIFY(text.contains(QStringLiteral("【0-3】")));
    for (const QChar glyph : {QChar(0x3010), QChar(0x3011), QChar(0xff1a)}) {
        bool found = false;
        for (const QString &family : cjk)
            found = found || QFontMetrics(QFont(family, 16)).inFont(glyph);
        QVERIFY2(found, qPrintable(QString(glyph)));
    }
    saveShot(m_panel, QStringLiteral("printer-heat-section-description"));
}

QTEST_MAIN(tst_panel)
#include "tst_panel.moc"
