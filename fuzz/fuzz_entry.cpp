// Text typed into the value entry -> the value -> the command of every parameter -> its frame.
#include "fuzzcheck.h"
#include "printer/printeranswers.h"
#include "printer/printercommands.h"
#include "printer/serialframing.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>

namespace {

// The reading the entry must have, worked out another way: blanks around an optional sign
// and ASCII digits, the number within int.
std::optional<int> expectedValue(const QString &text)
{
    const QString trimmed = text.trimmed();
    QString digits = trimmed;
    if (digits.startsWith(QLatin1Char('-')) || digits.startsWith(QLatin1Char('+')))
        digits.remove(0, 1);
    if (digits.isEmpty())
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    // Leading zeros would not change the number but could make it too long to read.
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    if (digits.size() > 10)
        return std::nullopt;
    const qint64 magnitude = digits.toLongLong();
    const qint64 value = trimmed.startsWith(QLatin1Char('-')) ? -magnitude : magnitude;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

int byteAt(const QByteArray &frame, int i)
{
    return uchar(frame.at(i));
}

// The frame of a two-parameter command carries the value: p1 high and p2 low, except a value
// below 256 in the value-first layout, which travels in p1 alone.
void checkValueFrame(const QString &command, const char *code, int value, FieldLayout layout)
{
    const QByteArray frame = commandFrame(command);
    FUZZ_CHECK(frame.size() == 4);
    FUZZ_CHECK(byteAt(frame, 0) == 0xaa);
    FUZZ_CHECK(QString::number(byteAt(frame, 1), 16) == QLatin1String(code));
    if (layout == FieldLayout::ValueFirst && value < 256) {
        FUZZ_CHECK(byteAt(frame, 2) == value);
        FUZZ_CHECK(byteAt(frame, 3) == 0);
    } else {
        FUZZ_CHECK((byteAt(frame, 2) << 8 | byteAt(frame, 3)) == value);
    }
    FUZZ_CHECK(answerShape(frame) != nullptr);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
    const std::optional<int> value = enteredValue(text);
    const std::optional<int> expected = expectedValue(text);
    FUZZ_CHECK(value.has_value() == expected.has_value());
    if (!value)
        return 0;
    FUZZ_CHECK(*value == *expected);
    const int v = *value;

    for (const char *code : {"f3", "fa", "f7", "f8", "f9"}) {
        const ParameterRule *rule = parameterRule(QLatin1String(code));
        FUZZ_CHECK(rule);
        const QString command = basicParameterCommand(*rule, v);
        const bool inRange = v >= rule->minimum && v <= rule->maximum;
        FUZZ_CHECK(command.isEmpty() == !inRange);
        if (inRange)
            checkValueFrame(command, code, v, rule->layout);
    }

    for (const char *location : {"1", "2", "3"}) {
        const QString command = heatSectionCommand(QLatin1String(location), v);
        FUZZ_CHECK(command.isEmpty() == (v < 0 || v > 3));
        if (command.isEmpty())
            continue;
        const QByteArray frame = commandFrame(command);
        FUZZ_CHECK(frame == QByteArray::fromHex("aafe") + char(location[0] - '0') + char(v) + '\0');
        FUZZ_CHECK(answerShape(frame) != nullptr);
    }

    const QString threshold = parameterCommand(QStringLiteral("f5"), v, FieldLayout::ValueSecond);
    FUZZ_CHECK(threshold.isEmpty() == (v < 0 || v > 0xffff));
    if (!threshold.isEmpty())
        checkValueFrame(threshold, "f5", v, FieldLayout::ValueSecond);
    return 0;
}
