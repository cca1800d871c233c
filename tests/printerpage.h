#ifndef PRINTERPAGE_H
#define PRINTERPAGE_H

#include "panel/sendordertoprinter_test.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

// The panel at 800x480 on its printer test page, driven by object names as a technician would.
class PrinterPage
{
public:
    explicit PrinterPage(PrinterLink *link)
    {
        m_panel.setPrinterLink(link);
        m_panel.resize(800, 480);
        m_panel.setCurrentPage(1);
        m_panel.show();
    }
    ~PrinterPage()
    {
        QTest::ignoreMessage(QtDebugMsg, "sendordertoprinter_test::~sendordertoprinter_test()");
    }
    PrinterPage(const PrinterPage &) = delete;
    PrinterPage &operator=(const PrinterPage &) = delete;

    template <typename T> T *child(const char *name)
    {
        T *widget = m_panel.findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("no widget %s", name);
        return widget;
    }

    void click(const char *button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }
    void choose(int index) { selector()->setCurrentIndex(index); }
    void type(const QString &text)
    {
        entry()->clear();
        bool keys = true;
        for (const QChar c : text)
            keys = keys && c.unicode() < 0x80;
        if (keys) {
            QTest::keyClicks(entry(), text);
        } else {
            // Full-width digits and the like come from an input method, not from key presses.
            QInputMethodEvent event;
            event.setCommitString(text);
            QCoreApplication::sendEvent(entry(), &event);
        }
    }
    // Picks the parameter, types the value and presses Send.
    void send(int index, const QString &value)
    {
        choose(index);
        type(value);
        click("combox_send");
    }

    QComboBox *selector() { return child<QComboBox>("comboBox"); }
    QLineEdit *entry() { return child<QLineEdit>("combox_lab_data"); }
    QString result() { return child<QTextEdit>("textEdit")->toPlainText(); }
    QString description() { return child<QTextEdit>("textEdit_2")->toPlainText(); }

    sendordertoprinter_test *panel() { return &m_panel; }

private:
    sendordertoprinter_test m_panel;
};

#endif
