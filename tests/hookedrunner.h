#ifndef HOOKEDRUNNER_H
#define HOOKEDRUNNER_H

#include "maintenance/system/commandrunner.h"

#include <QByteArray>
#include <QList>

#include <functional>

// A real runner with a test's hands on each command line: `before` looks at it just before
// it runs, `change` may give the runner another line in its place. `lines` notes the lines
// as the panel asked for them.
class HookedRunner : public CommandRunner
{
public:
    explicit HookedRunner(CommandRunner &real) : m_real(real) {}
    CommandResult run(const QByteArray &commandLine) override
    {
        return runWith(commandLine, CommandIo());
    }
    CommandResult runWith(const QByteArray &commandLine, const CommandIo &io) override
    {
        lines << commandLine;
        if (before)
            before(commandLine);
        return m_real.runWith(change ? change(commandLine) : commandLine, io);
    }

    QList<QByteArray> lines;
    std::function<void(const QByteArray &)> before;
    std::function<QByteArray(const QByteArray &)> change;

private:
    CommandRunner &m_real;
};

#endif
