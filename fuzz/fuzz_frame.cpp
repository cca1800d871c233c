// A printer command string -> the bytes on the line.
#include "fuzzcheck.h"
#include "printer/serialframing.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

int digitValue(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Each comma-separated field of one or two hex digits is one byte; anything else sends nothing.
QByteArray expectedFrame(const QString &command)
{
    if (command.isEmpty())
        return QByteArray();
    QByteArray frame;
    for (const QString &field : command.split(QLatin1Char(','))) {
        if (field.isEmpty() || field.size() > 2)
            return QByteArray();
        int byte = 0;
        for (const QChar c : field) {
            if (digitValue(c) < 0)
                return QByteArray();
            byte = byte * 16 + digitValue(c);
        }
        frame.append(char(byte));
    }
    return frame;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString command = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const QByteArray frame = commandFrame(command);
    FUZZ_CHECK(frame == expectedFrame(command));
    if (frame.isEmpty())
        return 0;

    // Written back as a command string, the frame makes the same bytes.
    QStringList fields;
    for (const char byte : frame)
        fields << QString::number(uchar(byte), 16);
    FUZZ_CHECK(commandFrame(fields.join(QLatin1Char(','))) == frame);
    FUZZ_CHECK(frame.size() == command.count(QLatin1Char(',')) + 1);
    return 0;
}
