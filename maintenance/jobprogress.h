#ifndef JOBPROGRESS_H
#define JOBPROGRESS_H

#include <QString>

#include <functional>

// Where a maintenance job is, as data: the step it is in and, in bytes, how far the whole
// job has come (files and dumps together). The panel words the step and works out the
// time left.
struct JobProgress
{
    enum class Step {
        CheckingBackup,  // Restore: the set on the stick is looked over
        RestoringTree,   // Restore: /opt from the stick
        LoadingDatabase, // Restore: the dump of `name`
        CopyingTree,     // Backup: /opt onto the stick
        WritingDump,     // Backup: the dump of `name`
        Deleting,        // Clear Data: `name`, a database or a folder
        Syncing,         // what was written goes to disk
    };

    Step step = Step::CheckingBackup;
    QString name;     // the database or folder the step works on, where it has one
    qint64 done = 0;  // bytes of the whole job done so far
    qint64 total = 0; // bytes of the whole job; 0 while not known
};

using JobProgressCallback = std::function<void(const JobProgress &)>;

// Tells `callback`, where there is one, where the job is.
inline void reportProgress(const JobProgressCallback &callback, JobProgress::Step step,
                           const QString &name, qint64 done, qint64 total)
{
    if (!callback)
        return;
    JobProgress now;
    now.step = step;
    now.name = name;
    now.done = done;
    now.total = total;
    callback(now);
}

#endif
