#include "maintenance/set/manifestwriter.h"

#include "maintenance/fs/posixfs.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>

namespace {

const int bufferLimit = 1 << 16;

const char *typeName(ManifestEntry::Type type)
{
    switch (type) {
    case ManifestEntry::Type::File:
        return "file";
    case ManifestEntry::Type::Folder:
        return "dir";
    case ManifestEntry::Type::Link:
        return "link";
    case ManifestEntry::Type::Fifo:
        return "fifo";
    case ManifestEntry::Type::Socket:
        return "socket";
    case ManifestEntry::Type::CharDevice:
        return "char";
    case ManifestEntry::Type::BlockDevice:
        return "block";
    }
    return "file";
}

// A name in a sha256sum list: GNU's form, a leading backslash when the name needs escapes.
QByteArray sumsLine(const QByteArray &sha256, const QByteArray &path)
{
    QByteArray name;
    bool escaped = false;
    for (char c : path) {
        if (c == '\\') {
            name += "\\\\";
            escaped = true;
        } else if (c == '\n') {
            name += "\\n";
            escaped = true;
        } else if (c == '\r') {
            name += "\\r";
            escaped = true;
        } else {
            name += c;
        }
    }
    return (escaped ? "\\" : "") + sha256 + "  " + name + '\n';
}

} // namespace

const char *ManifestWriter::fileName()
{
    return "manifest.mtree";
}

const char *ManifestWriter::sumsFileName()
{
    return "SHA256SUMS";
}

const char *ManifestWriter::notCopiedMarker()
{
    return "# not copied:";
}

const char *ManifestWriter::completeMarker()
{
    return "# complete:";
}

QByteArray ManifestWriter::escape(const QByteArray &bytes)
{
    // What libarchive's mtree writer escapes, as \ooo: blanks, controls, bytes above 0x7e,
    // '#', '=' and '\'.
    QByteArray out;
    out.reserve(bytes.size() + 8);
    for (char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte > 0x20 && byte < 0x7f && byte != '#' && byte != '=' && byte != '\\') {
            out += c;
            continue;
        }
        out += '\\';
        out += char('0' + (byte >> 6));
        out += char('0' + ((byte >> 3) & 7));
        out += char('0' + (byte & 7));
    }
    return out;
}

QByteArray ManifestWriter::line(const ManifestEntry &entry)
{
    QByteArray text = "./" + escape(entry.path);
    text += " type=";
    text += typeName(entry.type);
    text += " mode=" + QByteArray::number(entry.mode & 07777, 8).rightJustified(4, '0');
    text += " uid=" + QByteArray::number(entry.uid);
    text += " gid=" + QByteArray::number(entry.gid);
    text += " time=" + QByteArray::number(entry.mtime) + '.' + QByteArray::number(entry.mtimeNsec);
    if (entry.type == ManifestEntry::Type::File) {
        text += " size=" + QByteArray::number(entry.size);
        text += " sha256=" + entry.sha256;
    }
    if (entry.type == ManifestEntry::Type::Link)
        text += " link=" + escape(entry.link);
    if (entry.group > 0) {
        text += " nlink=" + QByteArray::number(entry.nlink);
        text += " inode=" + QByteArray::number(entry.group);
    }
    if (entry.type == ManifestEntry::Type::CharDevice ||
        entry.type == ManifestEntry::Type::BlockDevice)
        text += " device=linux," + QByteArray::number(entry.deviceMajor) + ',' +
                QByteArray::number(entry.deviceMinor);
    if (!entry.stored.isEmpty())
        text += " contents=./" + escape(entry.stored);
    if (entry.optional)
        text += " optional";
    return text + '\n';
}

bool ManifestWriter::create(int dirFd, const QByteArray &created, const QByteArray &source)
{
    const int flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    m_manifest.reset(::openat(dirFd, fileName(), flags, 0644));
    if (!m_manifest.isValid()) {
        m_error = errno;
        return false;
    }
    m_sums.reset(::openat(dirFd, sumsFileName(), flags, 0644));
    if (!m_sums.isValid()) {
        m_error = errno;
        return false;
    }
    append(m_manifestBuffer, m_manifest,
           "#mtree v2.0\n"
           "# servicepanel backup set, format 1: every entry of /opt, then the dumps\n"
           "# created " +
               created + "\n# source " + escape(source) + '\n');
    return m_error == 0;
}

void ManifestWriter::add(const ManifestEntry &entry)
{
    // What was not copied (sockets, device nodes) is described in a comment: mtree readers
    // pass over it (libarchive knows no sockets), ManifestReader reads it.
    const bool notCopied = entry.type == ManifestEntry::Type::Socket ||
                           entry.type == ManifestEntry::Type::CharDevice ||
                           entry.type == ManifestEntry::Type::BlockDevice;
    append(m_manifestBuffer, m_manifest,
           notCopied ? notCopiedMarker() + (' ' + line(entry)) : line(entry));
    // sha256sum opens each file by its path: one longer than PATH_MAX is in the manifest only.
    if (entry.type == ManifestEntry::Type::File && !entry.optional &&
        entry.storedPath().size() < PATH_MAX)
        append(m_sumsBuffer, m_sums, sumsLine(entry.sha256, entry.storedPath()));
}

bool ManifestWriter::finish(qint64 entries, qint64 files, qint64 bytes)
{
    append(m_manifestBuffer, m_manifest,
           QByteArray(completeMarker()) + " entries=" + QByteArray::number(entries) + " files=" +
               QByteArray::number(files) + " bytes=" + QByteArray::number(bytes) + '\n');
    flush(m_manifestBuffer, m_manifest);
    flush(m_sumsBuffer, m_sums);
    for (UniqueFd *fd : {&m_manifest, &m_sums}) {
        if (fd->isValid() && ::close(fd->release()) != 0 && m_error == 0)
            m_error = errno;
    }
    return m_error == 0;
}

void ManifestWriter::close()
{
    m_manifest.reset();
    m_sums.reset();
    m_manifestBuffer.clear();
    m_sumsBuffer.clear();
}

void ManifestWriter::append(QByteArray &buffer, const UniqueFd &fd, const QByteArray &text)
{
    buffer += text;
    if (buffer.size() >= bufferLimit)
        flush(buffer, fd);
}

void ManifestWriter::flush(QByteArray &buffer, const UniqueFd &fd)
{
    if (m_error == 0 && !buffer.isEmpty() &&
        !posixfs::writeAll(fd.get(), buffer.constData(), size_t(buffer.size())))
        m_error = errno;
    buffer.clear();
}
