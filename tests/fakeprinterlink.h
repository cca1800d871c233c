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

    QList<IgnoredAnswer> ignoredAnswers() const override { return m_ignored; }

    void setReply(const QStringList &reply) { m_reply = reply; }
    // What each exchange says it threw away before its reply.
    void setIgnored(const QList<IgnoredAnswer> &ignored) { m_ignored = ignored; }
    QStringList commands() const { return m_commands; }
    void clearCommands() { m_commands.clear(); }

    // Runs while a command is being exchanged, so a test can see the panel as the printer does.
    std::function<void(const QString &command)> onExchange;

private:
    QStringList m_commands;
    QStringList m_reply{QString()};
    QList<IgnoredAnswer> m_ignored;
};

#endif
