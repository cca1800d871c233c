#ifndef SERIALPRINTERLINK_H
#define SERIALPRINTERLINK_H

#include "panel/printerlink.h"

// The built-in printer on its serial line.
class SerialPrinterLink : public PrinterLink
{
public:
    SerialPrinterLink();
    ~SerialPrinterLink() override;

    QStringList exchange(const QString &command) override;
};

#endif
