#ifndef MAINTENANCECOMMANDS_H
#define MAINTENANCECOMMANDS_H

#include <QString>
#include <QStringList>

#endif
