#ifndef ACTIONJOURNAL_H
#define ACTIONJOURNAL_H

#include "maintenance/system/commandrunner.h"

#include <QString>

// What the maintenance actions did, for a service engineer who looks later: one line when an
// action starts, one per step (each command it ran, with how it ended and how long it took;
// each question and its answer) and one for its outcome (the closing box's text). The lines
// go to standard error, which systemd keeps in the journal, as
// "servicepanel: Backup: step: sync: exit status 0 (0.1 s)". No file of its own.
namespace ActionJournal {
void begin(const QString &action);
void step(const QString &what);
void outcome(bool succeeded, const QString &text);
// Records a question and its answer; a "Cancel" ends the action. Returns `confirmed`.
bool answered(const QString &question, bool confirmed);
// The action running now ("" between actions).
QString current();
} // namespace ActionJournal

// Runs each command through another runner and records it as a step of the current action.
class JournalingRunner : public CommandRunner
{
public:
    explicit JournalingRunner(CommandRunner &runner) : m_runner(runner) {}
    CommandResult run(const QByteArray &commandLine) override;
    CommandResult runWith(const QByteArray &commandLine, const CommandIo &io) override;
    CommandRunner &inner() const { return m_runner; }

private:
    CommandRunner &m_runner;
};

#endif
