#ifndef RECORDINGRUNNER_H
#define RECORDINGRUNNER_H

#include "app/shellcommand.h"

#include <QByteArray>
#include <QHash>
#include <QList>

#include <functional>

// Notes every command line and runs none of them. A line answers with the status set for
// it in `statuses` (0 otherwise); `onRun` lets a test look at the panel while it waits.
class RecordingRunner : public CommandRunner
{
public:
    int run(const QByteArray &commandLine) override
    {
        lines << commandLine;
        if (onRun)
            onRun(commandLine);
        return statuses.value(commandLine, 0);
    }

    QList<QByteArray> lines;
    QHash<QByteArray, int> statuses;
    std::function<void(const QByteArray &)> onRun;
};

#endif
