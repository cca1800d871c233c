#ifndef HOOKEDRUNNER_H
#define HOOKEDRUNNER_H

#include "maintenance/system/commandrunner.h"

#include <QByteArray>
#include <QList>

#include <cstring>
#include <functional>

// A real runner with a test's hands on each command line: `before` looks at it just before
// it runs, `change` may give the runner another line in its place, and `changeInput` another
// standard input (the command's whole input is read first, then handed on changed). `lines`
// notes the lines as the panel asked for them.
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
        const QByteArray line = change ? change(commandLine) : commandLine;
        if (!changeInput || !io.input)
            return m_real.runWith(line, io);
        QByteArray input;
        char buffer[65536];
        for (;;) {
            const qint64 got = io.input(buffer, sizeof buffer);
            if (got < 0)
                return CommandResult::stopped();
            if (got == 0)
                break;
            input.append(buffer, int(got));
        }
        input = changeInput(commandLine, input);
        qint64 offset = 0;
        CommandIo changed = io;
        changed.input = [&input, &offset](char *to, qint64 size) {
            const qint64 count = qMin(size, qint64(input.size()) - offset);
            std::memcpy(to, input.constData() + offset, size_t(count));
            offset += count;
            return count;
        };
        return m_real.runWith(line, changed);
    }

    QList<QByteArray> lines;
    std::function<void(const QByteArray &)> before;
    std::function<QByteArray(const QByteArray &)> change;
    std::function<QByteArray(const QByteArray &line, const QByteArray &input)> changeInput;

private:
    CommandRunner &m_real;
};

#endif
