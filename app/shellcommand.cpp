#include "app/shellcommand.h"

#include <cstdio>
#include <cstdlib>

int runSystemCommand(const char *command)
{
    const int status = std::system(command);
    if (status < 0) {
        std::printf("Error!System :%s error!", command);
        std::fflush(stdout);
    }
    return status;
}

int SystemCommandRunner::run(const QByteArray &commandLine)
{
    return runSystemCommand(commandLine.constData());
}
