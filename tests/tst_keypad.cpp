#include "app/startup.h"
#include "dialogs/numerickeypad.h"

#include "printerpagetest.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Presses the keys of the keypad that a touch on the value field opens, as a finger would,
// once it is on screen; notes its title and what it showed first.
class KeypadFinger
{
public:
    explicit KeypadFinger(QStringList keys) : m_keys(std::move(keys))
    {
        m_timer.setInterval(10);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { press(); });
        m_timer.start();
    }

    bool opened = false;
    QString title;
    QString shownFirst;
    QList<QSize> keySizes;
    // Run while the keypad is open, instead of pressing keys, when set.
    std::function<void(NumericKeypad *)> instead;

private:
    void press()
    {
        auto *keypad = qobject_cast<NumericKeypad *>(QApplication::activeModalWidget());
        if (!keypad || !keypad->isVisible() || opened)
            return;
        opened = true;
        m_timer.stop();
        title = keypad->findChild<QLabel *>(QStringLiteral("keypad_title"))->text();
        shownFirst = keypad->value();
        for (const QPushButton *key : keypad->findChildren<QPushButton *>())
            keySizes << key->size();
        if (instead) {
            instead(keypad);
            return;
        }
        QPointer<NumericKeypad> alive = keypad;
        for (const QString &name : m_keys) {
            auto *key = keypad->findChild<QPushButton *>(QLatin1String("key_") + name);
            if (!key)
                qFatal("no key %s", qPrintable(name));
            QTest::mouseClick(key, Qt::LeftButton);
            if (!alive)
                return;
        }
        if (alive && alive->isVisible())
            alive->reject();
    }

    QStringList m_keys;
    QTimer m_timer;
};

} // namespace

// The value field by touch: a tap opens the keypad, whose OK writes the value that Send then
// sends; Cancel keeps what was there. A keyboard types into the field as well.
class tst_keypad : public PrinterPageTest
{
    Q_OBJECT

public:
    static void initMain() { drawAsDevice(qgetenv("QT_QPA_PLATFORM")); }

private slots:
    void keypadTypesWhatSendSends_data();
    void keypadTypesWhatSendSends();
    void cancelKeepsTheValue();
    void keysForAFinger();
    void slidOffOpensNothing();
    void keyboardTypesIntoTheField();
    void keyboardOnTheKeypad();
    void keypadTakesDigitsOnly();

private:
    void tapField() { QTest::mouseClick(m_page->entry(), Qt::LeftButton); }
};

void tst_keypad::keypadTypesWhatSendSends_data()
{
    QTest::addColumn<int>("parameter");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<QString>("result");

    QTest::newRow("start position 300")
        << 0 << QStringList{"3", "0", "0", "ok"} << "300"
        << "aa,f3,1,2c" << QStringList{"f3", "1", "2c"} << "Start Position: 300";
    QTest::newRow("heating 2") << 1 << QStringList{"2", "ok"} << "2"
                               << "aa,fa,2,0" << QStringList{"fa", "2", "0"} << "Heating Level: 2";
    QTest::newRow("left section 3") << 7 << QStringList{"3", "ok"} << "3"
                                    << "aa,fe,3,3,0" << QStringList{"fe", "3", "3"}
                                    << "Reset to default heating\n\nPlease check Current Settings";
    QTest::newRow("sensor threshold 15000")
        << 8 << QStringList{"1", "5", "0", "0", "0", "ok"} << "15000"
        << "aa,f5,3a,98" << QStringList{"f5", "3a", "98"}
        << "Internel Sensor Threshold has been set.";
    QTest::newRow("delete and clear")
        << 0 << QStringList{"9", "9", "delete", "clear", "4", "5", "delete", "0", "ok"} << "40"
        << "aa,f3,0,28" << QStringList{"f3", "0", "28"} << "Start Position: 40";
}

void tst_keypad::keypadTypesWhatSendSends()
{
    QFETCH(int, parameter);
    QFETCH(QStringList, keys);
    QFETCH(QString, typed);
    QFETCH(QString, command);
    QFETCH(QStringList, reply);
    QFETCH(QString, result);

    m_page->choose(parameter);
    {
        KeypadFinger finger(keys);
        tapField();
        QVERIFY(finger.opened);
        // The keypad names what is being typed.
        QCOMPARE(finger.title, m_page->selector()->currentText());
        QCOMPARE(finger.shownFirst, QString());
    }
    QCOMPARE(m_page->entry()->text(), typed);
    QVERIFY(m_link->commands().isEmpty());

    m_link->setReply(reply);
    m_page->click("combox_send");
    QCOMPARE(m_link->commands(), QStringList{command});
    QCOMPARE(m_page->result(), result);
    // The value stays for the next Send.
    QCOMPARE(m_page->entry()->text(), typed);
}

void tst_keypad::cancelKeepsTheValue()
{
    m_page->type(QStringLiteral("250"));
    {
        KeypadFinger finger({"clear", "7", "cancel"});
        tapField();
        QVERIFY(finger.opened);
        QCOMPARE(finger.shownFirst, QStringLiteral("250"));
    }
    QCOMPARE(m_page->entry()->text(), QStringLiteral("250"));
    QVERIFY(m_link->commands().isEmpty());
}

// The digits and OK at least 48 px (9 mm on the device's 7-inch 800 x 480 screen), the keypad
// on the screen, centred on the panel.
void tst_keypad::keysForAFinger()
{
    QRect keypadArea;
    QPoint centre;
    KeypadFinger finger({});
    finger.instead = [&](NumericKeypad *keypad) {
        keypadArea = keypad->frameGeometry();
        centre = keypad->geometry().center();
        keypad->reject();
    };
    tapField();
    QVERIFY(finger.opened);
    QCOMPARE(finger.keySizes.size(), 14);
    for (const QSize &size : finger.keySizes)
        QVERIFY2(size.width() >= 48 && size.height() >= 48,
                 qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
    const QRect panel = m_page->panel()->geometry();
    QVERIFY(m_page->panel()->frameGeometry().contains(keypadArea));
    QVERIFY((centre - panel.center()).manhattanLength() <= 2);
}

void tst_keypad::slidOffOpensNothing()
{
    KeypadFinger finger({"5", "ok"});
    QLineEdit *field = m_page->entry();
    QTest::mousePress(field, Qt::LeftButton, {}, field->rect().center());
    QTest::mouseRelease(field, Qt::LeftButton, {}, QPoint(field->width() + 30, 5));
    QApplication::processEvents();
    QVERIFY(!finger.opened);
    QVERIFY(m_page->entry()->text().isEmpty());
}

// A USB keyboard: the field has the focus on the printer page, keeps it when the technician
// touches a text box, and the traffic column takes no typing.
void tst_keypad::keyboardTypesIntoTheField()
{
    QApplication::setActiveWindow(m_page->panel());
    QVERIFY(QTest::qWaitForWindowActive(m_page->panel()));
    QTRY_COMPARE(QApplication::focusWidget(), m_page->entry());
    auto *traffic = m_page->child<QTextEdit>("label_test");
    QTest::mouseClick(traffic->viewport(), Qt::LeftButton);
    QTest::mouseClick(m_page->child<QTextEdit>("textEdit")->viewport(), Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), m_page->entry());
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("300"));
    QCOMPARE(m_page->entry()->text(), QStringLiteral("300"));
    QVERIFY(traffic->toPlainText().isEmpty());
    QVERIFY(traffic->isReadOnly());

    m_link->setReply({"f3", "1", "2c"});
    m_page->click("combox_send");
    QCOMPARE(m_link->commands(), QStringList{"aa,f3,1,2c"});

    // Away on the backup page and back: the field has the focus again.
    m_page->panel()->setCurrentPage(2);
    m_page->panel()->setCurrentPage(1);
    QTRY_COMPARE(QApplication::focusWidget(), m_page->entry());
}

void tst_keypad::keyboardOnTheKeypad()
{
    m_page->type(QStringLiteral("9"));
    KeypadFinger finger({});
    finger.instead = [](NumericKeypad *keypad) {
        QTest::keyClicks(keypad, QStringLiteral("42x"));
        QTest::keyClick(keypad, Qt::Key_Backspace);
        QTest::keyClicks(keypad, QStringLiteral("7"));
        QTest::keyClick(keypad, Qt::Key_Return);
    };
    tapField();
    QVERIFY(finger.opened);
    QCOMPARE(m_page->entry()->text(), QStringLiteral("947"));

    KeypadFinger escaped({});
    escaped.instead = [](NumericKeypad *keypad) {
        QTest::keyClick(keypad, Qt::Key_Delete);
        QTest::keyClicks(keypad, QStringLiteral("1"));
        QTest::keyClick(keypad, Qt::Key_Escape);
    };
    tapField();
    QVERIFY(escaped.opened);
    QCOMPARE(m_page->entry()->text(), QStringLiteral("947"));
}

void tst_keypad::keypadTakesDigitsOnly()
{
    // A keyboard may have typed anything; the keypad starts from the digits of it.
    NumericKeypad keypad(QStringLiteral("Start Position"), QStringLiteral(" 1a2-3 "));
    QCOMPARE(keypad.value(), QStringLiteral("123"));
    for (int i = 0; i < NumericKeypad::MaxDigits + 3; ++i)
        QTest::mouseClick(keypad.findChild<QPushButton *>(QStringLiteral("key_8")), Qt::LeftButton);
    QCOMPARE(keypad.value().size(), NumericKeypad::MaxDigits);
    QVERIFY(keypad.value().startsWith(QLatin1String("1238")));
}

QTEST_MAIN(tst_keypad)
#include "tst_keypad.moc"
