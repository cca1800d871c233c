#ifndef PRINTERLINK_H
#define PRINTERLINK_H

#include "printer/printeranswers.h"

#include <QList>
#include <QString>
#include <QStringList>

class PrinterLink
{
public:
    virtual ~PrinterLink() = default;
    // One printer command string in, the reply fields out; {""} when the printer gives no answer.
    virtual QStringList exchange(const QString &command) = 0;
    // What the last exchange received but threw away, and why, in the order it came: the
    // traffic log shows each ("ignored f3 01 2c: not an answer to fb").
    virtual QList<IgnoredAnswer> ignoredAnswers() const { return {}; }
    // Why the last exchange could not open the printer's port, empty when it could (or when
    // the link has no port): the port's name and the system's reason.
    virtual QString portName() const { return {}; }
    virtual QString openFailure() const { return {}; }
};

#endif
