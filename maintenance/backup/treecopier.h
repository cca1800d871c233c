#ifndef TREECOPIER_H
#define TREECOPIER_H

#include "maintenance/set/copyproblem.h"
#include "maintenance/set/namemapper.h"
#include "maintenance/fs/sha256.h"
#include "maintenance/set/stickcapabilities.h"
#include "maintenance/fs/uniquefd.h"

#include <QByteArray>

#include <functional>
#include <unordered_map>
#include <vector>

#include <sys/stat.h>

class FolderStack;
class ManifestWriter;
class TreeWalker;
struct ManifestEntry;

// What a first walk of the tree found, before anything is copied.
struct TreeCount
{
    qint64 entries = 0; // below the top
    qint64 files = 0;
    qint64 bytes = 0;  // file data
    qint64 needed = 0; // what it takes on the target, in whole blocks
    // What it takes on a target that keeps holes: each file's blocks in use, each other
    // entry one block. A sparse file's holes cost nothing.
    qint64 stored = 0;
    // The work of the copy for a progress bar: `stored`, with at least one block for every
    // entry (an empty file costs its making).
    qint64 work = 0;
};

struct TreeCopyResult
{
    qint64 entries = 0;
    qint64 files = 0;
    qint64 bytes = 0;
    ProblemList failures;
    ProblemList notCopied; // sockets and device nodes: listed, not failures
    int fatalError = 0;    // the target could take nothing more (full, read-only, gone)
    QByteArray fatalPath;
    bool ok() const { return failures.isEmpty() && fatalError == 0; }
};

// Copies a folder tree entry by entry: byte-exact names, folders, files (sparse ones stay
// sparse where the target holds holes), symbolic links as links (dangling ones too), FIFOs,
// hard links, permission bits with setuid/setgid/sticky, owners (as root) and times.
// Sockets and device nodes carry no data and are listed as not copied. Each file is read
// once; its SHA-256 is taken on the way. Nothing is flushed per file.
//
// Fresh mode (the default) writes into an empty folder (a backup set being made): names the
// target cannot hold get safe names (NameMapper), nothing existing is ever replaced, and the
// manifest records every entry. Merge mode copies into a folder that may hold an older copy,
// replacing its files as the panel's copyDir always has.
class TreeCopier
{
public:
    enum class Mode { Fresh, Merge };
    struct Options
    {
        Mode mode = Mode::Fresh;
        StickCapabilities caps = StickCapabilities::everything();
        ManifestWriter *manifest = nullptr;
        QByteArray manifestPrefix = "opt"; // the top's path in the manifest
        int openLevels = 0;
        // Called before each entry with the number of entries done so far.
        std::function<void(qint64)> progress;
        // Called with the work done so far, as TreeCount::work counts it: before each entry
        // and every few megabytes of a large file.
        std::function<void(qint64)> workProgress;
    };

    // `targetFd` is the open target folder (not taken over).
    TreeCopier(const QByteArray &source, int targetFd, Options options);
    ~TreeCopier();

    // Walks `source` once; `blockSize` rounds each entry up to what a target spends, which
    // holds sparse files as such when `holes` is set.
    static TreeCount count(const QByteArray &source, bool holes = false, long blockSize = 4096,
                           int openLevels = 0);
    TreeCopyResult copy();
    void setProgress(std::function<void(qint64)> progress)
    {
        m_options.progress = std::move(progress);
    }

private:
    static bool isRestoreWork(const TreeWalker &walker);

    struct LinkedFile
    {
        qint64 group = 0;
        QByteArray stored; // relative to the target's top
        QByteArray sha256;
        qint64 size = 0;
        nlink_t remaining = 0;
    };
    struct FolderInfo
    {
        struct stat source = {};
        int storedLength = 0;
        bool mapped = false;
    };
    struct DevIno
    {
        dev_t dev;
        ino_t ino;
        bool operator==(const DevIno &o) const { return dev == o.dev && ino == o.ino; }
    };
    struct DevInoHash
    {
        size_t operator()(const DevIno &k) const { return std::hash<ino_t>()(k.ino) ^ k.dev; }
    };

    // What an entry counts in TreeCount::stored and TreeCount::work.
    static qint64 storedBytes(const struct stat &status, qint64 block);
    static qint64 entryWork(const struct stat &status);
    void reportWork(qint64 copiedOfEntry);

    // Makes an entry under a name the target takes; `make` returns 0 or an errno.
    int createNamed(int dirFd, const QByteArray &name, bool folder,
                    const std::function<int(const char *)> &make, QByteArray *storedName);
    void copyEntry(TreeWalker &walker, FolderStack &targets);
    bool copyFolder(TreeWalker &walker, FolderStack &targets, ManifestEntry &entry);
    void copyFile(TreeWalker &walker, int dirFd, ManifestEntry &entry);
    bool copyData(int in, int out, const struct stat &status, qint64 *copied, int *readError,
                  int *writeError);
    int linkTo(const QByteArray &stored, int dirFd, const char *name);
    void applyMetadata(int fd, const struct stat &status, const QByteArray &path,
                       mode_t created = 0);
    void applyMetadataAt(int dirFd, const char *name, const struct stat &status,
                         const QByteArray &path);
    void writeFailed(const QByteArray &path, int error);
    void readFailed(const QByteArray &path, int error);
    void record(const ManifestEntry &entry);

    QByteArray m_source;
    UniqueFd m_top;
    dev_t m_topDev = 0;
    Options m_options;
    NameMapper m_mapper;
    Sha256 m_hash;
    std::vector<char> m_buffer;
    std::vector<FolderInfo> m_folders;
    QByteArray m_stored; // the current folder's stored path, relative to the target's top
    std::unordered_map<DevIno, LinkedFile, DevInoHash> m_links;
    qint64 m_nextGroup = 1;
    uid_t m_uid = 0;
    gid_t m_gid = 0;
    mode_t m_umask = 022;
    qint64 m_done = 0;
    qint64 m_workDone = 0;  // of the entries before the current one
    qint64 m_entryWork = 0; // of the current one
    qint64 m_reportedAt = 0;
    TreeCopyResult m_result;
};

#endif
