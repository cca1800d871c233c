#include "app/startup.h"
#include "printerpagetest.h"
#include "testutil.h"

#include "panel/printertext.h"
#include "printer/printercommands.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QScrollBar>
#include <QTextEdit>
#include <QtTest>

#include <memory>

class tst_printermodes : public PrinterPageTest
{
    Q_OBJECT

public:
    // The pictures show the panel as the device draws it.
    static void initMain() { drawAsDevice(qgetenv("QT_QPA_PLATFORM")); }

private slots:
    void modeSetting_data();
    void modeSetting();

    void settingsReport_data();
    void settingsReport();
    void settingsQuery();
    void settingsQueryWithoutAnswer();
    void settingsReportScreenshot_data();
    void settingsReportScreenshot();

    void parameterResetFromAnotherItem();
    void parameterResetFromFirstItem();
    void parameterReset_data();
    void parameterReset();
    void paperReset_data();
    void paperReset();
};

static const QString backPaperDescription = QStringLiteral(
    "Parameter Settings: Back Paper Collection\nExplanation: Back paper collection setting\n"
    "Caution: It is default to NO collection when it is set to receipt mode.");
static const QString labelDescription = QStringLiteral(
    "Parameter Name: Label Settings\nExplanation: Change mode to label mode.\nCaution: If mode "
    "is changed from receipt to label, please recalibrate the printer.");
static const QString resetDescription = QStringLiteral(
    "Parameter Name: Parameter Reset.\nExplanation: Reset all parameters to default values.");
static const QString startPositionDescription = QStringLiteral(
    "Paramter Name: Start Position\nRange: [0-400], 100 = 6mm\nExplanation: Start position to "
    "the top of the label.\nDefault: 0\nCaution: Please input a reasonable value for small "
    "labels.");
static const QStringList referenceReply{"f4", "0",  "01", "90", "3a", "98", "1", "0",
                                        "0a", "14", "2",  "0",  "1",  "0",  "2"};
static const QString referenceReport = QStringLiteral("Paper Type:Label\n"
                                                      "start Print Location:400\n"
                                                      "Opto Compare Value:15000\n"
                                                      "Back Paper Status:No Back Paper\n"
                                                      "Pull Back Distance:10\n"
                                                      "Extra Feed Distance:20\n"
                                                      "Heating Level:2\n"
                                                      "Left Location Heat Time:1\n"
                                                      "Middle Location Heat Time:0\n"
                                                      "Right Location Heat Time:2");

void tst_printermodes::modeSetting_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("description");

    const QString failed = QStringLiteral("Setting Failed! Please check command");
    const QString noAnswer = QStringLiteral("No answer from printer");
    const QString off = QStringLiteral("No longer collecting back paper");
    const QString on = QStringLiteral("Now colleccting back paper");
    const QString label = QStringLiteral("Paper Type: Label");
    const QString receipt = QStringLiteral("Paper Type: Receipt");

    QTest::newRow("back paper off")
        << "nrecieve_down_paper"
        << "aa,f6,1,0" << QStringList{"f6", "1"} << off << backPaperDescription;
    QTest::newRow("back paper off, wrong value echo")
        << "nrecieve_down_paper"
        << "aa,f6,1,0" << QStringList{"f6", "0"} << failed << backPaperDescription;
    QTest::newRow("back paper on")
        << "recieve_down_paper"
        << "aa,f6,0,0" << QStringList{"f6", "0"} << on << backPaperDescription;
    QTest::newRow("back paper on, code in capitals")
        << "recieve_down_paper"
        << "aa,f6,0,0" << QStringList{"F6", "0"} << failed << backPaperDescription;
    QTest::newRow("back paper on, value 00")
        << "recieve_down_paper"
        << "aa,f6,0,0" << QStringList{"f6", "00"} << failed << backPaperDescription;
    QTest::newRow("label") << "label_paper"
                           << "aa,f2,0,0" << QStringList{"f2", "0"} << label << labelDescription;
    QTest::newRow("label, receipt echo")
        << "label_paper"
        << "aa,f2,0,0" << QStringList{"f2", "1"} << failed << labelDescription;
    QTest::newRow("label, code only")
        << "label_paper"
        << "aa,f2,0,0" << QStringList{"f2"} << failed << labelDescription;
    QTest::newRow("label, no answer")
        << "label_paper"
        << "aa,f2,0,0" << QStringList{QString()} << noAnswer << labelDescription;
    QTest::newRow("receipt") << "paper"
                             << "aa,f2,01,0" << QStringList{"f2", "1"} << receipt
                             << backPaperDescription;
    QTest::newRow("receipt, echo 01")
        << "paper"
        << "aa,f2,01,0" << QStringList{"f2", "01"} << failed << backPaperDescription;
    QTest::newRow("receipt, extra fields")
        << "paper"
        << "aa,f2,01,0" << QStringList{"f2", "1", "ff", "ff"} << receipt << backPaperDescription;
    QTest::newRow("receipt, empty reply list")
        << "paper"
        << "aa,f2,01,0" << QStringList() << noAnswer << backPaperDescription;
    QTest::newRow("back paper off, no answer")
        << "nrecieve_down_paper"
        << "aa,f6,1,0" << QStringList{QString()} << noAnswer << backPaperDescription;
}

void tst_printermodes::modeSetting()
{
    QFETCH(QString, button);
    QFETCH(QString, command);
    QFETCH(QStringList, reply);
    QFETCH(QString, result);
    QFETCH(QString, description);

    m_page->choose(8); // something else in the description box first
    m_link->setReply(reply);
    m_page->click(button.toLatin1().constData());

    QCOMPARE(m_link->commands(), QStringList{command});
    QCOMPARE(m_page->result(), result);
    QCOMPARE(m_page->description(), description);
}

void tst_printermodes::settingsReport_data()
{
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<QString>("report");

    auto with = [](QList<QPair<int, QString>> changes) {
        QStringList reply = referenceReply;
        for (const auto &change : changes)
            reply[change.first] = change.second;
        return reply;
    };
    auto line = [](int number, const QString &text) {
        QStringList lines = referenceReport.split(QLatin1Char('\n'));
        lines[number - 1] = text;
        return lines.join(QLatin1Char('\n'));
    };

    QTest::newRow("reference") << referenceReply << referenceReport;
    QTest::newRow("receipt and back paper")
        << with({{1, "1"}, {6, "0"}})
        << line(1, "Paper Type:Receipt").replace("Status:No Back Paper", "Status:Back Paper");
    QTest::newRow("paper type 2") << with({{1, "2"}}) << line(1, "Paper Type:Please Check Issue");
    QTest::newRow("paper type 01") << with({{1, "01"}}) << line(1, "Paper Type:Please Check Issue");
    QTest::newRow("back paper 2") << with({{6, "2"}})
                                  << line(4, "Back Paper Status:Please Check Issue");
    QTest::newRow("start position joined as texts")
        << with({{2, "1"}, {3, "5"}}) << line(2, "start Print Location:21");
    QTest::newRow("start position single digits")
        << with({{2, "1"}, {3, "90"}}) << line(2, "start Print Location:400");
    QTest::newRow("pull back not hex") << with({{8, "zz"}}) << line(5, "Pull Back Distance:0");
    QTest::newRow("heating in capitals") << with({{10, "A"}}) << line(7, "Heating Level:10");
    QTest::newRow("heat time shown as received")
        << with({{12, "a"}}) << line(8, "Left Location Heat Time:a");
    QTest::newRow("field 0 ignored") << with({{0, "xx"}}) << referenceReport;
    QTest::newRow("fields beyond 14 ignored")
        << referenceReply + QStringList{"7", "8"} << referenceReport;
    QTest::newRow("short reply") << QStringList{"f4", "1", "0", "5"}
                                 << "Paper Type:Receipt\n"
                                    "start Print Location:5\n"
                                    "Opto Compare Value:0\n"
                                    "Back Paper Status:Please Check Issue\n"
                                    "Pull Back Distance:0\n"
                                    "Extra Feed Distance:0\n"
                                    "Heating Level:0\n"
                                    "Left Location Heat Time:\n"
                                    "Middle Location Heat Time:\n"
                                    "Right Location Heat Time:";
}

void tst_printermodes::settingsReport()
{
    QFETCH(QStringList, reply);
    QFETCH(QString, report);

    QCOMPARE(PrinterText::settingsReport(printerSettings(reply)), report);
}

void tst_printermodes::settingsQuery()
{
    m_link->setReply({"f2", "1"});
    m_page->click("paper"); // leaves a verdict that the query must clear before sending
    m_link->clearCommands();

    QString resultWhileSending = QStringLiteral("(not sent)");
    m_link->onExchange = [this, &resultWhileSending](const QString &) {
        resultWhileSending = m_page->result();
    };
    m_link->setReply(referenceReply);
    m_page->click("parameter_query");

    QCOMPARE(m_link->commands(), QStringList{"aa,f4,1,0"});
    QCOMPARE(resultWhileSending, QString());
    QCOMPARE(m_page->result(), referenceReport);
    QVERIFY(!m_page->result().endsWith(QLatin1Char('\n')));
    QCOMPARE(m_page->description(),
             QStringLiteral("Parameter Name: Current Settings\nExplanation: Lookup all current "
                            "settings."));
}

void tst_printermodes::settingsReportScreenshot_data()
{
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<bool>("wholeReport");
    QTest::addColumn<QString>("name");

    // At 800 x 480 the result box is a scrolling sliver; a larger panel shows the whole report.
    QTest::newRow("800x480") << QSize(800, 480) << false << "printer-settings-report";
    QTest::newRow("1280x1024") << QSize(1280, 1024) << true << "printer-settings-report-1280x1024";
}

void tst_printermodes::settingsReportScreenshot()
{
    QFETCH(QSize, screen);
    QFETCH(bool, wholeReport);
    QFETCH(QString, name);

    m_page->panel()->resize(screen);
    m_link->setReply(referenceReply);
    m_page->click("parameter_query");
    QCOMPARE(m_page->result(), referenceReport);

    auto *result = m_page->panel()->findChild<QTextEdit *>(QStringLiteral("textEdit"));
    QVERIFY(result);
    QApplication::processEvents();
    const QString shot = saveShot(m_page->panel(), name);
    QVERIFY(QFileInfo(shot).size() > 0);
    if (wholeReport)
        QCOMPARE(result->verticalScrollBar()->maximum(), 0);
}

void tst_printermodes::settingsQueryWithoutAnswer()
{
    m_link->setReply({QString()});
    m_page->click("parameter_query");

    QCOMPARE(m_page->result(), QStringLiteral("No answer from printer"));
    QVERIFY(m_page->description().startsWith(QLatin1String("Parameter Name: Current Settings")));
}

void tst_printermodes::parameterResetFromAnotherItem()
{
    m_page->send(3, QStringLiteral("12"));
    QCOMPARE(m_page->entry()->text(), QStringLiteral("12"));

    int indexWhileSending = -2;
    QString entryWhileSending = QStringLiteral("(not sent)");
    QString descriptionWhileSending;
    m_link->onExchange = [&](const QString &) {
        indexWhileSending = m_page->selector()->currentIndex();
        entryWhileSending = m_page->entry()->text();
        descriptionWhileSending = m_page->description();
    };
    m_link->clearCommands();
    m_link->setReply({"f1", "0", "0"});
    m_page->click("parameter_reset");

    QCOMPARE(m_link->commands(), QStringList{"aa,f1,0,0"});
    QCOMPARE(indexWhileSending, 0);
    QCOMPARE(entryWhileSending, QString());
    QCOMPARE(descriptionWhileSending, startPositionDescription);
    QCOMPARE(m_page->selector()->currentIndex(), 0);
    QCOMPARE(m_page->entry()->text(), QString());
    QCOMPARE(m_page->result(), QStringLiteral("Reset Parameters"));
    QCOMPARE(m_page->description(), resetDescription);
}

void tst_printermodes::parameterResetFromFirstItem()
{
    m_link->setReply({"f2", "0"});
    m_page->click("label_paper");
    m_page->type(QStringLiteral("300"));

    QSignalSpy changed(m_page->selector(), QOverload<int>::of(&QComboBox::currentIndexChanged));
    QString descriptionWhileSending;
    m_link->onExchange = [&](const QString &) { descriptionWhileSending = m_page->description(); };
    m_link->setReply({"f1"});
    m_page->click("parameter_reset");

    QCOMPARE(changed.count(), 0);
    QCOMPARE(descriptionWhileSending, labelDescription);
    QCOMPARE(m_page->selector()->currentIndex(), 0);
    QCOMPARE(m_page->entry()->text(), QString());
    QCOMPARE(m_page->result(), QStringLiteral("Reset Parameters"));
    QCOMPARE(m_page->description(), resetDescription);
}

void tst_printermodes::parameterReset_data()
{
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<QString>("result");

    QTest::newRow("confirmed") << QStringList{"f1", "0", "0"} << "Reset Parameters";
    QTest::newRow("any other answer") << QStringList{"zz"} << "Reset Parameters";
    QTest::newRow("no answer") << QStringList{QString()} << "No answer from printer";
    QTest::newRow("empty reply list") << QStringList() << "No answer from printer";
}

void tst_printermodes::parameterReset()
{
    QFETCH(QStringList, reply);
    QFETCH(QString, result);

    m_link->setReply(reply);
    m_page->click("parameter_reset");

    QCOMPARE(m_link->commands(), QStringList{"aa,f1,0,0"});
    QCOMPARE(m_page->result(), result);
    QCOMPARE(m_page->description(), resetDescription);
}

void tst_printermodes::paperReset_data()
{
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<QString>("result");

    const QString failed = QStringLiteral("Setting Failed! Please check command");
    QTest::newRow("fc") << QStringList{"fc"} << "Paper Reset";
    QTest::newRow("fc with more fields") << QStringList{"fc", "0", "0"} << "Paper Reset";
    QTest::newRow("FC in capitals") << QStringList{"FC", "0", "0"} << failed;
    QTest::newRow("another code") << QStringList{"f1", "0", "0"} << failed;
    QTest::newRow("no answer") << QStringList{QString()} << "No answer from printer";
    QTest::newRow("empty reply list") << QStringList() << "No answer from printer";
}

void tst_printermodes::paperReset()
{
    QFETCH(QStringList, reply);
    QFETCH(QString, result);

    m_link->setReply(reply);
    m_page->click("paper_reset");

    QCOMPARE(m_link->commands(), QStringList{"aa,fc,0,0"});
    QCOMPARE(m_page->result(), result);
    QCOMPARE(m_page->description(),
             QStringLiteral("Parameter Name: Paper  Replacement Reset.\nExplanation: Reset to "
                            "Label from  Receipt or Receipt from Label, printing records and no of "
                            "label records would be clear for preventing incorrect record data"));
}

QTEST_MAIN(tst_printermodes)
#include "tst_printermodes.moc"
