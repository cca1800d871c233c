#ifndef STICKFILE_H
#define STICKFILE_H

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
    QString problem() const { return m_problem; }

private:
    QString m_path;
    int m_fd = -1;
    qint64 m_size = 0;
    QString m_problem;
};

#endif
