#ifndef RESTOREJOURNAL_H
#define RESTOREJOURNAL_H

#include "maintenance/set/manifestentry.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// The record on the device of a restore under way, so that whatever cuts it short (a power
// loss, a kill) is put right by the next action: before the commit began, everything goes
// back (all old); once it began, everything goes forward (all new), with nothing needed
// from the stick. It is written before each step that changes the device, to a temporary
// name that is synced and renamed over the record, the folder synced after.
class RestoreJournal
{
public:
    enum class Step {
        Staging, // the staging databases and the staged tree are being made: only they change
        Commit,  // the databases are switched and /opt swapped, in `direction`
        Cleanup, // all new: what the old side left goes
    };
    enum class Direction { Forward, Back };

    // A folder that stays where it is (a mount point) gets its own metadata after the swap.
    struct PinnedTop
    {
        QList<QByteArray> path; // below the replaced folder; empty for the folder itself
        ManifestEntry entry;
    };

    struct State
    {
        Step step = Step::Staging;
        Direction direction = Direction::Forward;
        QByteArray tree;       // the folder replaced (canonical: a link to it stays)
        bool beside = true;    // the new tree is made beside it; else inside its pinned folders
        ino_t stagedInode = 0; // beside: the staged tree's folder, known from the commit on
        QList<PinnedTop> tops;
        QStringList databases; // in the order they are switched
        QStringList touched;   // their switch began
        QStringList switched;  // their switch is done
        bool treeSwapBegan = false;
    };

    explicit RestoreJournal(const QString &workFolder);

    static const char *fileName();
    QString path() const;
    // True when a restore was cut short here (or its record cannot be read).
    bool exists() const;
    // false with error() set: ENOENT, or EBADMSG for a record that is not one of ours.
    bool read(State *state);
    // Makes the work folder where needed, then replaces the record durably.
    bool write(const State &state);
    bool remove();
    int error() const { return m_error; }

private:
    bool fail(int error);

    QString m_folder;
    int m_error = 0;
};

#endif
