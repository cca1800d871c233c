#ifndef DEVICEIDENTITY_H
#define DEVICEIDENTITY_H

#include <QByteArray>
#include <QString>

// Which device a backup set comes from: the identity in /etc/machine-id and the name in
// /etc/hostname, both below the system root. What a device does not have (or what a set
// written before sets named their device does not say) is "unknown".
class DeviceIdentity
{
public:
    static const char *unknown(); // "unknown"

    DeviceIdentity() = default;
    // Takes what a manifest says, keeping only what could be an identity and a name.
    DeviceIdentity(const QByteArray &id, const QByteArray &name);

    // Reads <systemRoot>/etc/machine-id and <systemRoot>/etc/hostname.
    static DeviceIdentity read(const QString &systemRoot);

    QByteArray id() const { return m_id; }     // 32 lower-case hex digits, or "unknown"
    QByteArray name() const { return m_name; } // the host name's bytes, or "unknown"
    bool hasId() const { return m_id != unknown(); }
    bool hasName() const { return m_name != unknown(); }

    // True when this (a set's device) is known and is not `device`: a set that names no
    // identity is taken for nobody's, and a device without one cannot tell it made the set.
    bool isOtherThan(const DeviceIdentity &device) const;

private:
    QByteArray m_id = unknown();
    QByteArray m_name = unknown();
};

#endif
