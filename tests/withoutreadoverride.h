#ifndef WITHOUTREADOVERRIDE_H
#define WITHOUTREADOVERRIDE_H

#include <cstring>
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// Takes away the capabilities that let root read what its mode forbids, for as long as it
// lives: a folder of mode 0000 is then unreadable even to root (and to the mapped root of
// `unshare -Ur`).
class WithoutReadOverride
{
public:
    WithoutReadOverride()
    {
        m_header.version = _LINUX_CAPABILITY_VERSION_3;
        m_header.pid = 0;
        ::syscall(SYS_capget, &m_header, m_saved);
        __user_cap_data_struct lowered[2];
        ::memcpy(lowered, m_saved, sizeof lowered);
        lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
        m_ok = ::syscall(SYS_capset, &m_header, lowered) == 0;
    }
    ~WithoutReadOverride() { ::syscall(SYS_capset, &m_header, m_saved); }
    bool ok() const { return m_ok; }

private:
    __user_cap_header_struct m_header;
    __user_cap_data_struct m_saved[2];
    bool m_ok = false;
};

#endif
