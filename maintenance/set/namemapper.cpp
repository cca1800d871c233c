#include "maintenance/set/namemapper.h"

#include "maintenance/fs/sha256.h"

bool NameMapper::keeps(unsigned char byte, bool safe) const
{
    if (safe)
        return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
               (byte >= '0' && byte <= '9') || byte == '.' || byte == '_' || byte == '-';
    if (byte >= 0x80)
        return false;
    return m_caps.takesByte(byte);
}

QByteArray NameMapper::candidate(const QByteArray &name, int attempt, bool safe) const
{
    QByteArray base;
    if (!safe && m_caps.takesName(name)) {
        base = name;
    } else {
        const int size = name.size();
        const auto *bytes = reinterpret_cast<const unsigned char *>(name.constData());
        for (int i = 0; i < size; ++i) {
            // Valid UTF-8 stays readable where the stick takes it.
            if (!safe && bytes[i] >= 0x80 && m_caps.utf8) {
                int length = 1;
                while (i + length < size && (bytes[i + length] & 0xc0) == 0x80 && length < 4)
                    ++length;
                const QByteArray sequence = name.mid(i, length);
                StickCapabilities utf8Only = m_caps;
                utf8Only.invalidUtf8 = false;
                if (utf8Only.takesName(sequence)) {
                    base += sequence;
                    i += length - 1;
                    continue;
                }
            }
            if (keeps(bytes[i], safe))
                base += char(bytes[i]);
            else
                base += '%' + QByteArray::number(bytes[i], 16).toUpper().rightJustified(2, '0');
        }
        // "." and ".." are no names: they would not land as the entry.
        if (base == "." || base == "..")
            base.replace('.', "%2E");
    }
    QByteArray suffix;
    if (attempt > 0)
        suffix = '~' + QByteArray::number(attempt);
    return fitted(base, suffix, name);
}

QByteArray NameMapper::fitted(const QByteArray &name, const QByteArray &suffix,
                              const QByteArray &original) const
{
    // The suffix goes before a short extension, so that "data.txt" becomes "data~1.txt".
    int dot = name.lastIndexOf('.');
    if (dot <= 0 || name.size() - dot > 8)
        dot = name.size();
    QByteArray stem = name.left(dot);
    const QByteArray extension = name.mid(dot);
    const long limit = m_caps.nameMax > 16 ? m_caps.nameMax : 255;
    if (stem.size() + suffix.size() + extension.size() <= limit)
        return stem + suffix + extension;
    Sha256 hash;
    hash.add(original.constData(), size_t(original.size()));
    const QByteArray tag = '~' + hash.hex().left(8);
    int keep = int(limit) - tag.size() - suffix.size() - extension.size();
    if (keep < 1)
        keep = 1;
    stem.truncate(keep);
    // Never end inside a UTF-8 sequence.
    while (!stem.isEmpty() && (static_cast<unsigned char>(stem.back()) & 0xc0) == 0x80)
        stem.chop(1);
    if (!stem.isEmpty() && static_cast<unsigned char>(stem.back()) >= 0xc0)
        stem.chop(1);
    return stem + tag + suffix + extension;
}
