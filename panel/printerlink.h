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
};

#endif
