#ifndef MOUNTPOINTS_H
#define MOUNTPOINTS_H

#include <QByteArray>
#include <QList>
#include <QString>

// Every mount point this process sees, as /proc/self/mountinfo lists them (unescaped).
QList<QByteArray> mountPointPaths();

// True when `path` is a folder that something is mounted on: its device differs from its
// parent's, or it is listed in /proc/self/mountinfo (a bind mount keeps the device).
bool isMountedFolder(const QString &path);

// True when "rm -rf path" has done all it can: `path` is gone, or nothing is left in it but
// folders that are mount points, which rm cannot remove, and the folders that lead to them.
bool onlyMountPointsLeft(const QString &path);

#endif
