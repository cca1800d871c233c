#ifndef NAMEMAPPER_H
#define NAMEMAPPER_H

#include "maintenance/set/stickcapabilities.h"

#include <QByteArray>

// Safe names for a stick that cannot hold a name as it is (FAT: no ":*?"<>|\" or control
// bytes, one case; exFAT: valid UTF-8 only). A refused byte becomes %XX; a name that
// collides with one already made gets ~N; an over-long name is cut and ends in ~ and a
// short digest of the original. The manifest maps every safe name back.
class NameMapper
{
public:
    explicit NameMapper(const StickCapabilities &caps) : m_caps(caps) {}

    // The name to try first (attempt 0) and after each collision (1, 2, ...). With `safe`
    // the name is reduced to ASCII letters, digits and ._- whatever the probe found.
    QByteArray candidate(const QByteArray &name, int attempt, bool safe = false) const;

private:
    bool keeps(unsigned char byte, bool safe) const;
    QByteArray fitted(const QByteArray &name, const QByteArray &suffix,
                      const QByteArray &original) const;

    StickCapabilities m_caps;
};

#endif
