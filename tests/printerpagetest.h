#ifndef PRINTERPAGETEST_H
#define PRINTERPAGETEST_H

#include "app/startup.h"

#include "fakeprinterlink.h"
#include "printerpage.h"

#include <QObject>
#include <QtTest>

#include <memory>

// The fixture of the printer page's tests: for each test function a fresh panel on its
// printer page, on screen, against a fake printer that has not answered yet. A test that
// needs more in its init() calls this one's first.
class PrinterPageTest : public QObject
{
    Q_OBJECT

protected slots:
    void initTestCase() { installApplicationFont(); }
    void init()
    {
        m_link = std::make_unique<FakePrinterLink>();
        m_page = std::make_unique<PrinterPage>(m_link.get());
        QVERIFY(QTest::qWaitForWindowExposed(m_page->panel()));
    }
    void cleanup()
    {
        m_page.reset();
        m_link.reset();
    }

protected:
    std::unique_ptr<FakePrinterLink> m_link;
    std::unique_ptr<PrinterPage> m_page;
};

#endif
