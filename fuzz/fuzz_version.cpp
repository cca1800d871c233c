// The version query's reply fields -> the version text shown.
//
// Input: a first byte that chooses how the rest is read: as the bytes of the answer (through
// the reply fields the link makes of them), or as reply fields of any text, one per line.
#include "fuzzcheck.h"
#include "printer/serialframing.h"
#include "printer/statusreplies.h"

#include <QByteArray>
#include <QStringList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), int(size - 1));
    if (data[0] & 1) {
        // The bytes the printer sent: the first eight, up to the first zero, are the text.
        const QString version = versionFromReply(replyFields(rest));
        QByteArray text = rest.left(8);
        if (text.indexOf('\0') >= 0)
            text.truncate(text.indexOf('\0'));
        FUZZ_CHECK(version == QString::fromUtf8(text));
        return 0;
    }
    QStringList fields;
    for (const QByteArray &line : rest.split('\n'))
        fields << QString::fromUtf8(line);
    const QString version = versionFromReply(fields);
    FUZZ_CHECK(!version.contains(QChar(0)));
    // Each field gives at most one byte for every two characters, rounded up.
    int longest = 0;
    for (int i = 0; i < 8; ++i)
        longest += (fields.value(i).size() + 1) / 2;
    FUZZ_CHECK(version.toUtf8().size() <= 3 * longest);
    return 0;
}
