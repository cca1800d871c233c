#include "app/startup.h"
#include "printerpage.h"
#include "printersimprocess.h"
#include "testutil.h"

#include <QRegularExpression>
#include <QtTest>

#include <memory>

// The real panel on its default serial link, with the printer simulator on the line, and the
// four status buttons pressed as the technician does.
class tst_printere2e : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void statusQueries_data();
    void statusQueries();
    void printerMissing();

private:
    void openPage(const QString &port);

    PrinterSimProcess m_printer;
    std::unique_ptr<PrinterPage> m_page;
};

static const char *const Buttons[] = {"have_paper_reset", "have_or_not_paper", "print_soft_version",
                                      "light_sensitive_status"};

void tst_printere2e::initTestCase()
{
    installApplicationFont();
}

void tst_printere2e::cleanup()
{
    m_page.reset();
    m_printer.stop();
    qunsetenv("PANEL_PRINTER_PORT");
}

void tst_printere2e::openPage(const QString &port)
{
    // Read when the panel makes its serial link, at the first exchange.
    qputenv("PANEL_PRINTER_PORT", QFile::encodeName(port));
    m_page = std::make_unique<PrinterPage>(nullptr);
    QVERIFY(QTest::qWaitForWindowExposed(m_page->panel()));
}

void tst_printere2e::statusQueries_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QStringList>("verdicts");
    QTest::addColumn<QStringList>("answers");

    QTest::newRow("printer answers")
        << QStringList()
        << QStringList{"Loaded paper", "Label left", "Current Version:V1.0", "Paper Detected"}
        << QStringList{"c2,0,0", "c2,0,0", "56,31,2e,30,0,0,0,0", "fb,0,1"};
    const QString none = QStringLiteral("No answer from printer");
    QTest::newRow("printer silent")
        << QStringList{"--no-answer"} << QStringList{none, none, none, none}
        << QStringList{"(no answer)", "(no answer)", "(no answer)", "(no answer)"};
    QTest::newRow("answers cut short")
        << QStringList{"--short"} << QStringList{none, none, none, none}
        << QStringList{"ignored c2: too short for an answer to e2\n< (no answer)",
                       "ignored c2: too short for an answer to e1\n< (no answer)",
                       "ignored 56: too short for an answer to fd\n< (no answer)",
                       "ignored fb: too short for an answer to fb\n< (no answer)"};
    QTest::newRow("answers run on")
        << QStringList{"--long"} << QStringList{none, none, none, none}
        << QStringList{
               "ignored c2 00 00 00: too long for an answer to e2\n< (no answer)",
               "ignored c2 00 00 00: too long for an answer to e1\n< (no answer)",
               "ignored 56 31 2e 30 00 00 00 00 00: too long for an answer to fd\n< (no answer)",
               "ignored fb 00 01 00: too long for an answer to fb\n< (no answer)"};
    QTest::newRow("answers for other codes")
        << QStringList{"--wrong-code"} << QStringList{none, none, none, none}
        << QStringList{"ignored fb 00 01: not an answer to e2\n< (no answer)",
                       "ignored 56 31 2e 30 00 00 00 00: not an answer to e1\n< (no answer)",
                       "ignored f4 00 00 00 3a 98 00 02 00 00 02 00 00 00 00: not an answer to "
                       "fd\n< (no answer)",
                       "ignored c2 00 00: not an answer to fb\n< (no answer)"};
}

void tst_printere2e::statusQueries()
{
    QFETCH(QStringList, options);
    QFETCH(QStringList, verdicts);
    QFETCH(QStringList, answers);

    QVERIFY(m_printer.start(options));
    openPage(m_printer.portPath());

    QString traffic;
    QStringList frames;
    for (int i = 0; i < 4; ++i) {
        m_page->click(Buttons[i]);
        QCOMPARE(m_page->result(), verdicts.at(i));
        if (QByteArray(Buttons[i]) == "print_soft_version" && options.isEmpty())
            saveShot(m_page->panel(), QStringLiteral("printer-version-over-serial"));
        const char *codes[] = {"e2", "e1", "fd", "fb"};
        traffic += QStringLiteral("> aa,%1,0,0\n< %2\n").arg(codes[i], answers.at(i));
        frames << QStringLiteral("aa %1 00 00").arg(codes[i]);
    }
    QCOMPARE(m_page->child<QTextEdit>("label_test")->toPlainText(), traffic);
    QCOMPARE(m_printer.frames(), frames);
}

void tst_printere2e::printerMissing()
{
    const QString port = m_printer.filePath(QStringLiteral("no-printer"));
    openPage(port);
    // Said once on standard error, not once per press.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^printer port .*no-printer: "));
    // The result box names the port and why, on every press: no silent printer.
    for (const char *button : Buttons) {
        m_page->click(button);
        QCOMPARE(m_page->result(),
                 QStringLiteral("Printer port %1 cannot be opened: No such file or directory")
                     .arg(port));
    }
}

QTEST_MAIN(tst_printere2e)
#include "tst_printere2e.moc"
