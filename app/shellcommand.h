#ifndef SHELLCOMMAND_H
#define SHELLCOMMAND_H

#include <QByteArray>

// Runs one command line through the C library's system(); prints
// "Error!System :<command> error!" (no line end) when the shell cannot be started.
int runSystemCommand(const char *command);

class CommandRunner
{
public:
    virtual ~CommandRunner() = default;
    virtual int run(const QByteArray &commandLine) = 0; // returns the raw status of system()
};

// The device's runner: hands every line to runSystemCommand.
class SystemCommandRunner : public CommandRunner
{
public:
    int run(const QByteArray &commandLine) override;
};

#endif
