#ifndef ENTRYMOVER_H
#define ENTRYMOVER_H

#include <QByteArray>
#include <QList>

#include <functional>

// Moves the entries of one folder into another by renames, one entry after the other, so
// that a swap cut short can be finished or undone from what is where. Where the file system
// cannot rename a folder, folders are made again in the target and their contents moved in.
class EntryMover
{
public:
    // What happens to an entry whose name the target already holds.
    enum class Existing {
        Replace, // renamed over it (a folder made again is filled in)
        Skip,    // left where it is
        Refuse,  // the move stops with EEXIST
    };
    enum class Folders { Rename, Rebuild };

    explicit EntryMover(Existing existing, Folders folders = Folders::Rename)
        : m_existing(existing), m_folders(folders)
    {
    }

    // Names in the source's top folder that stay where they are.
    void setSkipped(std::function<bool(const QByteArray &)> skipped)
    {
        m_skipped = std::move(skipped);
    }
    bool move(int fromFd, int toFd);

    // The top folder's names that were moved, in order.
    const QList<QByteArray> &moved() const { return m_moved; }
    int error() const { return m_error; }
    // The top-level name the error came with; empty when the source could not be listed.
    QByteArray errorName() const { return m_errorName; }

private:
    bool moveByRenames(int fromFd, int toFd);
    bool moveRebuilding(int fromFd, int toFd);
    bool fail(int error, const QByteArray &name = QByteArray());
    bool skipped(const QByteArray &name) const { return m_skipped && m_skipped(name); }

    Existing m_existing;
    Folders m_folders;
    std::function<bool(const QByteArray &)> m_skipped;
    QList<QByteArray> m_moved;
    int m_error = 0;
    QByteArray m_errorName;
};

#endif
