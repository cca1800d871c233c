#ifndef RECORDINGRUNNER_H
#define RECORDINGRUNNER_H

#include "maintenance/system/commandrunner.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <functional>

// Notes every command line and runs none of them. A line answers with the wait status set
// for it in `statuses` (0 otherwise), or as stopped at its time limit when it is in
// `timeouts`; `onRun` lets a test look at the panel while it waits.
class RecordingRunner : public CommandRunner
{
public:
    CommandResult run(const QByteArray &commandLine) override
    {
        lines << commandLine;
        if (onRun)
            onRun(commandLine);
        if (timeouts.contains(commandLine))
            return CommandResult::timedOut(std::chrono::minutes(15));
        return CommandResult::fromWaitStatus(statuses.value(commandLine, 0));
    }

    QList<QByteArray> lines;
    QHash<QByteArray, int> statuses;
    QList<QByteArray> timeouts;
    std::function<void(const QByteArray &)> onRun;
};

#endif
