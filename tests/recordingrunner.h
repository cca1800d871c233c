#ifndef RECORDINGRUNNER_H
#define RECORDINGRUNNER_H

#include "maintenance/system/commandrunner.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <functional>
#include <vector>

// Notes every command line and runs none of them. A line answers with the wait status set
// for it in `statuses` (0 otherwise), or as stopped at its time limit when it is in
// `timeouts`; `inputs` notes what each was given to read (empty for none), and `failWith`
// may give a line a wait status by what it reads. `onRun` lets a test look at the panel
// while it waits.
class RecordingRunner : public CommandRunner
{
public:
    CommandResult run(const QByteArray &commandLine) override
    {
        lines << commandLine;
        inputs << m_input;
        if (onRun)
            onRun(commandLine);
        if (timeouts.contains(commandLine))
            return CommandResult::timedOut(std::chrono::minutes(15));
        const int status = failWith ? failWith(commandLine, m_input) : 0;
        return CommandResult::fromWaitStatus(status != 0 ? status : statuses.value(commandLine, 0));
    }
    CommandResult runWith(const QByteArray &commandLine, const CommandIo &io) override
    {
        m_input.clear();
        if (io.input) {
            std::vector<char> buffer(64 * 1024);
            for (;;) {
                const qint64 got = io.input(buffer.data(), qint64(buffer.size()));
                if (got < 0) {
                    lines << commandLine;
                    inputs << m_input;
                    return CommandResult::stopped();
                }
                if (got == 0)
                    break;
                m_input.append(buffer.data(), int(got));
            }
        }
        const CommandResult result = run(commandLine);
        m_input.clear();
        if (io.whileRunning)
            io.whileRunning();
        return result;
    }

    QList<QByteArray> lines;
    QList<QByteArray> inputs;
    QHash<QByteArray, int> statuses;
    QList<QByteArray> timeouts;
    std::function<int(const QByteArray &line, const QByteArray &input)> failWith;
    std::function<void(const QByteArray &)> onRun;

private:
    QByteArray m_input;
};

#endif
