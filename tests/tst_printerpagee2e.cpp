#include "app/startup.h"
#include "printerpage.h"
#include "printersimprocess.h"
#include "testutil.h"

#include <QtTest>

#include <memory>

// The real panel on its default serial link, with the printer simulator at the other end.
class tst_printerpagee2e : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void settingsReportShowsWhatWasSet();

private:
    std::unique_ptr<PrinterSimProcess> m_printer;
    std::unique_ptr<PrinterPage> m_page;
};

void tst_printerpagee2e::initTestCase()
{
    installApplicationFont();
}

void tst_printerpagee2e::init()
{
    m_printer = std::make_unique<PrinterSimProcess>();
    QVERIFY(m_printer->start());
    qputenv("PANEL_PRINTER_PORT", m_printer->portPath().toLocal8Bit());
    m_page = std::make_unique<PrinterPage>(nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(m_page->panel()));
}

void tst_printerpagee2e::cleanup()
{
    m_page.reset();
    m_printer.reset();
    qunsetenv("PANEL_PRINTER_PORT");
}

void tst_printerpagee2e::settingsReportShowsWhatWasSet()
{
    struct Step
    {
        int index;
        const char *value;
        const char *verdict;
    };
    const QString heatDone =
        QStringLiteral("Reset to default heating\n\nPlease check Current Settings");
    const Step steps[] = {
        {0, "300", "Start Position: 300"},
        {1, "5", "Heating Level: 5"},
        {2, "3", "Speed Level: 3"},
        {3, "40", "Roll Back Distance: 40"},
        {4, "20", "Extra Feed: 20"},
        {5, "1", nullptr},
        {6, "2", nullptr},
        {7, "3", nullptr},
        {8, "12000", "Internel Sensor Threshold has been set."},
    };

    m_page->click("paper");
    QCOMPARE(m_page->result(), QStringLiteral("Paper Type: Receipt"));
    // After the paper type, since receipt mode may switch collection off by itself.
    m_page->click("recieve_down_paper");
    QCOMPARE(m_page->result(), QStringLiteral("Now colleccting back paper"));
    for (const Step &step : steps) {
        m_page->send(step.index, QLatin1String(step.value));
        QCOMPARE(m_page->result(), step.verdict ? QLatin1String(step.verdict) : heatDone);
    }

    m_page->click("parameter_query");

    QCOMPARE(m_page->result(), QStringLiteral("Paper Type:Receipt\n"
                                              "start Print Location:300\n"
                                              "Opto Compare Value:12000\n"
                                              "Back Paper Status:Back Paper\n"
                                              "Pull Back Distance:40\n"
                                              "Extra Feed Distance:20\n"
                                              "Heating Level:5\n"
                                              "Left Location Heat Time:3\n"
                                              "Middle Location Heat Time:2\n"
                                              "Right Location Heat Time:1"));
    saveShot(m_page->panel(), QStringLiteral("printer-settings-report-simulator"));
}

QTEST_MAIN(tst_printerpagee2e)
#include "tst_printerpagee2e.moc"
