#ifndef TREEREMOVER_H
#define TREEREMOVER_H

#include <QByteArray>

// Removes a folder tree with fd-relative calls only: a link is removed, never followed, and
// a folder of another file system (a mount inside the tree) is left alone. Folders without
// write or search permission for their owner get it first, so a tree copied with modes
// like 0500 can be removed again. Deeper than the open-file limit works too.
class TreeRemover
{
public:
    // Removes `name` in `dirFd` with everything below it. False (error() set) when anything
    // stayed; what could go is gone.
    bool remove(int dirFd, const QByteArray &name);
    int error() const { return m_error; }

private:
    void note(int error)
    {
        if (m_error == 0)
            m_error = error;
    }
    int m_error = 0;
};

#endif
