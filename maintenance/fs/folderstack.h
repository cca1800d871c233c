#ifndef FOLDERSTACK_H
#define FOLDERSTACK_H

#include <sys/stat.h>

#include <functional>
#include <vector>

// The chain of open folders from a top folder down to the one being written, for trees
// deeper than the open-file limit: only the deepest few stay open, and an ancestor closed
// on the way down is opened again through ".." on the way up, checked to be the same folder.
class FolderStack
{
public:
    // Closes a folder's descriptor; `level` is its place in the stack (0 the top folder).
    using Closer = std::function<void(int level, int fd)>;

    // `closer` (optional) closes the descriptors instead of close(), for an owner that
    // keeps more of a folder than its descriptor (a listing being read from it).
    explicit FolderStack(int openLevels = 0, Closer closer = nullptr);
    ~FolderStack();
    FolderStack(const FolderStack &) = delete;
    FolderStack &operator=(const FolderStack &) = delete;

    // Takes `fd` (an open folder) as the new deepest folder.
    void push(int fd);
    // The deepest folder.
    int top() const { return m_levels.empty() ? -1 : m_levels.back().fd; }
    // The folder at `level`, -1 while it is closed.
    int at(int level) const { return m_levels[size_t(level)].fd; }
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
    void close(int level, int fd);

    std::vector<Level> m_levels;
    int m_openLevels;
    Closer m_closer;
};

#endif
