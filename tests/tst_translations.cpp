#include "app/language.h"
#include "app/startup.h"
#include "dialogs/myprogressdialog.h"
#include "maintenance/system/devicecommands.h"
#include "panel/printertext.h"
#include "printer/printeranswers.h"
#include "panel/sendordertoprinter_test.h"
#include "ui_mainwindow.h"
#include "ui_messagedialog.h"
#include "ui_myprogressdialog.h"

#include "fakeprinterlink.h"
#include "modalcloser.h"
#include "printerpage.h"
#include "recordingrunner.h"
#include "systemroot.h"
#include "testutil.h"
#include "touchshots.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QGlyphRun>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QImage>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QTextEdit>
#include <QTextLayout>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>
#include <memory>

// The panel with --lang=zh_CN: every text that passes through tr() shows the translation that
// translations/servicepanel_zh_CN.ts holds for it, and the fonts draw every character.

namespace {

const char panelContext[] = "sendordertoprinter_test";

struct TsMessage
{
    QString context;
    QString source;
    QString translation;
    QString type; // "unfinished", "vanished", "obsolete" or empty
};

struct TsFile
{
    QString language;
    QList<TsMessage> messages;
    QString error;
};

TsFile readTs(const QString &path)
{
    TsFile ts;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ts.error = file.errorString();
        return ts;
    }
    QXmlStreamReader xml(&file);
    QString context;
    TsMessage message;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("TS")) {
            ts.language = xml.attributes().value(QLatin1String("language")).toString();
        } else if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("message")) {
            message = TsMessage();
            message.context = context;
        } else if (xml.name() == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            message.type = xml.attributes().value(QLatin1String("type")).toString();
            message.translation = xml.readElementText();
            ts.messages << message;
        }
    }
    if (xml.hasError())
        ts.error = xml.errorString();
    return ts;
}

QString tsPath()
{
    return QStringLiteral(PANEL_TS_DIR "/servicepanel_zh_CN.ts");
}

QHash<QString, QString> &catalogue()
{
    static QHash<QString, QString> translations;
    return translations;
}

QString key(const QString &context, const QString &source)
{
    return context + QChar(0x1f) + source;
}

bool inCatalogue(const QString &context, const QString &source)
{
    return catalogue().contains(key(context, source));
}

// What the .ts says a text reads in Chinese; a marker that no widget shows when it has none.
QString zh(const QString &context, const QString &source)
{
    return catalogue().value(key(context, source), QLatin1String("<no translation of \"") + source +
                                                       QLatin1String("\">"));
}

QString zh(const char *source)
{
    return zh(QLatin1String(panelContext), QString::fromUtf8(source));
}

// A text of the printer page that the panel words from the printer library's data, in a
// context of its own.
QString zhPrinter(const char *source)
{
    return zh(QStringLiteral("PrinterText"), QString::fromUtf8(source));
}

// A line of a backup page's box, which the panel words in a context of its own.
QString zhBox(const char *source)
{
    return zh(QStringLiteral("MaintenanceText"), QString::fromUtf8(source));
}

// Texts the program sets without tr(): they stay as they are on a Chinese panel.
const QString paperLoadedDescription = QStringLiteral(
    "Parameter name: Paper reset  n Explanation: Print out the paper cartridge for the last "
    "printer, and when the paper is finished, notify the printer that the paper has completed "
    "the parameters");
const QString labelsLeftDescription =
    QStringLiteral("Parameter Name: Label left.\nExplanation:Judge whether");
const QString paperReplacementDescription = QStringLiteral(
    "Parameter Name: Paper  Replacement Reset.\nExplanation: Reset to Label from  Receipt or "
    "Receipt from Label, printing records and no of label records would be clear for preventing "
    "incorrect record data");
const QStringList untranslatedTexts = {
    QStringLiteral("Test\nMethod:1"),
    QStringLiteral("Paper Reset"),
    QStringLiteral("Reset Parameters"),
    paperLoadedDescription,
    labelsLeftDescription,
    paperReplacementDescription,
};

// A text the program sets without tr(); a marker that no widget shows for any other.
QString asIs(const QString &text)
{
    if (!untranslatedTexts.contains(text))
        return QLatin1String("<not a text set without tr(): \"") + text + QLatin1String("\">");
    return text;
}

struct GlyphCheck
{
    QString missing;      // characters no font draws
    QStringList hanFonts; // the families that draw the Chinese characters
};

// Lays each character out as a widget draws it, with the font and the fallbacks Qt picks for
// it. A glyph index of 0 is the empty box drawn for a character no font has; Unifont, the
// last fallback, draws a box with the code point for any character it lacks, so a character
// left to it counts as missing too.
GlyphCheck checkGlyphs(const QFont &font, const QString &text)
{
    GlyphCheck check;
    QSet<QChar> seen;
    for (const QChar character : text) {
        if (character.isSpace() || seen.contains(character))
            continue;
        seen.insert(character);
        QTextLayout layout(QString(character), font);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        bool drawn = false;
        for (const QGlyphRun &run : layout.glyphRuns()) {
            const QString family = run.rawFont().familyName();
            if (run.glyphIndexes().isEmpty() || run.glyphIndexes().contains(0) ||
                family.startsWith(QLatin1String("Unifont")))
                continue;
            drawn = true;
            if (character.script() == QChar::Script_Han && !check.hanFonts.contains(family))
                check.hanFonts << family;
        }
        if (!drawn)
            check.missing += character;
    }
    return check;
}

// Fails the running test when a character of the text has no glyph in the font as Qt draws
// it, or when its Chinese characters fall back to anything but WenQuanYi Micro Hei.
#define VERIFY_GLYPHS(font, text)                                                                  \
    do {                                                                                           \
        const GlyphCheck check_ = checkGlyphs(font, text);                                         \
        QVERIFY2(check_.missing.isEmpty(),                                                         \
                 qPrintable(QStringLiteral("no glyph for \"%1\" in %2 %3pt: %4")                   \
                                .arg(check_.missing, (font).family())                              \
                                .arg((font).pointSize())                                           \
                                .arg(text)));                                                      \
        for (const QString &family_ : check_.hanFonts)                                             \
            QVERIFY2(family_.startsWith(QLatin1String("WenQuanYi Micro Hei")),                     \
                     qPrintable(QStringLiteral("Chinese in %1 drawn with %2: %3")                  \
                                    .arg((font).family(), family_, text)));                        \
    } while (false)

struct Shown
{
    QString where; // object name and what of it, such as "comboBox/item 3"
    QString text;
    QFont font;
};

// Every text a form shows, in the order of its widgets: window title, captions, labels,
// combo box items, text boxes.
QList<Shown> shownTexts(QWidget *form)
{
    QList<Shown> texts;
    auto add = [&texts](QWidget *widget, const QString &what, const QString &text) {
        widget->ensurePolished();
        texts << Shown{widget->objectName() + QLatin1Char('/') + what, text, widget->font()};
    };
    add(form, QStringLiteral("window title"), form->windowTitle());
    for (QWidget *widget : form->findChildren<QWidget *>()) {
        if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            for (int i = 0; i < combo->count(); ++i)
                add(widget, QStringLiteral("item %1").arg(i), combo->itemText(i));
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            add(widget, QStringLiteral("caption"), button->text());
        } else if (auto *label = qobject_cast<QLabel *>(widget)) {
            add(widget, QStringLiteral("text"), label->text());
        } else if (auto *box = qobject_cast<QTextEdit *>(widget)) {
            add(widget, QStringLiteral("text"), box->toPlainText());
        } else if (auto *entry = qobject_cast<QLineEdit *>(widget)) {
            add(widget, QStringLiteral("text"), entry->text());
        }
    }
    return texts;
}

// A generated form alone, as its retranslateUi leaves it.
template <typename Form, typename Base> class FormHost : public Base
{
public:
    FormHost() { m_form.setupUi(this); }

private:
    Form m_form;
};

std::unique_ptr<QWidget> buildForm(const QString &form)
{
    if (form == QLatin1String("sendordertoprinter_test"))
        return std::make_unique<sendordertoprinter_test>();
    if (form == QLatin1String("MyProgressDialog"))
        return std::make_unique<FormHost<Ui::MyProgressDialog, QDialog>>();
    if (form == QLatin1String("messagedialog"))
        return std::make_unique<FormHost<Ui::messagedialog, QDialog>>();
    if (form == QLatin1String("MainWindow"))
        return std::make_unique<FormHost<Ui::MainWindow, QMainWindow>>();
    qFatal("no form %s", qPrintable(form));
    return nullptr;
}

const QStringList forms = {"sendordertoprinter_test", "MyProgressDialog", "messagedialog",
                           "MainWindow"};

} // namespace

class tst_translations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void tsFileComplete();
    void glyphCheckSeesWhatIsDrawn();
    void everyTranslationHasGlyphs_data();
    void everyTranslationHasGlyphs();
    void formTexts_data();
    void formTexts();
    void printerTexts_data();
    void printerTexts();
    void trafficLogNotes();
    void maintenanceTexts_data();
    void maintenanceTexts();
    void screenshots();
};

void tst_translations::initTestCase()
{
    const TsFile ts = readTs(tsPath());
    QVERIFY2(ts.error.isEmpty(), qPrintable(ts.error));
    for (const TsMessage &message : ts.messages)
        catalogue().insert(key(message.context, message.source), message.translation);

    installApplicationFont();
    // As main() does with --lang=zh_CN on a device whose locale says nothing of Chinese.
    const LanguageOption option = parseLanguageOption({QStringLiteral("--lang=zh_CN")});
    QVERIFY(option.ok);
    QVERIFY(installLanguage(chooseLanguage(option, QLocale::c())));
}

void tst_translations::cleanupTestCase()
{
    installLanguage(QStringLiteral("en"));
}

void tst_translations::tsFileComplete()
{
    const TsFile ts = readTs(tsPath());
    QVERIFY2(ts.error.isEmpty(), qPrintable(ts.error));
    QCOMPARE(ts.language, QStringLiteral("zh_CN"));
    QVERIFY(ts.messages.size() > 50);
    QStringList problems;
    for (const TsMessage &message : ts.messages) {
        const QString where = message.context + QLatin1String(": ") + message.source;
        if (!message.type.isEmpty())
            problems << message.type + QLatin1String(": ") + where;
        else if (message.translation.isEmpty())
            problems << QLatin1String("empty: ") + where;
        // A lost %1 would drop the folder or database name from the box.
        for (int n = 1; n <= 9; ++n) {
            const QString marker = QLatin1Char('%') + QString::number(n);
            if (message.source.count(marker) != message.translation.count(marker))
                problems << QLatin1String("placeholder ") + marker + QLatin1String(": ") + where;
        }
    }
    QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QLatin1Char('\n'))));
}

// The check below is only worth its passes if it notices a character without a glyph and
// names the fallback that draws Chinese.
void tst_translations::glyphCheckSeesWhatIsDrawn()
{
    const QFont font(QStringLiteral("DejaVu Sans"), 15);
    const QString unassigned(QChar(0x0fff));
    QCOMPARE(checkGlyphs(font, QStringLiteral("ab") + unassigned).missing, unassigned);
    const QString noncharacter(QChar(0xfffe));
    QCOMPARE(checkGlyphs(font, noncharacter).missing, noncharacter);
    const GlyphCheck chinese = checkGlyphs(font, QStringLiteral("备份 Backup"));
    QVERIFY(chinese.missing.isEmpty());
    QCOMPARE(chinese.hanFonts.size(), 1);
    QVERIFY2(chinese.hanFonts.first().startsWith(QLatin1String("WenQuanYi Micro Hei")),
             qPrintable(chinese.hanFonts.first()));
}

void tst_translations::everyTranslationHasGlyphs_data()
{
    QTest::addColumn<QFont>("font");
    // The families the forms and the program name; sizes do not change which glyphs exist.
    QTest::newRow("DejaVu Sans") << QFont(QStringLiteral("DejaVu Sans"), 15);
    QTest::newRow("Sans Serif") << QFont(QStringLiteral("Sans Serif"), 26);
    QTest::newRow("DejaVu Sans Mono") << QFont(QStringLiteral("DejaVu Sans Mono"), 25);
}

void tst_translations::everyTranslationHasGlyphs()
{
    QFETCH(QFont, font);
    for (const QString &translation : catalogue())
        VERIFY_GLYPHS(font, translation);
}

// Each form is built once in English and once in Chinese; every text the English one shows
// must show as the .ts translates it, or stay as it is when the program sets it without tr().
void tst_translations::formTexts_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<QString>("where");
    QTest::addColumn<QString>("english");

    QVERIFY(installLanguage(QStringLiteral("en")));
    for (const QString &form : forms) {
        const std::unique_ptr<QWidget> widget = buildForm(form);
        for (const Shown &shown : shownTexts(widget.get())) {
            if (!shown.text.isEmpty())
                QTest::newRow(qPrintable(form + QLatin1Char(':') + shown.where))
                    << form << shown.where << shown.text;
        }
    }
    QVERIFY(installLanguage(QStringLiteral("zh_CN")));
}

void tst_translations::formTexts()
{
    QFETCH(QString, form);
    QFETCH(QString, where);
    QFETCH(QString, english);

    const std::unique_ptr<QWidget> widget = buildForm(form);
    const QList<Shown> texts = shownTexts(widget.get());
    auto found = std::find_if(texts.begin(), texts.end(),
                              [&where](const Shown &shown) { return shown.where == where; });
    QVERIFY(found != texts.end());
    // The panel also shows texts that it words from the printer library's data.
    const QString context = form == QLatin1String(panelContext) && !inCatalogue(form, english) &&
                                    inCatalogue(QStringLiteral("PrinterText"), english)
                                ? QStringLiteral("PrinterText")
                                : form;
    const QString expected = inCatalogue(context, english) ? zh(context, english) : asIs(english);
    QCOMPARE(found->text, expected);
    VERIFY_GLYPHS(found->font, found->text);
}

// What the traffic log says of answers the link threw away.
void tst_translations::trafficLogNotes()
{
    FakePrinterLink printer;
    printer.setReply({"fb", "1", "0"});
    AnswerFault before;
    before.kind = AnswerFault::Kind::CameBefore;
    const QByteArray frame = QByteArray::fromHex("aafb0000");
    const QByteArray other = QByteArray::fromHex("f3012c");
    const QByteArray longAnswer = QByteArray::fromHex("fb0001") + QByteArray(17, '\x01');
    printer.setIgnored({{QByteArray::fromHex("c20000"), before},
                        {other, answerFault(frame, other)},
                        {longAnswer, answerFault(frame, longAnswer)}});
    PrinterPage page(&printer);
    page.click("light_sensitive_status");

    const QString ignored = zhPrinter("ignored %1: %2");
    const QString log = page.child<QTextEdit>("label_test")->toPlainText();
    const QStringList expected{
        QStringLiteral("> aa,fb,0,0"),
        QLatin1String("< ") + ignored.arg("c2 00 00", zhPrinter("came before this command")),
        QLatin1String("< ") + ignored.arg("f3 01 2c", zhPrinter("not an answer to %1").arg("fb")),
        QLatin1String("< ") +
            ignored.arg(zhPrinter("%1 ... (%2 bytes)")
                            .arg("fb 00 01 01 01 01 01 01 01 01 01 01 01 01 01 01")
                            .arg(20),
                        zhPrinter("too long for an answer to %1").arg("fb")),
        QStringLiteral("< fb,1,0"),
    };
    const QStringList lines = log.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.mid(lines.size() - expected.size()), expected);
    VERIFY_GLYPHS(page.child<QTextEdit>("label_test")->font(), log);
    saveShot(page.panel(), QStringLiteral("printer-ignored-answers-zh_CN"));
}

// The answers and descriptions of the printer page, as a technician gets them by pressing
// the buttons against a printer that answers as given.
void tst_translations::printerTexts_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("index"); // for Send: the parameter chosen
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("description");

    const QString backPaper = zh("Parameter Settings: Back Paper Collection\nExplanation: Back "
                                 "paper collection setting\nCaution: It is default to NO "
                                 "collection when it is set to receipt mode.");
    const QString sensor = zh("Parameter Name: Paper sensor status");
    auto description = [](int index) {
        return zhPrinter(PrinterText::parameterDescriptionSource(index));
    };
    auto click = [](const char *name, const char *button, const QStringList &reply,
                    const QString &result, const QString &text) {
        QTest::newRow(name) << button << -1 << QString() << reply << result << text;
    };
    auto send = [&description](const char *name, int index, const char *value,
                               const QStringList &reply, const QString &result) {
        QTest::newRow(name) << "combox_send" << index << value << reply << result
                            << description(index);
    };

    click("paper loaded", "have_paper_reset", {"c2"}, zh("Loaded paper"),
          asIs(paperLoadedDescription));
    click("paper not loaded", "have_paper_reset", {"c0"}, zh("Paper not loaded"),
          asIs(paperLoadedDescription));
    click("labels left", "have_or_not_paper", {"c2"}, zh("Label left"),
          asIs(labelsLeftDescription));
    click("no labels left", "have_or_not_paper", {"c0"}, zh("None label left"),
          asIs(labelsLeftDescription));
    click("version", "print_soft_version", {"56", "31", "2e", "30"},
          zh("Current Version:") + QLatin1String("V1.0"),
          zh("ameter Name: Version Lookup\nExplanation: Check the current printer veriosn "
             "number."));
    click("paper at the sensor", "light_sensitive_status", {"fb", "1", "0"}, zh("Paper Detected"),
          sensor);
    click("no paper at the sensor", "light_sensitive_status", {"fb", "0", "0"},
          zh("Paper Not Detected"), sensor);
    click("no answer", "light_sensitive_status", {""}, zh("No answer from printer"), sensor);
    click("stop collecting back paper", "nrecieve_down_paper", {"f6", "1"},
          zh("No longer collecting back paper"), backPaper);
    click("collect back paper", "recieve_down_paper", {"f6", "0"}, zh("Now colleccting back paper"),
          backPaper);
    click("label paper", "label_paper", {"f2", "0"}, zh("Paper Type: Label"),
          zh("Parameter Name: Label Settings\nExplanation: Change mode to label mode.\nCaution: "
             "If mode is changed from receipt to label, please recalibrate the printer."));
    click("receipt paper", "paper", {"f2", "1"}, zh("Paper Type: Receipt"), backPaper);
    click("mode not echoed", "paper", {"f2", "0"}, zh("Setting Failed! Please check command"),
          backPaper);

    const QString settings =
        zh("Parameter Name: Current Settings\nExplanation: Lookup all current settings.");
    const QStringList receiptReport = {
        zhPrinter("Paper Type:") + zhPrinter("Receipt"),
        zhPrinter("start Print Location:") + QLatin1String("300"),
        zhPrinter("Opto Compare Value:") + QLatin1String("15000"),
        zhPrinter("Back Paper Status:") + zhPrinter("No Back Paper"),
        zhPrinter("Pull Back Distance:") + QLatin1String("16"),
        zhPrinter("Extra Feed Distance:") + QLatin1String("32"),
        zhPrinter("Heating Level:") + QLatin1String("3"),
        zhPrinter("Left Location Heat Time:") + QLatin1String("1"),
        zhPrinter("Middle Location Heat Time:") + QLatin1String("2"),
        zhPrinter("Right Location Heat Time:") + QLatin1String("3"),
    };
    click("settings report", "parameter_query",
          {"f4", "1", "01", "2c", "3a", "98", "1", "0", "10", "20", "3", "0", "1", "2", "3"},
          receiptReport.join(QLatin1Char('\n')), settings);
    QStringList odd = receiptReport;
    odd[0] = zhPrinter("Paper Type:") + zhPrinter("Please Check Issue");
    odd[3] = zhPrinter("Back Paper Status:") + zhPrinter("Back Paper");
    click("settings report, unknown paper type", "parameter_query",
          {"f4", "7", "01", "2c", "3a", "98", "0", "0", "10", "20", "3", "0", "1", "2", "3"},
          odd.join(QLatin1Char('\n')), settings);
    click("paper replacement", "paper_reset", {"fc"}, asIs(QStringLiteral("Paper Reset")),
          asIs(paperReplacementDescription));
    click("paper replacement refused", "paper_reset", {"00"},
          zh("Setting Failed! Please check command"), asIs(paperReplacementDescription));
    click("parameter reset", "parameter_reset", {"f1"}, asIs(QStringLiteral("Reset Parameters")),
          zh("Parameter Name: Parameter Reset.\nExplanation: Reset all parameters to default "
             "values."));

    send("nothing typed", 0, "", {}, zh("No Input Found"));
    send("start position", 0, "300", {"f3", "1", "2c"}, zhPrinter("Start Position") + ": 300");
    send("start position refused", 0, "300", {"f3", "ff", "ff"}, zh("Settings Failed"));
    send("start position out of range", 0, "500", {}, zh("Incorrect Parameter Value"));
    send("heating", 1, "3", {"fa", "3"}, zhPrinter("Heating Level") + ": 3");
    send("speed", 2, "2", {"f7", "2"}, zhPrinter("Speed Level") + ": 2");
    send("roll back", 3, "16", {"f8", "10"}, zhPrinter("Roll Back Distance") + ": 16");
    send("extra feed", 4, "32", {"f9", "20"}, zhPrinter("Extra Feed") + ": 32");
    send("right section", 5, "2", {"fe"},
         zh("Reset to default heating\n\nPlease check Current Settings"));
    send("middle section refused", 6, "2", {"00"}, zh("Setting Failed! Please check command"));
    send("left section out of range", 7, "9", {}, zh("Setting Failed! Incorrect Parameter Value"));
    send("sensor threshold", 8, "15000", {"f5"}, zh("Internel Sensor Threshold has been set."));
    send("negative threshold", 8, "-1", {}, zh("Invalid Input. Must not be negative."));
    send("threshold too large", 8, "70000", {}, zh("Incorrect Parameter Value"));
}

void tst_translations::printerTexts()
{
    QFETCH(QString, button);
    QFETCH(int, index);
    QFETCH(QString, value);
    QFETCH(QStringList, reply);
    QFETCH(QString, result);
    QFETCH(QString, description);

    FakePrinterLink printer;
    printer.setReply(reply);
    PrinterPage page(&printer);
    if (index >= 0) {
        page.choose(index);
        page.type(value);
    }
    page.click(qPrintable(button));

    auto *resultBox = page.child<QTextEdit>("textEdit");
    auto *descriptionBox = page.child<QTextEdit>("textEdit_2");
    QCOMPARE(resultBox->toPlainText(), result);
    QCOMPARE(descriptionBox->toPlainText(), description);
    VERIFY_GLYPHS(resultBox->font(), result);
    VERIFY_GLYPHS(descriptionBox->font(), description);
}

// The backup page's boxes and the progress dialog's caption, as the technician meets them.
void tst_translations::maintenanceTexts_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<bool>("stick");
    QTest::addColumn<QString>("caption"); // of the progress dialog; empty: none shown
    QTest::addColumn<QStringList>("titles");
    // Each box's text as a pattern, in which SYSROOT stands for the temporary system root.
    QTest::addColumn<QStringList>("texts");
    // The question asked first, as a pattern; empty: none.
    QTest::addColumn<QString>("question");

    auto exactly = [](const QString &text) { return QRegularExpression::escape(text); };
    // "N files, SIZE" with any size, as the panel or its box lines word it.
    auto files = [&exactly](int count, QString (*words)(const char *) = zh) {
        return exactly(words("%1 files, %2").arg(count).arg(QStringLiteral("XSIZEX")))
            .replace(QLatin1String("XSIZEX"), QLatin1String("[^\n]+"));
    };
    const QString fail = zh("Fail");
    const QString blank = zh(" ");
    const QString noStick = exactly(zh("Please insert U disk!"));
    const QString clearQuestion =
        exactly(zh("Delete the databases appdb and Misc and the folder %1? This cannot be undone.")
                    .arg(QStringLiteral("/opt/Brevin")));
    QTest::newRow("backup without a stick")
        << "backup, no stick" << false << QString() << QStringList{fail} << QStringList{noStick}
        << QString();
    QTest::newRow("restore without a stick")
        << "restore, no stick" << false << QString() << QStringList{fail} << QStringList{noStick}
        << QString();
    QTest::newRow("clear data") << "clear" << false << QString() << QStringList{blank}
                                << QStringList{exactly(zh("Clear Data Ok "))} << clearQuestion;
    QTest::newRow("clear data fails")
        << "clear, server down" << false << QString() << QStringList{fail}
        << QStringList{exactly(
               zhBox("Database %1 not dropped: %2").arg("appdb", zhBox("exit status %1").arg(1)) +
               QLatin1Char('\n') + zhBox("Nothing was deleted.") + QLatin1Char('\n') +
               zhBox("Not deleted: %1.")
                   .arg(QStringList{"appdb", "Misc", "/opt/Brevin"}.join(zhBox(", "))))}
        << clearQuestion;
    QTest::newRow("power off") << "power off" << false << QString() << QStringList{blank}
                               << QStringList{exactly(zh("Power Off... "))} << QString();
    QTest::newRow("restore without a backup set")
        << "restore, empty stick" << true << QString() << QStringList{fail}
        << QStringList{exactly(zhBox("No complete backup on U disk!"))} << QString();
    // An older panel's set: one file and two dumps, which the runner "loads".
    const QString olderSet =
        exactly(zh("Replace %1 and the databases appdb and Misc with an older panel's backup "
                   "(%2)? It cannot be verified.")
                    .arg(QStringLiteral("/opt"), QStringLiteral("XFILESX")))
            .replace(QLatin1String("XFILESX"), files(1));
    QTest::newRow("restore") << "restore" << true << zh("Restore...") << QStringList{blank}
                             << QStringList{exactly(zhBox("Restore Ok")) + QLatin1Char('\n') +
                                            files(1, zhBox)}
                             << olderSet;
    // The dumps are written as mysqldump would write them: the set is whole.
    QTest::newRow("backup") << "backup" << true << zh("Backup...") << QStringList{blank}
                            << QStringList{exactly(zhBox("Backup Ok")) + QLatin1Char('\n') +
                                           files(1, zhBox)}
                            << QString();
    // The runner writes no dumps: both are named, and the previous set stays.
    QTest::newRow("backup, dumps missing")
        << "backup, no dumps" << true << zh("Backup...") << QStringList{fail}
        << QStringList{exactly(zhBox("Dump of %1 is not complete").arg("appdb") +
                               QLatin1Char('\n') + zhBox("No backup was written to the U disk."))}
        << QString();
}

void tst_translations::maintenanceTexts()
{
    QFETCH(QString, scenario);
    QFETCH(bool, stick);
    QFETCH(QString, caption);
    QFETCH(QStringList, titles);
    QFETCH(QStringList, texts);
    QFETCH(QString, question);

    TestSystemRoot root;
    QVERIFY(root.isValid());
    if (stick) {
        if (!root.mountStick())
            QSKIP(qPrintable(QLatin1String("no stick: ") + TestSystemRoot::namespaceProblem()));
        QVERIFY(root.plugNode());
    }
    RecordingRunner runner;
    auto panel = makeRootedPanel(root, &runner);
    panel->resize(800, 480);

    // The progress dialog shows while the copy ends with its "sync".
    QString shownCaption;
    QFont captionFont;
    runner.onRun = [&](const QByteArray &line) {
        auto *dialog = panel->findChild<MyProgressDialog *>();
        if (line == syncCommand() && dialog && dialog->isVisible()) {
            auto *label = dialog->findChild<QLabel *>(QStringLiteral("label"));
            shownCaption = label->text();
            captionFont = label->font();
            saveShot(panel.get(), QStringLiteral("zh_CN-progress-") + scenario.section(',', 0, 0));
        }
    };

    const QString sysroot = root.path();
    QDir(sysroot).mkpath(QStringLiteral("opt/Brevin"));
    QFile(root.file(QStringLiteral("opt/Brevin/plu.csv"))).open(QIODevice::WriteOnly);
    const char *button = "btn_back";
    if (scenario.startsWith(QLatin1String("restore"))) {
        button = "btn_reduction";
        if (scenario == QLatin1String("restore")) {
            QDir(sysroot).mkpath(QStringLiteral("mnt/usb/BackupData/opt/Brevin"));
            QFile(root.file(QStringLiteral("mnt/usb/BackupData/opt/Brevin/plu.csv")))
                .open(QIODevice::WriteOnly);
            for (const QString &database : maintainedDatabases()) {
                QFile dump(dumpFile(sysroot, database));
                QVERIFY(dump.open(QIODevice::WriteOnly));
                dump.write("-- MariaDB dump\nCREATE TABLE t (id int);\n"
                           "-- Dump completed on 2024-01-01  0:00:00\n");
            }
        }
    } else if (scenario.startsWith(QLatin1String("clear"))) {
        button = "btn_clear";
        if (scenario == QLatin1String("clear"))
            QDir(root.file(QStringLiteral("opt/Brevin"))).removeRecursively();
        else
            for (const QString &database : maintainedDatabases())
                runner.statuses.insert(dropDatabaseCommand(database), 1 << 8);
    } else if (scenario == QLatin1String("power off")) {
        button = "btn_exit";
    } else if (scenario == QLatin1String("backup")) {
        // mysqldump's place: a whole dump where the line sends it.
        const auto shownCaptionHook = runner.onRun;
        runner.onRun = [shownCaptionHook](const QByteArray &line) {
            shownCaptionHook(line);
            if (!line.startsWith("mysqldump"))
                return;
            QFile dump(QFile::decodeName(line.mid(line.lastIndexOf(' ') + 1)));
            if (dump.open(QIODevice::WriteOnly | QIODevice::Truncate))
                dump.write("-- MariaDB dump\nCREATE TABLE t (id int);\n"
                           "-- Dump completed on 2024-01-01  0:00:00\n");
        };
    }

    ModalCloser closer;
    if (scenario == QLatin1String("restore")) {
        const QString shots = qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath());
        closer.questionPicture = shots + QLatin1String("/zh_CN-restore-question.png");
        closer.boxPicture = shots + QLatin1String("/zh_CN-restore-ok.png");
        closer.pictureScreen = QSize(800, 480);
    }
    clickMaintenance(panel.get(), button);
    QCOMPARE(closer.questions.size(), question.isEmpty() ? 0 : 1);
    if (!question.isEmpty()) {
        const QRegularExpression asked(QRegularExpression::anchoredPattern(question));
        QVERIFY2(asked.match(closer.questions.first().text).hasMatch(),
                 qPrintable(closer.questions.first().text));
    }
    QCOMPARE(shownCaption, caption);
    if (!caption.isEmpty())
        VERIFY_GLYPHS(captionFont, shownCaption);
    QCOMPARE(closer.titles(), titles);
    for (int i = 0; i < closer.boxes.size(); ++i) {
        const ModalCloser::Box &box = closer.boxes.at(i);
        const QRegularExpression text(QRegularExpression::anchoredPattern(
            QString(texts.at(i))
                .replace(QLatin1String("SYSROOT"), QRegularExpression::escape(sysroot))));
        QVERIFY2(text.match(box.text).hasMatch(), qPrintable(box.text));
        // The OK comes from Qt's own translation.
        QCOMPARE(box.buttons, QStringList{QStringLiteral("确定")});
        VERIFY_GLYPHS(QApplication::font("QMessageBox"), box.title + box.text);
    }
}

// The pictures of the README: each page of the Chinese panel at 800 x 480.
void tst_translations::screenshots()
{
    FakePrinterLink printer;
    printer.setReply({"fb", "1", "0"});
    sendordertoprinter_test panel;
    panel.setPrinterLink(&printer);
    panel.resize(800, 480);
    panel.show();
    QVERIFY(QTest::qWaitForWindowExposed(&panel));

    panel.setCurrentPage(0);
    saveShot(&panel, QStringLiteral("page-start-zh_CN"));
    panel.setCurrentPage(1);
    QTest::mouseClick(panel.findChild<QPushButton *>(QStringLiteral("light_sensitive_status")),
                      Qt::LeftButton);
    saveShot(&panel, QStringLiteral("page-printer-zh_CN"));
    panel.setCurrentPage(2);
    saveShot(&panel, QStringLiteral("page-backup-zh_CN"));
    TouchShots::saveAll(&panel, QStringLiteral("-zh_CN"));
    QTest::ignoreMessage(QtDebugMsg, "sendordertoprinter_test::~sendordertoprinter_test()");
}

QTEST_MAIN(tst_translations)
#include "tst_translations.moc"
