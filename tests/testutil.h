#ifndef TESTUTIL_H
#define TESTUTIL_H

#include <QDir>
#include <QString>
#include <QWidget>

// Saves a picture of a widget as <name>.png where PANEL_SHOT_DIR points (the build's
// shots/ folder under CTest), so the pages can be looked at after a run.
inline QString saveShot(QWidget *widget, const QString &name)
{
    const QString dir = qEnvironmentVariable("PANEL_SHOT_DIR", QDir::tempPath());
    QDir().mkpath(dir);
    const QString path = dir + QLatin1Char('/') + name + QLatin1String(".png");
    widget->grab().save(path);
    return path;
}

#endif
