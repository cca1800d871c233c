#ifndef CAPTURESTDOUT_H
#define CAPTURESTDOUT_H

#include <QByteArray>
#include <QTemporaryFile>

#include <cstdio>
#include <functional>
#include <unistd.h>

// What `action` writes to the process's standard output, through the C library or not.
inline QByteArray captureStdout(const std::function<void()> &action)
{
    std::fflush(stdout);
    QTemporaryFile file;
    if (!file.open())
        return "capture failed";
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(file.handle(), STDOUT_FILENO);
    action();
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

#endif
