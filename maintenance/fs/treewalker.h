#ifndef TREEWALKER_H
#define TREEWALKER_H

#include "maintenance/fs/folderstack.h"

#include <QByteArray>

#include <vector>

#include <dirent.h>
#include <sys/stat.h>

// Walks a folder tree depth first, folders before their contents, with fd-relative calls
// only: no entry is reached through a link, and a folder that changed between being seen
// and being opened is not entered. Memory and open files do not grow with the tree: a
// folder's listing is read as it goes, and only the deepest few folders stay open; an
// ancestor beyond that keeps the rest of its listing and is opened again through ".."
// (checked to be the same folder) when the walk comes back to it. So trees deeper than the
// open-file limit and paths far longer than PATH_MAX are walked.
class TreeWalker
{
public:
    enum class Step { Entry, Leave, End };

    // `openLevels`: how many folders may stay open at once; 0 takes it from RLIMIT_NOFILE.
    explicit TreeWalker(int openLevels = 0);
    ~TreeWalker();
    TreeWalker(const TreeWalker &) = delete;
    TreeWalker &operator=(const TreeWalker &) = delete;

    // Opens the top folder (a link as the last component of `path` is followed: the top is
    // the device's own choice); false with error() set.
    bool open(const QByteArray &path);
    // Opens the folder `name` in `dirFd` as the top, not through a link.
    bool openAt(int dirFd, const char *name);
    const struct stat &topStatus() const;

    // Entry: an entry of the tree (path(), status(), parentFd()); Leave: the folder at path()
    // is done (listError() tells whether its listing broke off); End: the walk is over.
    Step next();
    const QByteArray &path() const { return m_path; }
    QByteArray name() const { return m_path.mid(m_nameStart); }
    const struct stat &status() const { return m_status; }
    int statusError() const { return m_statusError; } // the entry could not be examined
    int parentFd() const;
    int depth() const { return int(m_levels.size()); }
    // Walks into the current entry, which must be a folder; false with error() set.
    bool descend();
    int error() const { return m_error; }
    int listError() const { return m_listError; }
    // The walk broke off because a folder was moved while it was being walked.
    bool brokenOff() const { return m_brokenOff; }

    static int defaultOpenLevels(int filesPerLevel);

private:
    struct Level
    {
        DIR *dir = nullptr; // reads from the stack's descriptor while that is open
        std::vector<QByteArray> rest;
        size_t restPos = 0;
        bool drained = false;
        struct stat status = {};
        int pathLength = 0;
        int listError = 0;
    };

    bool nextName(Level &level, QByteArray *name);
    void pop();
    void closeFolder(int level, int fd);

    std::vector<Level> m_levels;
    QByteArray m_path;
    int m_nameStart = 0;
    struct stat m_status = {};
    int m_statusError = 0;
    int m_error = 0;
    int m_listError = 0;
    int m_openLevels = 0;
    bool m_discarding = false;
    FolderStack m_folders;
    bool m_leavePending = false;
    bool m_atEntry = false;
    bool m_brokenOff = false;
};

#endif
