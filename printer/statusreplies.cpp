#include "printer/statusreplies.h"

#include <QByteArray>

bool isYesReply(const QStringList &reply)
{
    return reply.value(0) == QLatin1String("c2");
}

bool isNoPaperAtSensor(const QStringList &reply)
{
    const QString joined =
        reply.value(0) + QLatin1Char(',') + reply.value(1) + QLatin1Char(',') + reply.value(2);
    return joined == QLatin1String("fb,0,0");
}

QString versionFromReply(const QStringList &reply)
{
    QByteArray bytes;
    // toLatin1 is the modern name of Qt 4's toAscii; hex digits give the same bytes.
    for (int i = 0; i < 8; ++i)
        bytes += QByteArray::fromHex(reply.value(i).toLatin1());
    const int end = bytes.indexOf('\0');
    if (end >= 0)
        bytes.truncate(end);
    return QString::fromUtf8(bytes);
}
