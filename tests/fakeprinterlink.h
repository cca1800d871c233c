#ifndef FAKEPRINTERLINK_H
#define FAKEPRINTERLINK_H

#include "printer/printerlink.h"

#include <functional>

// A printer for tests: records every command it is sent and answers each with the reply set
// last (the no-answer list {""} until one is set).
class FakePrinterLink : public PrinterLink
{
public:
    QStringList exchange(const QString &command) override
    {
        m_commands.append(command);
        if (onExchange)
            onExchange(command);
        return m_reply;
    }

    void setReply(const QStringList &reply) { m_reply = reply; }
    QStringList commands() const { return m_commands; }
    void clearCommands() { m_commands.clear(); }

    // Runs while a command is being exchanged, so a test can see the panel as the printer does.
    std::function<void(const QString &command)> onExchange;

private:
    QStringList m_commands;
    QStringList m_reply{QString()};
};

#endif
