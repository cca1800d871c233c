#include "maintenance/system/deviceidentity.h"

#include "maintenance/fs/posixfs.h"
#include "maintenance/fs/uniquefd.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

// No name a kernel takes is longer (HOST_NAME_MAX); a longer one is not a host name.
const int maximumName = 64;

// The first line that is not empty and not a comment, as hostname(5) and machine-id(5) read
// their files. Only a regular file is read (a FIFO would never answer), and only its start.
QByteArray firstLine(const QString &path)
{
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    struct stat status;
    if (!fd.isValid() || ::fstat(fd.get(), &status) != 0 || !S_ISREG(status.st_mode))
        return QByteArray();
    QByteArray text(4096, '\0');
    const ssize_t got = posixfs::readRetrying(fd.get(), text.data(), size_t(text.size()));
    text.resize(got > 0 ? int(got) : 0);
    for (const QByteArray &line : text.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.isEmpty() && !trimmed.startsWith('#'))
            return trimmed;
    }
    return QByteArray();
}

bool isMachineId(const QByteArray &id)
{
    if (id.size() != 32)
        return false;
    for (char c : id) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    // All zeros is what an image leaves before its first boot.
    return id != QByteArray(32, '0');
}

bool isName(const QByteArray &name)
{
    if (name.isEmpty() || name.size() > maximumName)
        return false;
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    }
    return true;
}

} // namespace

const char *DeviceIdentity::unknown()
{
    return "unknown";
}

DeviceIdentity::DeviceIdentity(const QByteArray &id, const QByteArray &name)
{
    if (isMachineId(id))
        m_id = id;
    if (isName(name))
        m_name = name;
}

DeviceIdentity DeviceIdentity::read(const QString &systemRoot)
{
    return DeviceIdentity(firstLine(systemRoot + QLatin1String("/etc/machine-id")),
                          firstLine(systemRoot + QLatin1String("/etc/hostname")));
}

bool DeviceIdentity::isOtherThan(const DeviceIdentity &device) const
{
    return hasId() && m_id != device.m_id;
}
