// A printer command string -> the bytes on the line. The oracle knows the format, not the
// code: a command is one or more comma-separated fields of one or two hex digits, each
// field one byte; anything else sends nothing.
#include "fuzzcheck.h"
#include "printer/serialframing.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

bool wellFormed(const QString &command)
{
    static const QRegularExpression format(
        QStringLiteral("\\A[0-9A-Fa-f]{1,2}(,[0-9A-Fa-f]{1,2})*\\z"));
    return format.match(command).hasMatch();
}

// The bytes of a well-formed command: each field padded to two digits is one byte in hex.
QByteArray bytesOf(const QString &command)
{
    QByteArray hex;
    for (const QString &field : command.split(QLatin1Char(',')))
        hex += field.rightJustified(2, QLatin1Char('0')).toLatin1();
    return QByteArray::fromHex(hex);
}

// A command that a technician or the panel could have written for `frame`: each byte in
// upper or lower case, with or without its leading zero.
QString spelled(const QByteArray &frame, FuzzedDataProvider &choices)
{
    QStringList fields;
    for (const char byte : frame) {
        QString field = QString::number(uchar(byte), 16);
        if (field.size() == 1 && choices.ConsumeBool())
            field.prepend(QLatin1Char('0'));
        if (choices.ConsumeBool())
            field = field.toUpper();
        fields << field;
    }
    return fields.join(QLatin1Char(','));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool()) {
        // Any text.
        const std::string text = input.ConsumeRemainingBytesAsString();
        const QString command = QString::fromUtf8(text.data(), int(text.size()));
        const QByteArray frame = commandFrame(command);
        if (wellFormed(command))
            FUZZ_CHECK(frame == bytesOf(command));
        else
            FUZZ_CHECK(frame.isEmpty());
        return 0;
    }
    // Any bytes, spelled as a command: the same bytes go on the line.
    const std::string bytes = input.ConsumeRandomLengthString(64);
    const QByteArray frame(bytes.data(), int(bytes.size()));
    if (frame.isEmpty()) {
        FUZZ_CHECK(commandFrame(QString()).isEmpty());
        return 0;
    }
    const QString command = spelled(frame, input);
    FUZZ_CHECK(commandFrame(command) == frame);
    // The printer's reply fields give the bytes back in the same form.
    FUZZ_CHECK(commandFrame(replyFields(frame).join(QLatin1Char(','))) == frame);
    return 0;
}
