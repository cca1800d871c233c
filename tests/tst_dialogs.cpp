#include <QApplication>
#include <QElapsedTimer>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include "dialogs/messagedialog.h"
#include "dialogs/myprogressdialog.h"
#include "testutil.h"

namespace {

const char *const barStyle = "QProgressBar::chunk {\n\tbackground-color:rgba(226,121,7,100%);\n"
                             "/*(150,45,59,100%);*/\n\n     width: 10px;\n     margin: 0.5px;\n"
                             " }\n QProgressBar {\n     border: 2px solid grey;\n"
                             "     border-radius: 5px;\n     text-align: center;\ncolor:black;\n }";

QSize screenSize()
{
    return QGuiApplication::primaryScreen()->geometry().size();
}

QList<messagedialog *> openMessageDialogs()
{
    QList<messagedialog *> found;
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *widget : widgets) {
        if (auto *dialog = qobject_cast<messagedialog *>(widget))
            found << dialog;
    }
    return found;
}

bool rowHasColour(const QImage &image, int y, int x0, int x1, const QColor &colour)
{
    for (int x = x0; x < x1; ++x) {
        if (image.pixelColor(x, y) == colour)
            return true;
    }
    return false;
}

// Waits from inside the event loop for a message box to become the modal widget, notes
// what it looks like and, when a button name is given, presses that button as a finger
// would. A box that never turns up is ended with -1 so the test fails instead of hanging.
class ModalPress
{
public:
    explicit ModalPress(const QString &button = QString()) : m_button(button)
    {
        m_timer.setInterval(20);
        QObject::connect(&m_timer, &QTimer::timeout, [this] { poll(); });
        m_timer.start();
    }

    bool seen = false;
    bool pressed = false;
    QFont font;
    QRect geometry;

private:
    void poll()
    {
        auto *dialog = qobject_cast<messagedialog *>(QApplication::activeModalWidget());
        if (dialog) {
            m_timer.stop();
            seen = true;
            font = dialog->font();
            geometry = dialog->geometry();
            if (m_button.isEmpty())
                return;
            if (auto *button = dialog->findChild<QPushButton *>(m_button)) {
                QTest::mouseClick(button, Qt::LeftButton);
                pressed = true;
            }
            return;
        }
        if (++m_polls > 250) {
            m_timer.stop();
            for (messagedialog *open : openMessageDialogs())
                open->done(-1);
        }
    }

    QString m_button;
    QTimer m_timer;
    int m_polls = 0;
};

} // namespace

class tst_Dialogs : public QObject
{
    Q_OBJECT

private slots:
    void progressForwardsToBar_data();
    void progressForwardsToBar();
    void progressFirstValueBeforeMaximum();
    void progressCaption_data();
    void progressCaption();
    void progressForm();
    void progressScreenshot();

    void geometryFor_data();
    void geometryFor();
    void constructorPlacement_data();
    void constructorPlacement();
    void constructorTextsAndWindow();
    void childOfParent();
    void hideFunctions_data();
    void hideFunctions();
    void blankButtonTexts();
    void messageResult_data();
    void messageResult();
    void warningClosesItself();
    void warningCancelledEarly();
    void messageScreenshot();
    void fitText_data();
    void fitText();
};

void tst_Dialogs::progressForwardsToBar_data()
{
    QTest::addColumn<int>("max");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("shown");

    QTest::newRow("inside range") << 40 << 17 << 17;
    QTest::newRow("at maximum") << 40 << 40 << 40;
    QTest::newRow("above maximum ignored by bar") << 40 << 41 << 1;
    QTest::newRow("negative ignored by bar") << 40 << -3 << 1;
    QTest::newRow("large tree") << 100000 << 99999 << 99999;
    QTest::newRow("empty tree") << 0 << 0 << 0;
}

// Driven as the tree copy drives it: 1 first, then the entry count, then the entries.
void tst_Dialogs::progressForwardsToBar()
{
    QFETCH(int, max);
    QFETCH(int, value);
    QFETCH(int, shown);

    MyProgressDialog dialog(QStringLiteral("Backup..."), nullptr);
    auto *bar = dialog.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    QVERIFY(bar);

    dialog.setValue(1);
    dialog.setMaxNum(max);
    dialog.setValue(value);

    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), max);
    QCOMPARE(bar->value(), shown);
}

void tst_Dialogs::progressFirstValueBeforeMaximum()
{
    MyProgressDialog dialog(QStringLiteral("Restore..."), nullptr);
    auto *bar = dialog.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    QVERIFY(bar);
    QCOMPARE(bar->value(), 0);

    dialog.setValue(1);

    QCOMPARE(bar->minimum(), 0);
    QCOMPARE(bar->maximum(), 100);
    QCOMPARE(bar->value(), 1);
    QCOMPARE(bar->text(), QStringLiteral("1%"));
}

void tst_Dialogs::progressCaption_data()
{
    QTest::addColumn<QString>("caption");

    QTest::newRow("backup") << QStringLiteral("Backup...");
    QTest::newRow("restore") << QStringLiteral("Restore...");
    QTest::newRow("empty") << QString();
}

void tst_Dialogs::progressCaption()
{
    QFETCH(QString, caption);

    MyProgressDialog dialog(caption, nullptr);
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("label"));
    QVERIFY(label);
    QCOMPARE(label->text(), caption);
    QVERIFY(!dialog.isVisible());
}

void tst_Dialogs::progressForm()
{
    QWidget parent;
    MyProgressDialog dialog(QStringLiteral("Backup..."), &parent);
    QCOMPARE(dialog.parentWidget(), &parent);
    QCOMPARE(dialog.objectName(), QStringLiteral("MyProgressDialog"));
    QCOMPARE(dialog.size(), QSize(400, 300));

    auto *label = dialog.findChild<QLabel *>(QStringLiteral("label"));
    QVERIFY(label);
    QCOMPARE(label->font().family(), QStringLiteral("DejaVu Sans Mono"));
    QCOMPARE(label->font().pointSize(), 25);
    QCOMPARE(label->styleSheet(), QStringLiteral("color:white;\nbackground-color: rgb(85, 0, 0);"));
    QCOMPARE(label->alignment(), Qt::AlignCenter);

    auto *frame = dialog.findChild<QFrame *>(QStringLiteral("frame"));
    QVERIFY(frame);
    QCOMPARE(frame->styleSheet(), QStringLiteral("\nbackground-color:white;"));
    QCOMPARE(frame->frameShape(), QFrame::NoFrame);

    auto *bar = dialog.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    QVERIFY(bar);
    QCOMPARE(bar->styleSheet(), QString::fromLatin1(barStyle));
    QCOMPARE(bar->parentWidget(), frame);

    // The bar takes five sevenths of the width between its two spacers.
    auto *row = dialog.findChild<QHBoxLayout *>(QStringLiteral("horizontalLayout"));
    QVERIFY(row);
    QCOMPARE(row->count(), 3);
    QCOMPARE(row->itemAt(1)->widget(), bar);
    QCOMPARE(row->stretch(0), 1);
    QCOMPARE(row->stretch(1), 5);
    QCOMPARE(row->stretch(2), 1);
}

void tst_Dialogs::progressScreenshot()
{
    MyProgressDialog dialog(QStringLiteral("Backup..."), nullptr);
    dialog.setValue(1);
    dialog.setMaxNum(120);
    dialog.setValue(45);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    saveShot(&dialog, QStringLiteral("progressdialog"));

    const QImage shot = dialog.grab().toImage();
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("label"));
    auto *bar = dialog.findChild<QProgressBar *>(QStringLiteral("progressBar"));
    const QPoint strip = label->mapTo(&dialog, QPoint(2, label->height() / 2));
    QCOMPARE(shot.pixelColor(strip), QColor(85, 0, 0));

    const QRect barRect(bar->mapTo(&dialog, QPoint(0, 0)), bar->size());
    QVERIFY(rowHasColour(shot, barRect.center().y(), barRect.left(), barRect.center().x(),
                         QColor(226, 121, 7)));
    QVERIFY(!rowHasColour(shot, barRect.center().y(), barRect.right() - 8, barRect.right(),
                          QColor(226, 121, 7)));
    QCOMPARE(shot.pixelColor(barRect.left() - 4, barRect.center().y()), QColor(Qt::white));
}

void tst_Dialogs::geometryFor_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<bool>("flag");
    QTest::addColumn<QRect>("expected");

    QTest::newRow("800x480 wide") << QSize(800, 480) << true << QRect(80, 48, 640, 384);
    QTest::newRow("800x480 centred") << QSize(800, 480) << false << QRect(160, 96, 480, 288);
    // 102.4, 819.2, 204.8 and 614.4 are cut, not rounded.
    QTest::newRow("1024x600 wide") << QSize(1024, 600) << true << QRect(102, 60, 819, 480);
    QTest::newRow("1024x600 centred") << QSize(1024, 600) << false << QRect(204, 120, 614, 360);
}

void tst_Dialogs::geometryFor()
{
    QFETCH(QSize, screen);
    QFETCH(bool, flag);
    QFETCH(QRect, expected);

    QCOMPARE(messagedialog::geometryFor(screen, flag), expected);
}

void tst_Dialogs::constructorPlacement_data()
{
    QTest::addColumn<bool>("flag");
    QTest::addColumn<int>("alignment");
    QTest::addColumn<bool>("wrap");

    QTest::newRow("wide, left and wrapped") << true << int(Qt::AlignLeft) << true;
    QTest::newRow("centred") << false << int(Qt::AlignCenter) << false;
}

void tst_Dialogs::constructorPlacement()
{
    QFETCH(bool, flag);
    QFETCH(int, alignment);
    QFETCH(bool, wrap);

    messagedialog dialog(QStringLiteral("Notice"), QStringLiteral("Backup finished"), nullptr,
                         QStringLiteral("Back"), QStringLiteral("OK"), flag);
    QCOMPARE(dialog.geometry(), messagedialog::geometryFor(screenSize(), flag));

    auto *text = dialog.findChild<QLabel *>(QStringLiteral("labe_text"));
    QVERIFY(text);
    QCOMPARE(int(text->alignment()), alignment);
    QCOMPARE(text->wordWrap(), wrap);
}

void tst_Dialogs::constructorTextsAndWindow()
{
    messagedialog dialog(QStringLiteral("Notice"), QStringLiteral("Backup finished"), nullptr,
                         QStringLiteral("Back"), QStringLiteral("OK"), false);

    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("label_title"))->text(),
             QStringLiteral("Notice"));
    QCOMPARE(dialog.findChild<QLabel *>(QStringLiteral("labe_text"))->text(),
             QStringLiteral("Backup finished"));
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("cancel"))->text(),
             QStringLiteral("Back"));
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("comfirm"))->text(),
             QStringLiteral("OK"));

    QVERIFY(dialog.windowFlags().testFlag(Qt::FramelessWindowHint));
    QVERIFY(dialog.testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(!dialog.isVisible());

    auto *text = dialog.findChild<QLabel *>(QStringLiteral("labe_text"));
    QCOMPARE(text->font().pointSize(), 28);
    QVERIFY(!text->font().bold());
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("cancel"))->font().pointSize(), 15);
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("cancel"))->minimumSize(),
             QSize(100, 80));
}

// Without a window type in its flags the box given a parent is a child widget, placed in
// the parent's coordinates.
void tst_Dialogs::childOfParent()
{
    QWidget parent;
    parent.resize(screenSize());
    auto *dialog = new messagedialog(QStringLiteral("Notice"), QStringLiteral("text"), &parent,
                                     QStringLiteral("Back"), QStringLiteral("OK"), true);
    QVERIFY(!dialog->isWindow());
    QCOMPARE(dialog->geometry(), messagedialog::geometryFor(screenSize(), true));
}

void tst_Dialogs::hideFunctions_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<bool>("cancelShown");
    QTest::addColumn<bool>("confirmShown");

    QTest::newRow("none") << QString() << true << true;
    QTest::newRow("hideCancel") << QStringLiteral("hideCancel") << false << true;
    QTest::newRow("hideComFirm") << QStringLiteral("hideComFirm") << true << false;
    QTest::newRow("hideCancelAndComFirm")
        << QStringLiteral("hideCancelAndComFirm") << false << false;
}

void tst_Dialogs::hideFunctions()
{
    QFETCH(QString, call);
    QFETCH(bool, cancelShown);
    QFETCH(bool, confirmShown);

    messagedialog dialog(QStringLiteral("Notice"), QStringLiteral("text"), nullptr,
                         QStringLiteral("Back"), QStringLiteral("OK"), false);
    if (call == QLatin1String("hideCancel"))
        dialog.hideCancel();
    else if (call == QLatin1String("hideComFirm"))
        dialog.hideComFirm();
    else if (call == QLatin1String("hideCancelAndComFirm"))
        dialog.hideCancelAndComFirm();
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("cancel"))->isVisible(), cancelShown);
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("comfirm"))->isVisible(), confirmShown);
}

void tst_Dialogs::blankButtonTexts()
{
    messagedialog dialog(QStringLiteral("Notice"), QStringLiteral("text"), nullptr, QString(),
                         QString(), false);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));

    for (const char *name : {"cancel", "comfirm"}) {
        auto *button = dialog.findChild<QPushButton *>(QLatin1String(name));
        QVERIFY(button);
        QVERIFY(button->isVisible());
        QVERIFY(button->text().isEmpty());
    }
}

void tst_Dialogs::messageResult_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("flag");
    QTest::addColumn<int>("result");

    QTest::newRow("confirm, wide") << QStringLiteral("comfirm") << true << int(QDialog::Accepted);
    QTest::newRow("confirm, centred")
        << QStringLiteral("comfirm") << false << int(QDialog::Accepted);
    QTest::newRow("cancel, wide") << QStringLiteral("cancel") << true << int(QDialog::Rejected);
    QTest::newRow("cancel, centred") << QStringLiteral("cancel") << false << int(QDialog::Rejected);
}

void tst_Dialogs::messageResult()
{
    QFETCH(QString, button);
    QFETCH(bool, flag);
    QFETCH(int, result);

    ModalPress press(button);
    const int returned =
        messagedialog::message(nullptr, QStringLiteral("Notice"), QStringLiteral("Clear data?"),
                               QStringLiteral("Back"), QStringLiteral("OK"), flag);

    QVERIFY(press.seen);
    QVERIFY(press.pressed);
    QCOMPARE(returned, result);
    QCOMPARE(press.geometry, messagedialog::geometryFor(screenSize(), flag));
    QCOMPARE(press.font.family(), QStringLiteral("DejaVu Sans"));
    QCOMPARE(press.font.pointSize(), 30);
    QVERIFY(openMessageDialogs().isEmpty());
}

// The 3456 ms of the auto-close is part of what the technician sees, so it is checked here.
void tst_Dialogs::warningClosesItself()
{
    ModalPress watch;
    QElapsedTimer clock;
    clock.start();
    const int returned =
        messagedialog::warning(nullptr, QStringLiteral("Warning"), QStringLiteral("No USB disk"),
                               QStringLiteral("Back"), QStringLiteral("OK"));
    const qint64 elapsed = clock.elapsed();

    QVERIFY(watch.seen);
    QCOMPARE(returned, int(QDialog::Accepted));
    QVERIFY2(elapsed >= 3456, qPrintable(QString::number(elapsed)));
    QCOMPARE(watch.geometry, messagedialog::geometryFor(screenSize(), false));
    QVERIFY(openMessageDialogs().isEmpty());
}

void tst_Dialogs::warningCancelledEarly()
{
    ModalPress press(QStringLiteral("cancel"));
    const int returned =
        messagedialog::warning(nullptr, QStringLiteral("Warning"), QStringLiteral("No USB disk"),
                               QStringLiteral("Back"), QStringLiteral("OK"));
    QVERIFY(press.pressed);
    QCOMPARE(returned, int(QDialog::Rejected));
    QVERIFY(openMessageDialogs().isEmpty());

    // Past the auto-close time: the timer went with the dialog and must not fire into it.
    QTest::qWait(3600);
    QVERIFY(openMessageDialogs().isEmpty());
}

void tst_Dialogs::messageScreenshot()
{
    messagedialog dialog(QStringLiteral("Warning"), QStringLiteral("Please insert the USB disk"),
                         nullptr, QStringLiteral("取消"), QStringLiteral("确认"), false);
    dialog.setFont(QFont(QStringLiteral("DejaVu Sans"), 30));
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    saveShot(&dialog, QStringLiteral("messagedialog"));

    const QImage shot = dialog.grab().toImage();
    auto *title = dialog.findChild<QLabel *>(QStringLiteral("label_title"));
    auto *text = dialog.findChild<QLabel *>(QStringLiteral("labe_text"));
    auto *cancel = dialog.findChild<QPushButton *>(QStringLiteral("cancel"));
    QCOMPARE(shot.pixelColor(title->mapTo(&dialog, QPoint(3, 3))), QColor(112, 0, 0));
    QCOMPARE(shot.pixelColor(text->mapTo(&dialog, QPoint(3, 3))), QColor(66, 0, 0));
    auto *confirm = dialog.findChild<QPushButton *>(QStringLiteral("comfirm"));
    // Confirm, which acts, is the red of the panel; Cancel, which keeps everything, is grey.
    QCOMPARE(shot.pixelColor(confirm->mapTo(&dialog, QPoint(confirm->width() / 2, 6))),
             QColor(167, 41, 57));
    QCOMPARE(shot.pixelColor(cancel->mapTo(&dialog, QPoint(cancel->width() / 2, 6))),
             QColor(96, 96, 96));
    QVERIFY(confirm->font().bold() || confirm->fontInfo().bold());
}

void tst_Dialogs::fitText_data()
{
    QTest::addColumn<int>("words");
    QTest::addColumn<bool>("shrinks");
    QTest::addColumn<bool>("fits");
    QTest::newRow("a short text keeps the form's size") << 8 << false << true;
    QTest::newRow("a long text gets a smaller font") << 36 << true << true;
    QTest::newRow("no smaller than the floor") << 400 << true << false;
}

// A question's text keeps its share of the box (the title and the buttons stay as they are)
// and shrinks only when it would not show whole, also after the box is resized.
void tst_Dialogs::fitText()
{
    QFETCH(int, words);
    QFETCH(bool, shrinks);
    QFETCH(bool, fits);
    QStringList many;
    for (int i = 0; i < words; ++i)
        many << QStringLiteral("backup");
    const QString text = many.join(QLatin1Char(' '));
    messagedialog dialog(QStringLiteral("Restore"), text, nullptr, QStringLiteral("Cancel"),
                         QStringLiteral("Confirm"), true);
    dialog.setGeometry(messagedialog::geometryFor(QSize(800, 480), true));
    dialog.fitText(18);
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("labe_text"));
    auto *title = dialog.findChild<QLabel *>(QStringLiteral("label_title"));
    auto *cancel = dialog.findChild<QPushButton *>(QStringLiteral("cancel"));
    QVERIFY(label && title && cancel);
    QCOMPARE(label->font().pointSize() < 28, shrinks);
    QVERIFY(label->font().pointSize() >= 18);
    const QRect room = label->contentsRect();
    QCOMPARE(label->heightForWidth(room.width()) <= room.height(), fits);
    // Stretch 3 : 9 for the title and the text, whatever the text holds.
    QVERIFY2(qAbs(label->height() - 3 * title->height()) <= 3,
             qPrintable(QStringLiteral("%1 %2").arg(label->height()).arg(title->height())));
    QVERIFY(cancel->height() >= 80);
}

QTEST_MAIN(tst_Dialogs)
#include "tst_dialogs.moc"
