#include "printer/printercommands.h"

#include <limits>

std::optional<int> enteredValue(const QString &text)
{
    const QString number = text.trimmed();
    int i = 0;
    const bool negative = number.startsWith(QLatin1Char('-'));
    if (negative || number.startsWith(QLatin1Char('+')))
        i = 1;
    if (i == number.size())
        return std::nullopt;
    qint64 magnitude = 0;
    for (; i < number.size(); ++i) {
        const ushort c = number.at(i).unicode();
        if (c < '0' || c > '9')
            return std::nullopt;
        magnitude = magnitude * 10 + (c - '0');
        if (magnitude > qint64(std::numeric_limits<int>::max()) + 1)
            return std::nullopt;
    }
    const qint64 value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(value);
}

ParameterFields valueToFields(qint64 value, FieldLayout layout)
{
    // A negative value is written as its 64-bit two's complement, which is always too long.
    const QString hex =
        value < 0 ? QString::number(quint64(value), 16) : QString::number(value, 16);
    ParameterFields fields;
    if (hex.size() <= 2) {
        fields.ok = true;
        fields.p1 = layout == FieldLayout::ValueFirst ? hex : QStringLiteral("0");
        fields.p2 = layout == FieldLayout::ValueFirst ? QStringLiteral("0") : hex;
    } else if (hex.size() <= 4) {
        fields.ok = true;
        fields.p1 = hex.left(hex.size() - 2);
        fields.p2 = hex.right(2);
    }
    return fields;
}

QString parameterCommand(const QString &code, qint64 value, FieldLayout layout)
{
    const ParameterFields fields = valueToFields(value, layout);
    if (!fields.ok)
        return QString();
    return QStringLiteral("aa,%1,%2,%3").arg(code, fields.p1, fields.p2);
}

bool isNoAnswer(const QStringList &reply)
{
    return reply.isEmpty() || (reply.size() == 1 && reply.first().isEmpty());
}

static const ParameterRule parameterRules[] = {
    {"f3", FieldLayout::ValueSecond, 0, 400}, {"fa", FieldLayout::ValueFirst, 1, 10},
    {"f7", FieldLayout::ValueFirst, 1, 3},    {"f8", FieldLayout::ValueFirst, 0, 255},
    {"f9", FieldLayout::ValueFirst, 0, 255},
};

const ParameterRule *parameterRule(const QString &code)
{
    for (const ParameterRule &rule : parameterRules) {
        if (code == QLatin1String(rule.code))
            return &rule;
    }
    return nullptr;
}

QString basicParameterCommand(const ParameterRule &rule, int value)
{
    if (value < rule.minimum || value > rule.maximum)
        return QString();
    return parameterCommand(QLatin1String(rule.code), value, rule.layout);
}

int hexField(const QString &text)
{
    return text.toInt(nullptr, 16);
}

int parameterReadBack(const ParameterRule &rule, const QStringList &reply)
{
    if (rule.layout == FieldLayout::ValueSecond)
        return hexField(reply.value(1) + reply.value(2));
    return hexField(reply.value(1));
}

static QString firstThreeFields(const QStringList &reply)
{
    return reply.value(0) + QLatin1Char(',') + reply.value(1) + QLatin1Char(',') + reply.value(2);
}

bool isParameterFailure(const QString &code, const QStringList &reply)
{
    return firstThreeFields(reply) == code + QLatin1String(",ff,ff");
}

QString heatSectionCommand(const QString &location, int value)
{
    if (value < 0 || value > 3)
        return QString();
    return QStringLiteral("aa,fe,%1,%2,0").arg(location).arg(value);
}

bool isModeConfirmed(const QStringList &reply, const QString &code, const QString &value)
{
    return reply.value(0) == code && reply.value(1) == value;
}

template <typename Mode> static Mode modeField(const QString &field, Mode zero, Mode one)
{
    if (field == QLatin1String("0"))
        return zero;
    if (field == QLatin1String("1"))
        return one;
    return Mode::Unknown;
}

PrinterSettings printerSettings(const QStringList &reply)
{
    using Paper = PrinterSettings::PaperType;
    using Back = PrinterSettings::BackPaper;
    PrinterSettings settings;
    settings.paperType = modeField(reply.value(1), Paper::Label, Paper::Receipt);
    settings.startPosition = hexField(reply.value(2) + reply.value(3));
    settings.sensorThreshold = hexField(reply.value(4) + reply.value(5));
    settings.backPaper = modeField(reply.value(6), Back::Collected, Back::NotCollected);
    settings.pullBack = hexField(reply.value(8));
    settings.extraFeed = hexField(reply.value(9));
    settings.heatingLevel = hexField(reply.value(10));
    settings.leftHeat = reply.value(12);
    settings.middleHeat = reply.value(13);
    settings.rightHeat = reply.value(14);
    return settings;
}
