#ifndef PRINTERLINK_H
#define PRINTERLINK_H

#include <QString>
#include <QStringList>

class PrinterLink
{
public:
    virtual ~PrinterLink() = default;
    // One printer command string in, the reply fields out; {""} when the printer gives no answer.
    virtual QStringList exchange(const QString &command) = 0;
    // What the last exchange received but threw away, and why, one line each for the traffic
    // log ("ignored f3 01 2c: not an answer to fb").
    virtual QStringList ignoredAnswers() const { return {}; }
};

#endif
