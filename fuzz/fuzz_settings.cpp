// The settings query's reply fields -> the ten-line report.
//
// Input: a first byte that chooses how the rest is read: as the bytes of the answer (through
// the reply fields the link makes of them), or as reply fields of any text, one per line.
#include "fuzzcheck.h"
#include "printer/printercommands.h"
#include "printer/serialframing.h"

#include <QByteArray>
#include <QStringList>

#include <cstddef>
#include <cstdint>

namespace {

const char *const Labels[] = {
    "Paper Type:",
    "start Print Location:",
    "Opto Compare Value:",
    "Back Paper Status:",
    "Pull Back Distance:",
    "Extra Feed Distance:",
    "Heating Level:",
    "Left Location Heat Time:",
    "Middle Location Heat Time:",
    "Right Location Heat Time:",
};

QString modeText(const QString &field, const char *zero, const char *one)
{
    if (field == QLatin1String("0"))
        return QLatin1String(zero);
    if (field == QLatin1String("1"))
        return QLatin1String(one);
    return QStringLiteral("Please Check Issue");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray rest(reinterpret_cast<const char *>(data + 1), int(size - 1));
    if (!(data[0] & 1)) {
        QStringList fields;
        for (const QByteArray &line : rest.split('\n'))
            fields << QString::fromUtf8(line);
        const QString report = settingsReport(fields);
        FUZZ_CHECK(report.startsWith(QLatin1String(Labels[0])));
        FUZZ_CHECK(report.count(QLatin1Char('\n')) >= 9);
        return 0;
    }

    // Bytes from the printer: every line has its label and a value from its bytes.
    const QStringList reply = replyFields(rest);
    const QStringList lines = settingsReport(reply).split(QLatin1Char('\n'));
    FUZZ_CHECK(lines.size() == 10);
    for (int i = 0; i < 10; ++i)
        FUZZ_CHECK(lines.at(i).startsWith(QLatin1String(Labels[i])));
    auto value = [&](int line) { return lines.at(line).mid(int(qstrlen(Labels[line]))); };
    auto byte = [&](int i) {
        return i < rest.size() ? QString::number(uchar(rest.at(i))) : QStringLiteral("0");
    };

    FUZZ_CHECK(value(0) == modeText(reply.value(1), "Label", "Receipt"));
    FUZZ_CHECK(value(3) == modeText(reply.value(6), "Back Paper", "No Back Paper"));
    FUZZ_CHECK(value(4) == byte(8));
    FUZZ_CHECK(value(5) == byte(9));
    FUZZ_CHECK(value(6) == byte(10));
    for (int line : {1, 2}) {
        // Two fields joined as texts: never more than four hex digits, never negative.
        bool ok = false;
        const int number = value(line).toInt(&ok);
        FUZZ_CHECK(ok && number >= 0 && number <= 0xffff);
    }
    for (int i = 0; i < 3; ++i)
        FUZZ_CHECK(value(7 + i) == reply.value(12 + i));
    return 0;
}
