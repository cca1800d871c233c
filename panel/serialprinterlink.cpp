#include "panel/serialprinterlink.h"

SerialPrinterLink::SerialPrinterLink() = default;

SerialPrinterLink::~SerialPrinterLink() = default;

QStringList SerialPrinterLink::exchange(const QString &command)
{
    Q_UNUSED(command)
    return {QString()};
}
