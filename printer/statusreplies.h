#ifndef STATUSREPLIES_H
#define STATUSREPLIES_H

#include <QString>
#include <QStringList>

// The paper-loaded and labels-left queries answer "c2" for yes.
bool isYesReply(const QStringList &reply);

// The sensor answers "fb", "0", "0" when no paper lies under it; later fields do not count.
bool isNoPaperAtSensor(const QStringList &reply);

// The firmware version carried by the first eight fields: their hex bytes up to the first zero.
QString versionFromReply(const QStringList &reply);

#endif
