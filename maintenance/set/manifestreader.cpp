#include "maintenance/set/manifestreader.h"

#include "maintenance/set/manifestwriter.h"
#include "maintenance/fs/posixfs.h"

#include <QList>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// A hostile manifest may hold one endless line: no line of ours is near this long.
const int maximumLine = 1 << 20;

bool parseNumber(const QByteArray &text, int base, qint64 *value)
{
    bool ok = false;
    *value = text.toLongLong(&ok, base);
    return ok;
}

QList<QByteArray> words(const QByteArray &line)
{
    QList<QByteArray> result;
    int i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line.at(i) == ' ' || line.at(i) == '\t'))
            ++i;
        const int start = i;
        while (i < line.size() && line.at(i) != ' ' && line.at(i) != '\t')
            ++i;
        if (i > start)
            result << line.mid(start, i - start);
    }
    return result;
}

} // namespace

bool ManifestReader::open(int dirFd, const char *name)
{
    struct stat status;
    m_fd.reset(posixfs::openRegularForReading(dirFd, name, &status));
    if (!m_fd.isValid()) {
        m_error = errno;
        m_errorText = posixfs::errorText(m_error).toLocal8Bit();
        return false;
    }
    return true;
}

void ManifestReader::openText(const QByteArray &text)
{
    m_buffer = text;
    m_fromText = true;
    m_eof = true;
    m_hash.add(text.constData(), size_t(text.size()));
}

ManifestReader::Result ManifestReader::fail(const QByteArray &why)
{
    m_errorText = "line " + QByteArray::number(m_lineNumber) + ": " + why;
    return Result::Error;
}

bool ManifestReader::readLine(QByteArray *line)
{
    for (;;) {
        const int end = m_buffer.indexOf('\n', m_bufferPos);
        if (end >= 0) {
            *line = m_buffer.mid(m_bufferPos, end - m_bufferPos);
            m_bufferPos = end + 1;
            return true;
        }
        if (m_buffer.size() - m_bufferPos > maximumLine) {
            m_error = E2BIG;
            return false;
        }
        if (m_eof) {
            if (m_bufferPos < m_buffer.size()) {
                // A last line without its newline: the file was cut short.
                *line = m_buffer.mid(m_bufferPos);
                m_bufferPos = m_buffer.size();
                m_truncated = true;
                return true;
            }
            return false;
        }
        m_buffer.remove(0, m_bufferPos);
        m_bufferPos = 0;
        const int old = m_buffer.size();
        m_buffer.resize(old + (1 << 16));
        const ssize_t got = posixfs::readRetrying(m_fd.get(), m_buffer.data() + old, 1 << 16);
        if (got < 0) {
            m_error = errno;
            m_buffer.resize(old);
            return false;
        }
        m_buffer.resize(old + int(got));
        m_hash.add(m_buffer.constData() + old, size_t(got));
        if (got == 0)
            m_eof = true;
    }
}

ManifestReader::Result ManifestReader::next(ManifestEntry *entry)
{
    QByteArray line;
    for (;;) {
        if (!readLine(&line)) {
            if (m_error != 0) {
                m_errorText = m_error == E2BIG ? QByteArray("line too long")
                                               : posixfs::errorText(m_error).toLocal8Bit();
                return Result::Error;
            }
            if (m_sha256.isEmpty())
                m_sha256 = m_hash.hex();
            return Result::End;
        }
        ++m_lineNumber;
        if (m_truncated) {
            m_complete = false;
            return fail("the manifest was cut short");
        }
        // Continued lines end in a backslash.
        while (line.endsWith('\\') && !line.endsWith("\\\\")) {
            QByteArray more;
            if (!readLine(&more))
                return fail("continuation at the end of the file");
            ++m_lineNumber;
            line.chop(1);
            line += more;
        }
        const QByteArray notCopied = ManifestWriter::notCopiedMarker();
        if (line.startsWith(notCopied + ' ')) {
            if (m_afterComplete) {
                m_complete = false;
                return fail("entries after the closing line");
            }
            if (!parseEntry(line.mid(notCopied.size() + 1), entry))
                return Result::Error;
            if (entry->type != ManifestEntry::Type::Socket &&
                entry->type != ManifestEntry::Type::CharDevice &&
                entry->type != ManifestEntry::Type::BlockDevice)
                return fail("only sockets and device nodes go uncopied");
            entry->optional = true;
            return Result::Entry;
        }
        if (line.startsWith('#')) {
            if (line.startsWith(ManifestWriter::completeMarker())) {
                m_complete = !m_afterComplete;
                m_afterComplete = true;
            } else if (line.startsWith("# created ")) {
                m_created = line.mid(10).trimmed();
            }
            continue;
        }
        if (line.trimmed().isEmpty())
            continue;
        // Anything after the closing line means the file was not written by one backup.
        if (m_afterComplete) {
            m_complete = false;
            return fail("entries after the closing line");
        }
        if (line.startsWith("/set ")) {
            m_defaults << words(line.mid(5));
            continue;
        }
        if (line.startsWith("/unset ")) {
            const QList<QByteArray> keys = words(line.mid(7));
            for (const QByteArray &key : keys) {
                for (int i = m_defaults.size() - 1; i >= 0; --i) {
                    if (key == "all" || m_defaults.at(i).split('=').first() == key)
                        m_defaults.removeAt(i);
                }
            }
            continue;
        }
        if (!parseEntry(line, entry))
            return Result::Error;
        return Result::Entry;
    }
}

bool ManifestReader::parseEntry(const QByteArray &line, ManifestEntry *entry)
{
    *entry = ManifestEntry();
    const QList<QByteArray> parts = words(line);
    QByteArray path;
    if (parts.isEmpty() || !unescape(parts.first(), &path)) {
        fail("bad name");
        return false;
    }
    if (!path.startsWith("./")) {
        fail("not a full path below \".\"");
        return false;
    }
    entry->path = path.mid(2);
    bool typed = false;
    const QList<QByteArray> keywords = m_defaults + parts.mid(1);
    for (const QByteArray &word : keywords) {
        const int equals = word.indexOf('=');
        const QByteArray key = equals < 0 ? word : word.left(equals);
        const QByteArray value = equals < 0 ? QByteArray() : word.mid(equals + 1);
        if (key == "type")
            typed = true;
        if (!applyKeyword(key, value, equals >= 0, entry)) {
            fail("bad keyword " + key);
            return false;
        }
    }
    if (!typed) {
        fail("no type");
        return false;
    }
    if (entry->type == ManifestEntry::Type::File && entry->sha256.size() != 64) {
        fail("file without sha256");
        return false;
    }
    return true;
}

bool ManifestReader::applyKeyword(const QByteArray &key, const QByteArray &value, bool hasValue,
                                  ManifestEntry *entry)
{
    qint64 number = 0;
    if (key == "optional") {
        entry->optional = true;
        return !hasValue;
    }
    if (!hasValue)
        return false;
    if (key == "type") {
        static const struct
        {
            const char *name;
            ManifestEntry::Type type;
        } types[] = {
            {"file", ManifestEntry::Type::File},        {"dir", ManifestEntry::Type::Folder},
            {"link", ManifestEntry::Type::Link},        {"fifo", ManifestEntry::Type::Fifo},
            {"socket", ManifestEntry::Type::Socket},    {"char", ManifestEntry::Type::CharDevice},
            {"block", ManifestEntry::Type::BlockDevice}};
        for (const auto &known : types) {
            if (value == known.name) {
                entry->type = known.type;
                return true;
            }
        }
        return false;
    }
    if (key == "mode") {
        if (!parseNumber(value, 8, &number) || number < 0 || number > 07777)
            return false;
        entry->mode = quint32(number);
        return true;
    }
    if (key == "uid" || key == "gid") {
        if (!parseNumber(value, 10, &number) || number < 0 || number > 0xffffffffLL)
            return false;
        (key == "uid" ? entry->uid : entry->gid) = quint32(number);
        return true;
    }
    if (key == "time") {
        const int dot = value.indexOf('.');
        if (!parseNumber(dot < 0 ? value : value.left(dot), 10, &entry->mtime))
            return false;
        if (dot >= 0 &&
            (!parseNumber(value.mid(dot + 1), 10, &number) || number < 0 || number > 999999999))
            return false;
        entry->mtimeNsec = dot >= 0 ? number : 0;
        return true;
    }
    if (key == "size")
        return parseNumber(value, 10, &entry->size) && entry->size >= 0;
    if (key == "sha256" || key == "sha256digest") {
        if (value.size() != 64)
            return false;
        for (char c : value) {
            if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
                return false;
        }
        entry->sha256 = value;
        return true;
    }
    if (key == "link")
        return unescape(value, &entry->link) && !entry->link.isEmpty();
    if (key == "nlink")
        return parseNumber(value, 10, &entry->nlink) && entry->nlink >= 1;
    if (key == "inode")
        return parseNumber(value, 10, &entry->group) && entry->group >= 0;
    if (key == "contents") {
        QByteArray stored;
        if (!unescape(value, &stored) || !stored.startsWith("./"))
            return false;
        entry->stored = stored.mid(2);
        return true;
    }
    if (key == "device") {
        const QList<QByteArray> fields = value.split(',');
        qint64 major = 0;
        qint64 minor = 0;
        if (fields.size() != 3 || !parseNumber(fields.at(1), 10, &major) ||
            !parseNumber(fields.at(2), 10, &minor))
            return false;
        entry->deviceMajor = quint32(major);
        entry->deviceMinor = quint32(minor);
        return true;
    }
    // Keywords other mtree writers add and that say nothing the restore needs.
    return key == "uname" || key == "gname" || key == "flags" || key == "cksum" || key == "md5" ||
           key == "md5digest" || key == "sha1" || key == "sha1digest";
}

bool ManifestReader::unescape(const QByteArray &text, QByteArray *bytes)
{
    bytes->clear();
    bytes->reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c != '\\') {
            *bytes += c;
            continue;
        }
        if (i + 1 >= text.size())
            return false;
        const char next = text.at(i + 1);
        if (next >= '0' && next <= '3' && i + 3 < text.size()) {
            const char b = text.at(i + 2);
            const char d = text.at(i + 3);
            if (b < '0' || b > '7' || d < '0' || d > '7')
                return false;
            *bytes += char(((next - '0') << 6) | ((b - '0') << 3) | (d - '0'));
            i += 3;
            continue;
        }
        static const char from[] = "\\abfnrstv";
        static const char to[] = "\\\a\b\f\n\r \t\v";
        const char *found = ::strchr(from, next);
        if (!found || next == '\0')
            return false;
        *bytes += to[found - from];
        ++i;
    }
    return !bytes->contains('\0');
}
