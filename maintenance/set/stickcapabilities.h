#ifndef STICKCAPABILITIES_H
#define STICKCAPABILITIES_H

#include <QByteArray>

#include <bitset>

// What a file system can hold, found by trying it in a scratch folder rather than guessed
// from its type (FAT and exFAT through FUSE show only as "fuse"). The backup keeps on the
// stick what it can hold; the manifest keeps the rest.
class StickCapabilities
{
public:
    // A file system that holds everything: the device's own.
    static StickCapabilities everything();
    // Tries each ability in a folder made (and removed again) inside `dirFd`.
    static StickCapabilities probe(int dirFd, int *error = nullptr);

    bool symlinks = true;
    bool hardLinks = true;
    bool fifos = true;
    bool modes = true;  // permission bits including setuid, setgid and sticky
    bool owners = true; // only as root
    bool holes = true;  // sparse files
    bool growByTruncate = true;
    bool renamesFolders = true; // a renamed folder keeps its contents (fusefat's does not)
    bool utf8 = true;           // valid UTF-8 beyond ASCII
    bool invalidUtf8 = true;    // any other byte above 0x7f
    long nameMax = 255;

    // True when the file system takes this byte in a name as it is (ASCII bytes only).
    bool takesByte(unsigned char byte) const { return !m_refused.test(byte); }
    void refuseByte(unsigned char byte) { m_refused.set(byte); }
    // True when `name` can be stored under its own bytes.
    bool takesName(const QByteArray &name) const;

private:
    std::bitset<128> m_refused;
};

#endif
