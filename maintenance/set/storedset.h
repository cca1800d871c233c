#ifndef STOREDSET_H
#define STOREDSET_H

#include "maintenance/system/deviceidentity.h"

#include <QByteArray>

// A backup set already on the stick, as its manifest describes it (its files are not read).
struct StoredSet
{
    bool complete = false; // the manifest is whole
    DeviceIdentity device; // "unknown" for a set that does not name its device
    QByteArray created;    // UTC, ISO 8601
    qint64 treeFiles = 0;
    qint64 bytes = 0; // the tree's files and the dumps

    // A whole set that names a device other than `self`: not to be replaced unasked.
    bool isOfOtherDevice(const DeviceIdentity &self) const
    {
        return complete && device.isOtherThan(self);
    }
};

#endif
