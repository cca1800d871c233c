#include "printerpagetest.h"

#include <QTextDocument>
#include <QtTest>

#include <memory>

// The four one-button queries of the printer page against a fake printer.
class tst_statusqueries : public PrinterPageTest
{
    Q_OBJECT

private slots:
    void init();

    void verdicts_data();
    void verdicts();
    void noAnswer_data();
    void noAnswer();
    void trafficLog_data();
    void trafficLog();
    void trafficLogClearsPastTwoHundredLines();

private:
    struct Query
    {
        QString command;
        QString description;
    };
    static Query query(const QByteArray &button);
    QTextEdit *logBox() { return m_page->child<QTextEdit>("label_test"); }
};

tst_statusqueries::Query tst_statusqueries::query(const QByteArray &button)
{
    if (button == "have_paper_reset")
        return {"aa,e2,0,0",
                "Parameter name: Paper reset  n Explanation: Print out the paper cartridge for "
                "the last printer, and when the paper is finished, notify the printer that the "
                "paper has completed the parameters"};
    if (button == "have_or_not_paper")
        return {"aa,e1,0,0", "Parameter Name: Label left.\nExplanation:Judge whether"};
    if (button == "print_soft_version")
        return {"aa,fd,0,0",
                "ameter Name: Version Lookup\nExplanation: Check the current printer veriosn "
                "number."};
    if (button == "light_sensitive_status")
        return {"aa,fb,0,0", "Parameter Name: Paper sensor status"};
    qFatal("no query button %s", button.constData());
    return {};
}

void tst_statusqueries::init()
{
    PrinterPageTest::init();
    // Left over from an earlier press: both boxes must be replaced, not added to.
    m_page->child<QTextEdit>("textEdit")->setText(QStringLiteral("Earlier verdict"));
    m_page->child<QTextEdit>("textEdit_2")->setText(QStringLiteral("Earlier\ndescription"));
}

void tst_statusqueries::verdicts_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<QString>("verdict");

    auto row = [](const char *name, const char *button, const QStringList &reply,
                  const QString &verdict) {
        QTest::newRow(name) << QByteArray(button) << reply << verdict;
    };
    const char *paper = "have_paper_reset";
    row("paper: c2", paper, {"c2"}, "Loaded paper");
    row("paper: c2 and more", paper, {"c2", "0", "0", "ff"}, "Loaded paper");
    row("paper: C2", paper, {"C2"}, "Paper not loaded");
    row("paper: c2 and a space", paper, {"c2 "}, "Paper not loaded");
    row("paper: c2 in field 1", paper, {"0", "c2"}, "Paper not loaded");
    row("paper: two empty fields", paper, {"", ""}, "Paper not loaded");

    const char *labels = "have_or_not_paper";
    row("labels: c2", labels, {"c2", "0", "0"}, "Label left");
    row("labels: C2", labels, {"C2"}, "None label left");
    row("labels: c0", labels, {"c0", "0", "0"}, "None label left");
    row("labels: two empty fields", labels, {"", ""}, "None label left");

    const char *version = "print_soft_version";
    row("version: four fields", version, {"56", "31", "2e", "30"}, "Current Version:V1.0");
    row("version: zero-padded", version, {"56", "31", "2e", "30", "0", "0", "0", "0"},
        "Current Version:V1.0");
    row("version: eight characters, no zero", version,
        {"56", "31", "2e", "30", "2e", "31", "32", "33"}, "Current Version:V1.0.123");
    row("version: zero byte", version, {"56", "31", "00", "32", "33"}, "Current Version:V1");
    row("version: single digit", version, {"56", "7"}, QStringLiteral("Current Version:V\x07"));
    row("version: more than eight fields", version,
        {"56", "32", "2e", "30", "2e", "31", "2e", "39", "33", "34"}, "Current Version:V2.0.1.9");
    row("version: two bytes in a field", version, {"5632", "2e31"}, "Current Version:V2.1");
    row("version: upper case", version, {"56", "4A"}, "Current Version:VJ");
    row("version: not hex", version, {"5g6", "3x1"}, "Current Version:V1");
    row("version: zero first", version, {"0", "56"}, "Current Version:");
    row("version: UTF-8", version, {"56", "c3", "a9"},
        QString::fromUtf8("Current Version:V\u00e9"));
    row("version: two empty fields", version, {"", ""}, "Current Version:");

    const char *sensor = "light_sensitive_status";
    row("sensor: no paper", sensor, {"fb", "0", "0"}, "Paper Not Detected");
    row("sensor: field 3 ignored", sensor, {"fb", "0", "0", "9"}, "Paper Not Detected");
    row("sensor: 00", sensor, {"fb", "00", "0"}, "Paper Detected");
    row("sensor: FB", sensor, {"FB", "0", "0"}, "Paper Detected");
    row("sensor: two fields", sensor, {"fb", "0"}, "Paper Detected");
    row("sensor: paper there", sensor, {"fb", "0", "1"}, "Paper Detected");
    row("sensor: three empty fields", sensor, {"", "", ""}, "Paper Detected");
}

void tst_statusqueries::verdicts()
{
    QFETCH(QByteArray, button);
    QFETCH(QStringList, reply);
    QFETCH(QString, verdict);

    m_link->setReply(reply);
    m_page->click(button.constData());
    QCOMPARE(m_link->commands(), QStringList{query(button).command});
    QCOMPARE(m_page->result(), verdict);
    QCOMPARE(m_page->description(), query(button).description);
}

void tst_statusqueries::noAnswer_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QStringList>("reply");

    const char *buttons[] = {"have_paper_reset", "have_or_not_paper", "print_soft_version",
                             "light_sensitive_status"};
    for (const char *button : buttons) {
        QTest::addRow("%s, one empty field", button) << QByteArray(button) << QStringList{""};
        QTest::addRow("%s, no fields", button) << QByteArray(button) << QStringList();
    }
}

// A silent printer is not a printer without paper.
void tst_statusqueries::noAnswer()
{
    QFETCH(QByteArray, button);
    QFETCH(QStringList, reply);

    m_link->setReply(reply);
    m_page->click(button.constData());
    QCOMPARE(m_link->commands(), QStringList{query(button).command});
    QCOMPARE(m_page->result(), QStringLiteral("No answer from printer"));
    QCOMPARE(m_page->description(), query(button).description);
}

void tst_statusqueries::trafficLog_data()
{
    QTest::addColumn<QStringList>("reply");
    QTest::addColumn<QString>("answerLine");

    QTest::newRow("answer") << QStringList{"fb", "0", "0"} << "< fb,0,0";
    QTest::newRow("one field") << QStringList{"c2"} << "< c2";
    QTest::newRow("no answer") << QStringList{""} << "< (no answer)";
    QTest::newRow("empty list") << QStringList() << "< (no answer)";
}

void tst_statusqueries::trafficLog()
{
    QFETCH(QStringList, reply);
    QFETCH(QString, answerLine);

    m_link->setReply(reply);
    m_page->click("light_sensitive_status");
    m_page->click("print_soft_version");
    const QString expected = QStringLiteral("> aa,fb,0,0\n") + answerLine +
                             QStringLiteral("\n> aa,fd,0,0\n") + answerLine + QLatin1Char('\n');
    QCOMPARE(logBox()->toPlainText(), expected);
}

void tst_statusqueries::trafficLogClearsPastTwoHundredLines()
{
    m_link->setReply({"c2"});
    for (int i = 0; i < 99; ++i)
        m_page->click("have_or_not_paper");
    // 198 lines and the empty one after the last line break.
    QCOMPARE(logBox()->document()->lineCount(), 199);
    QVERIFY(logBox()->toPlainText().endsWith(QLatin1String("> aa,e1,0,0\n< c2\n")));

    // The hundredth exchange's answer line is the 200th line: the box is cleared.
    m_page->click("have_or_not_paper");
    QCOMPARE(logBox()->toPlainText(), QString());
    QCOMPARE(m_page->result(), QStringLiteral("Label left"));

    m_page->click("have_paper_reset");
    QCOMPARE(logBox()->toPlainText(), QStringLiteral("> aa,e2,0,0\n< c2\n"));
    QCOMPARE(m_link->commands().size(), 101);
}

QTEST_MAIN(tst_statusqueries)
#include "tst_statusqueries.moc"
