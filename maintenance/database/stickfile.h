#ifndef STICKFILE_H
#define STICKFILE_H

#include "maintenance/jobproblem.h"

#include <QString>

#include <sys/types.h>

// A file on the stick, opened for reading without trusting what it is. A link is never
// followed, and anything but a regular file is refused before it is opened for good: a FIFO
// would block the read for ever, a device node would read the device.
class StickFile
{
public:
    explicit StickFile(const QString &path);
    ~StickFile();
    StickFile(const StickFile &) = delete;
    StickFile &operator=(const StickFile &) = delete;

    bool open();
    // Like read(2); -1 after an error, which problem() then names.
    qint64 read(char *data, qint64 size);
    bool seek(qint64 offset);
    qint64 size() const { return m_size; }
    // Why open(), read() or seek() failed: DumpUnreadable, DumpNotAFile or DumpSwapped.
    JobProblem problem() const { return m_problem; }

private:
    void fail(JobProblem::Kind kind, int error = 0, qint64 type = 0);

    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    JobProblem m_problem;
};

#endif
