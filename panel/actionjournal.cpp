#include "panel/actionjournal.h"

#include "panel/maintenancetext.h"

#include <QElapsedTimer>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(journal, "servicepanel.action", QtInfoMsg)

QString &running()
{
    static QString action;
    return action;
}

// One line each, whatever the text holds: a name from a USB stick may hold line breaks.
QString oneLine(const QString &text)
{
    QString line;
    for (const QChar c : text) {
        if (c == QLatin1Char('\n'))
            line += QLatin1String("; ");
        else if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            line += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else
            line += c;
    }
    return line;
}

void write(const QString &what)
{
    const QString action = running().isEmpty() ? QStringLiteral("panel") : running();
    qCInfo(journal, "servicepanel: %s: %s", qUtf8Printable(action), qUtf8Printable(oneLine(what)));
}

} // namespace

namespace ActionJournal {

void begin(const QString &action)
{
    running() = action;
    write(QStringLiteral("started"));
}

void step(const QString &what)
{
    write(QLatin1String("step: ") + what);
}

void outcome(bool succeeded, const QString &text)
{
    write((succeeded ? QLatin1String("done: ") : QLatin1String("failed: ")) + text);
    running().clear();
}

bool answered(const QString &question, bool confirmed)
{
    step(QStringLiteral("asked: %1: %2")
             .arg(question, confirmed ? QLatin1String("Confirm") : QLatin1String("Cancel")));
    if (!confirmed) {
        write(QStringLiteral("cancelled: nothing was changed"));
        running().clear();
    }
    return confirmed;
}

QString current()
{
    return running();
}

} // namespace ActionJournal

CommandResult JournalingRunner::run(const QByteArray &commandLine)
{
    return runWith(commandLine, CommandIo());
}

CommandResult JournalingRunner::runWith(const QByteArray &commandLine, const CommandIo &io)
{
    QElapsedTimer clock;
    clock.start();
    const CommandResult result = m_runner.runWith(commandLine, io);
    const QString how = result.succeeded() ? MaintenanceText::commandOutcome(result)
                                           : MaintenanceText::commandReason(result);
    ActionJournal::step(QStringLiteral("%1: %2 (%3 s)")
                            .arg(QString::fromLocal8Bit(commandLine), how)
                            .arg(clock.elapsed() / 1000.0, 0, 'f', 1));
    return result;
}
