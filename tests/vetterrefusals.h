#ifndef VETTERREFUSALS_H
#define VETTERREFUSALS_H

#include "maintenance/database/dumpvetting.h"

#include <QtTest>

// The vetter's refusals in a test's tables and messages.

Q_DECLARE_METATYPE(DumpVetter::Refusal)

using Reason = DumpVetter::Refusal::Reason;

namespace QTest {
template <> inline char *toString(const DumpVetter::Refusal &refusal)
{
    return qstrdup(QByteArray("reason " + QByteArray::number(int(refusal.reason)) + " at line " +
                              QByteArray::number(refusal.line) + " [" + refusal.name + "] [" +
                              refusal.value + "] " + QByteArray::number(refusal.number))
                       .constData());
}
} // namespace QTest

inline DumpVetter::Refusal refusal(Reason reason, int line, const QByteArray &name = QByteArray(),
                                   const QByteArray &value = QByteArray(), int number = 0)
{
    DumpVetter::Refusal refusal;
    refusal.reason = reason;
    refusal.line = line;
    refusal.name = name;
    refusal.value = value;
    refusal.number = number;
    return refusal;
}

#endif
