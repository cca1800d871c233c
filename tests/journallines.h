#ifndef JOURNALLINES_H
#define JOURNALLINES_H

#include <QLoggingCategory>
#include <QStringList>

// The lines of the maintenance record, as the journal gets them, while it lives; every other
// message goes where it went before.
class JournalLines
{
public:
    JournalLines()
    {
        kept().clear();
        previous() = qInstallMessageHandler(keep);
    }
    ~JournalLines() { qInstallMessageHandler(previous()); }
    JournalLines(const JournalLines &) = delete;
    JournalLines &operator=(const JournalLines &) = delete;

    QStringList lines() const { return kept(); }

private:
    static QStringList &kept()
    {
        static QStringList lines;
        return lines;
    }
    static QtMessageHandler &previous()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static void keep(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        if (context.category &&
            QLatin1String(context.category) == QLatin1String("servicepanel.action"))
            kept() << message;
        else if (previous())
            previous()(type, context, message);
    }
};

#endif
