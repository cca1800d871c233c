// The bytes of an answer -> the reply fields the panel's callers read.
#include "fuzzcheck.h"
#include "printer/printercommands.h"
#include "printer/serialframing.h"

#include <QByteArray>
#include <QStringList>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QStringList fields = replyFields(bytes);
    FUZZ_CHECK(isNoAnswer(fields) == bytes.isEmpty());
    if (bytes.isEmpty()) {
        FUZZ_CHECK(fields == QStringList{QString()});
        return 0;
    }
    FUZZ_CHECK(fields.size() == bytes.size());
    for (int i = 0; i < bytes.size(); ++i) {
        const QString &field = fields.at(i);
        // Lower-case hex without leading zeros, and back to the same byte.
        FUZZ_CHECK(field.size() == 1 || field.size() == 2);
        FUZZ_CHECK(field.size() == 1 || field.at(0) != QLatin1Char('0'));
        FUZZ_CHECK(field == field.toLower());
        bool ok = false;
        FUZZ_CHECK(field.toInt(&ok, 16) == uchar(bytes.at(i)) && ok);
        FUZZ_CHECK(hexField(field) == uchar(bytes.at(i)));
    }
    return 0;
}
