// The settings query's reply fields -> the settings they hold.
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

using Paper = PrinterSettings::PaperType;
using Back = PrinterSettings::BackPaper;

template <typename Mode> Mode mode(const QString &field, Mode zero, Mode one)
{
    if (field == QLatin1String("0"))
        return zero;
    if (field == QLatin1String("1"))
        return one;
    return Mode::Unknown;
}

// What every reply must give, whatever its fields hold.
void checkModes(const QStringList &reply, const PrinterSettings &settings)
{
    FUZZ_CHECK(settings.paperType == mode(reply.value(1), Paper::Label, Paper::Receipt));
    FUZZ_CHECK(settings.backPaper == mode(reply.value(6), Back::Collected, Back::NotCollected));
    FUZZ_CHECK(settings.leftHeat == reply.value(12));
    FUZZ_CHECK(settings.middleHeat == reply.value(13));
    FUZZ_CHECK(settings.rightHeat == reply.value(14));
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
        checkModes(fields, printerSettings(fields));
        return 0;
    }

    // Bytes from the printer: every value from its bytes.
    const QStringList reply = replyFields(rest);
    const PrinterSettings settings = printerSettings(reply);
    checkModes(reply, settings);
    auto byte = [&](int i) { return i < rest.size() ? int(uchar(rest.at(i))) : 0; };
    FUZZ_CHECK(settings.pullBack == byte(8));
    FUZZ_CHECK(settings.extraFeed == byte(9));
    FUZZ_CHECK(settings.heatingLevel == byte(10));
    // Two fields joined as texts: never more than four hex digits, never negative.
    for (int value : {settings.startPosition, settings.sensorThreshold})
        FUZZ_CHECK(value >= 0 && value <= 0xffff);
    return 0;
}
