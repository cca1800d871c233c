#ifndef FOLDERSTACK_H
#define FOLDERSTACK_H

#include <sys/stat.h>

#include <vector>

// The chain of open folders from a top folder down to the one being written, for trees
// deeper than the open-file limit: only the deepest few stay open, and an ancestor closed
// on the way down is opened again through ".." on the way up, checked to be the same folder.
class FolderStack
{
public:
    explicit FolderStack(int openLevels = 0);
    ~FolderStack();
    FolderStack(const FolderStack &) = delete;
    FolderStack &operator=(const FolderStack &) = delete;

    // Takes `fd` (an open folder) as the new deepest folder.
    void push(int fd);
    // The deepest folder.
    int top() const { return m_levels.empty() ? -1 : m_levels.back().fd; }
    // Closes the deepest folder and makes its parent the deepest; false (errno set) when the
    // parent could not be opened again as the same folder.
    bool pop();
    int size() const { return int(m_levels.size()); }
    bool isEmpty() const { return m_levels.empty(); }
    void clear();

private:
    struct Level
    {
        int fd = -1;
        dev_t dev = 0;
        ino_t ino = 0;
    };
    std::vector<Level> m_levels;
    int m_openLevels;
};

#endif
