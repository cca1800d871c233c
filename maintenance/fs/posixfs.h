#ifndef POSIXFS_H
#define POSIXFS_H

#include <QByteArray>
#include <QList>
#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>

// Files of 2 GiB and more, and times after 2038, also on 32-bit ARM: the build defines
// _FILE_OFFSET_BITS=64 and _TIME_BITS=64 (cmake/largefiles.cmake).
static_assert(sizeof(off_t) == 8, "the engine needs a 64-bit off_t");
static_assert(sizeof(time_t) == 8, "the engine needs a 64-bit time_t");

// Small fd-relative helpers of the backup engine. None of them follows a symbolic link in
// the last component of a name, and those that walk a relative path follow none at all.
namespace posixfs {

// Opens the folder `name` in `dirFd` (AT_FDCWD for a path) without following a link; its
// status lands in `status`. -1 with errno set when it is no folder or cannot be opened.
int openFolderAt(int dirFd, const char *name, struct stat *status = nullptr);
// Opens `relativePath` below `rootFd` one component at a time, never through a link, never
// onto another file system than rootFd's; the last component opened with `flags` (O_NOFOLLOW
// added). Works for paths longer than PATH_MAX.
int openBeneath(int rootFd, const QByteArray &relativePath, int flags);
// Opens a regular file for reading after checking its type, so that a FIFO or a device node
// is never opened; `expected` (optional) is the status seen before, which must still match.
int openRegularForReading(int dirFd, const char *name, struct stat *status,
                          const struct stat *expected = nullptr);

// Opens a regular file whose type `seen` (its status just taken without following links)
// already shows: with O_NONBLOCK and O_NOFOLLOW, then checked to be that same file.
int openSeenRegular(int dirFd, const char *name, const struct stat &seen, struct stat *status);

bool sameFile(const struct stat &a, const struct stat &b);
// True when `path` still leads to the file whose status was `seen`: a stick pulled and
// another one mounted in its place fails it, though descriptors on the first still answer.
bool stillSameFile(const QByteArray &path, const struct stat &seen);
// Every name in the folder `dirFd` but "." and ".."; false with errno set when the listing
// could not be read to its end (`names` then holds what was read).
bool listNames(int dirFd, QList<QByteArray> *names);
// Links the file at `path` below `rootFd` as `name` in `dirFd`: 0 or the errno. A path too
// long for one call is opened beneath the root and linked by its descriptor.
int linkBeneath(int rootFd, const QByteArray &path, int dirFd, const char *name);
// The process's file mode creation mask; it is left as it was.
mode_t currentUmask();
// The last `bytes` bytes of an open file (all of a shorter one); false with errno set.
bool readTail(int fd, int bytes, QByteArray *tail);
// Reads the whole text of a symbolic link, however long.
bool readLink(int dirFd, const char *name, QByteArray *target);
// read() and pread() that go on after a signal: the bytes read, 0 at the end, -1 with errno.
ssize_t readRetrying(int fd, char *buffer, size_t size);
ssize_t preadRetrying(int fd, char *buffer, size_t size, off_t offset);
// Writes everything or fails with errno set.
bool writeAll(int fd, const char *data, size_t size);
// The same at a given offset, leaving the file position alone.
bool pwriteAll(int fd, const char *data, size_t size, off_t offset);
// Errors after which writing to the same file system cannot go on (full, read-only, gone).
bool isFatalTargetError(int error);
// Errors a stick's file system gives for a name it cannot hold.
bool isNameError(int error);
// False when `name` is empty, ".", ".." or holds a '/'.
bool isPlainName(const QByteArray &name);
// Splits a relative path into plain names; false when any component is not plain.
bool splitRelativePath(const QByteArray &path, QList<QByteArray> *names);

bool isValidUtf8(const QByteArray &text);
// A path as a technician can read it in one line: invalid UTF-8 and control bytes as \xNN.
QString displayPath(const QByteArray &path);
QString errorText(int error);

} // namespace posixfs

#endif
