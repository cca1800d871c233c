// The mount table's text -> the mount points it lists.
#include "fuzzcheck.h"
#include "maintenance/system/mountpoints.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

namespace {

// The kernel's own escaping of a path in mountinfo: blank, tab, newline and backslash as
// a backslash and three octal digits.
QByteArray kernelEscaped(const QByteArray &path)
{
    QByteArray out;
    for (const char c : path) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\\') {
            const auto byte = static_cast<unsigned char>(c);
            out += '\\';
            out += char('0' + (byte >> 6));
            out += char('0' + ((byte >> 3) & 7));
            out += char('0' + (byte & 7));
        } else {
            out += c;
        }
    }
    return out;
}

bool isOctal(char c)
{
    return c >= '0' && c <= '7';
}

// What a field means: a backslash and three octal digits (at most 0377) is that byte;
// anything else is itself.
QByteArray meaning(const QByteArray &field)
{
    QByteArray out;
    for (int i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] >= '0' &&
            field[i + 1] <= '3' && isOctal(field[i + 2]) && isOctal(field[i + 3])) {
            out += char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) |
                        (field[i + 3] - '0'));
            i += 3;
        } else {
            out += field[i];
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool()) {
        // Any field: read as the format says.
        const std::string raw = input.ConsumeRemainingBytesAsString();
        const QByteArray field(raw.data(), int(raw.size()));
        FUZZ_CHECK(unescapeMountField(field) == meaning(field));
        mountPointPaths(field);
        return 0;
    }
    // A table the kernel could have written, with paths of any bytes but NUL: every mount
    // point comes back as it is, in order.
    QList<QByteArray> paths;
    QByteArray table;
    int id = 20;
    while (input.remaining_bytes() > 0 && paths.size() < 16) {
        std::string bytes = input.ConsumeRandomLengthString(64);
        QByteArray path('/' + QByteArray(bytes.data(), int(bytes.size())));
        path.replace('\0', "");
        paths << path;
        table += QByteArray::number(id) + ' ' + QByteArray::number(id - 1) +
                 " 0:" + QByteArray::number(id) + ' ' + kernelEscaped(path) + ' ' +
                 kernelEscaped(path) + " rw,relatime shared:1 - tmpfs " + kernelEscaped(path) +
                 " rw,size=64k\n";
        ++id;
    }
    FUZZ_CHECK(mountPointPaths(table) == paths);
    return 0;
}
