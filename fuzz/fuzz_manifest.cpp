// A backup set's manifest: what the writer writes, the reader reads back the same, and no
// text from a stick makes the reader fail in another way than by refusing it.
#include "fuzzcheck.h"
#include "maintenance/set/manifestreader.h"
#include "maintenance/set/manifestwriter.h"
#include "maintenance/system/deviceidentity.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

int scratchFolder()
{
    static const int fd = [] {
        const char *tmp = std::getenv("TMPDIR");
        QByteArray path = QByteArray(tmp && *tmp ? tmp : "/tmp") + "/fuzz_manifest.XXXXXX";
        FUZZ_CHECK(::mkdtemp(path.data()) != nullptr);
        static QByteArray made = path;
        std::atexit([] { ::rmdir(made.constData()); });
        const int folder = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        FUZZ_CHECK(folder >= 0);
        return folder;
    }();
    return fd;
}

QByteArray bytesOf(FuzzedDataProvider &input, size_t most)
{
    const std::string text = input.ConsumeRandomLengthString(most);
    QByteArray bytes(text.data(), int(text.size()));
    // The device's names and link texts never hold NUL.
    return bytes.replace('\0', "");
}

QByteArray hex(FuzzedDataProvider &input)
{
    QByteArray digest;
    for (int i = 0; i < 32; ++i)
        digest += input.ConsumeIntegral<unsigned char>();
    return digest.toHex();
}

bool notCopied(ManifestEntry::Type type)
{
    return type == ManifestEntry::Type::Socket || type == ManifestEntry::Type::CharDevice ||
           type == ManifestEntry::Type::BlockDevice;
}

// An entry as the engine makes it from what it finds on the device.
ManifestEntry entryOf(FuzzedDataProvider &input)
{
    ManifestEntry entry;
    entry.type = ManifestEntry::Type(input.ConsumeIntegralInRange(0, 6));
    entry.path = bytesOf(input, 80);
    if (input.ConsumeBool())
        entry.stored = bytesOf(input, 40);
    entry.mode = input.ConsumeIntegralInRange<quint32>(0, 07777);
    entry.uid = input.ConsumeIntegral<quint32>();
    entry.gid = input.ConsumeIntegral<quint32>();
    entry.mtime = input.ConsumeIntegral<qint64>();
    entry.mtimeNsec = input.ConsumeIntegralInRange<qint64>(0, 999999999);
    if (entry.type == ManifestEntry::Type::File) {
        entry.size = input.ConsumeIntegralInRange<qint64>(0, std::numeric_limits<qint64>::max());
        entry.sha256 = hex(input);
        entry.optional = input.ConsumeBool();
    }
    if (entry.type == ManifestEntry::Type::Link) {
        entry.link = bytesOf(input, 80);
        if (entry.link.isEmpty())
            entry.link = "x";
    }
    if (input.ConsumeBool()) {
        entry.group = input.ConsumeIntegralInRange<qint64>(1, std::numeric_limits<qint64>::max());
        entry.nlink = input.ConsumeIntegralInRange<qint64>(1, std::numeric_limits<qint64>::max());
    }
    if (entry.type == ManifestEntry::Type::CharDevice ||
        entry.type == ManifestEntry::Type::BlockDevice) {
        entry.deviceMajor = input.ConsumeIntegral<quint32>();
        entry.deviceMinor = input.ConsumeIntegral<quint32>();
    }
    // What the stick does not hold, the manifest alone describes.
    entry.optional = entry.optional || notCopied(entry.type);
    return entry;
}

bool same(const ManifestEntry &a, const ManifestEntry &b)
{
    return a.path == b.path && a.stored == b.stored && a.type == b.type && a.mode == b.mode &&
           a.uid == b.uid && a.gid == b.gid && a.mtime == b.mtime && a.mtimeNsec == b.mtimeNsec &&
           a.size == b.size && a.link == b.link && a.sha256 == b.sha256 && a.group == b.group &&
           a.nlink == b.nlink && a.deviceMajor == b.deviceMajor && a.deviceMinor == b.deviceMinor &&
           a.optional == b.optional;
}

QByteArray readFile(int dirFd, const char *name)
{
    QByteArray text;
    const int fd = ::openat(dirFd, name, O_RDONLY | O_CLOEXEC);
    FUZZ_CHECK(fd >= 0);
    char buffer[65536];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
        text.append(buffer, int(got));
    ::close(fd);
    return text;
}

// The reader's entries until it ends or refuses; `ended` says which.
QList<ManifestEntry> readAll(ManifestReader &reader, bool *ended)
{
    QList<ManifestEntry> entries;
    ManifestEntry entry;
    for (;;) {
        const ManifestReader::Result result = reader.next(&entry);
        if (result != ManifestReader::Result::Entry) {
            *ended = result == ManifestReader::Result::End;
            if (!*ended)
                FUZZ_CHECK(!reader.errorText().isEmpty());
            return entries;
        }
        entries << entry;
    }
}

void writtenAndReadBack(FuzzedDataProvider &input)
{
    QList<ManifestEntry> entries;
    const int count = input.ConsumeIntegralInRange(0, 12);
    for (int i = 0; i < count; ++i)
        entries << entryOf(input);
    // The time of the backup, as the panel writes it (2026-12-10T10:00:00Z).
    QByteArray created;
    for (const char c : bytesOf(input, 30)) {
        if ((c >= '0' && c <= '9') || c == '-' || c == ':' || c == 'T' || c == 'Z')
            created += c;
    }
    const QByteArray source = bytesOf(input, 30);

    const int folder = scratchFolder();
    ManifestWriter writer;
    FUZZ_CHECK(writer.create(folder, created, source, DeviceIdentity()));
    for (const ManifestEntry &entry : entries)
        writer.add(entry);
    FUZZ_CHECK(writer.finish(entries.size(), 0, 0));
    const QByteArray text = readFile(folder, ManifestWriter::fileName());
    ::unlinkat(folder, ManifestWriter::fileName(), 0);
    ::unlinkat(folder, ManifestWriter::sumsFileName(), 0);

    ManifestReader reader;
    reader.openText(text);
    bool ended = false;
    const QList<ManifestEntry> back = readAll(reader, &ended);
    FUZZ_CHECK(ended);
    FUZZ_CHECK(reader.complete());
    if (std::getenv("FUZZ_VERBOSE"))
        std::fprintf(stderr, "created [%s] [%s]\n", created.toHex().constData(),
                     reader.created().toHex().constData());
    FUZZ_CHECK(reader.created() == created);
    FUZZ_CHECK(back.size() == entries.size());
    for (int i = 0; i < entries.size(); ++i)
        FUZZ_CHECK(same(back.at(i), entries.at(i)));

    // Cut short anywhere, it is never taken for a whole manifest.
    const int cut = input.ConsumeIntegralInRange(0, int(text.size()) - 1);
    ManifestReader shorter;
    shorter.openText(text.left(cut));
    readAll(shorter, &ended);
    FUZZ_CHECK(!shorter.complete() || !ended);
}

// Any text: refused or read, and what is read is written back as the same entry.
void anyText(FuzzedDataProvider &input)
{
    const std::string raw = input.ConsumeRemainingBytesAsString();
    ManifestReader reader;
    reader.openText(QByteArray(raw.data(), int(raw.size())));
    bool ended = false;
    const QList<ManifestEntry> entries = readAll(reader, &ended);
    for (const ManifestEntry &entry : entries) {
        ManifestReader again;
        again.openText(ManifestWriter::line(entry));
        ManifestEntry back;
        const ManifestReader::Result result = again.next(&back);
        if (std::getenv("FUZZ_VERBOSE"))
            std::fprintf(stderr, "line %s -> %d %s\n", ManifestWriter::line(entry).constData(),
                         int(result), again.errorText().constData());
        FUZZ_CHECK(result == ManifestReader::Result::Entry);
        FUZZ_CHECK(ManifestWriter::line(back) == ManifestWriter::line(entry));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool())
        writtenAndReadBack(input);
    else
        anyText(input);
    return 0;
}
