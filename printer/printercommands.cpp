#include "printer/printercommands.h"

#include <QCoreApplication>

#include <iterator>
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
    {"f3", FieldLayout::ValueSecond, 0, 400,
     QT_TRANSLATE_NOOP("sendordertoprinter_test", "Start Position")},
    {"fa", FieldLayout::ValueFirst, 1, 10,
     QT_TRANSLATE_NOOP("sendordertoprinter_test", "Heating Level")},
    {"f7", FieldLayout::ValueFirst, 1, 3,
     QT_TRANSLATE_NOOP("sendordertoprinter_test", "Speed Level")},
    {"f8", FieldLayout::ValueFirst, 0, 255,
     QT_TRANSLATE_NOOP("sendordertoprinter_test", "Roll Back Distance")},
    {"f9", FieldLayout::ValueFirst, 0, 255,
     QT_TRANSLATE_NOOP("sendordertoprinter_test", "Extra Feed")},
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

// The report belongs to the panel, so it is translated in the panel's context.
static QString panelTr(const char *text)
{
    return QCoreApplication::translate("sendordertoprinter_test", text);
}

static QString modeText(const QString &field, const char *zero, const char *one)
{
    if (field == QLatin1String("1"))
        return panelTr(one);
    if (field == QLatin1String("0"))
        return panelTr(zero);
    return panelTr(QT_TRANSLATE_NOOP("sendordertoprinter_test", "Please Check Issue"));
}

QString settingsReport(const QStringList &reply)
{
    static const char *const labels[] = {
        QT_TRANSLATE_NOOP("sendordertoprinter_test", "Paper Type:"),
        QT_TRANSLATE_NOOP("sendordertoprinter_test", "start Print Location:"),
        QT_TRANSLATE_NOOP("sendordertoprinter_test", "Opto Compare Value:"),
        QT_TRANSLATE_NOOP("sendordertoprinter_test", "Back Paper Status:"),
        QT_TRANSLATE_NOOP("sendordertoprinter_test", "Pull Back Distance:"),
        QT_TRANSLATE_NOOP("sendordertoprinter_test", "Extra Feed Distance:"),
        QT_TRANSLATE_NOOP("sendordertoprinter_test", "Heating Level:"),
        QT_TRANSLATE_NOOP("sendordertoprinter_test", "Left Location Heat Time:"),
        QT_TRANSLATE_NOOP("sendordertoprinter_test", "Middle Location Heat Time:"),
        QT_TRANSLATE_NOOP("sendordertoprinter_test", "Right Location Heat Time:"),
    };
    const QString values[] = {
        modeText(reply.value(1), QT_TRANSLATE_NOOP("sendordertoprinter_test", "Label"),
                 QT_TRANSLATE_NOOP("sendordertoprinter_test", "Receipt")),
        QString::number(hexField(reply.value(2) + reply.value(3))),
        QString::number(hexField(reply.value(4) + reply.value(5))),
        modeText(reply.value(6), QT_TRANSLATE_NOOP("sendordertoprinter_test", "Back Paper"),
                 QT_TRANSLATE_NOOP("sendordertoprinter_test", "No Back Paper")),
        QString::number(hexField(reply.value(8))),
        QString::number(hexField(reply.value(9))),
        QString::number(hexField(reply.value(10))),
        reply.value(12),
        reply.value(13),
        reply.value(14),
    };
    QStringList lines;
    for (int i = 0; i < 10; ++i)
        lines.append(panelTr(labels[i]) + values[i]);
    return lines.join(QLatin1Char('\n'));
}

static const char *const parameterDescriptions[] = {
    QT_TRANSLATE_NOOP(
        "sendordertoprinter_test",
        "Paramter Name: Start Position\nRange: [0-400], 100 = 6mm\nExplanation: Start "
        "position to the top of the label.\nDefault: 0\nCaution: Please input a "
        "reasonable value for small labels."),
    QT_TRANSLATE_NOOP("sendordertoprinter_test",
                      "Parameter Name: Heating Level\nRange: [1-8]\nExplanation: Printer's heating "
                      "level. Increase as level increase.\nDefault: 2"),
    QT_TRANSLATE_NOOP("sendordertoprinter_test",
                      "Parameter Name: Printing Speed\nRange: [1-8]\nExplanation: Printing speed. "
                      "Increase as level increases.\nDefault: 2"),
    QT_TRANSLATE_NOOP(
        "sendordertoprinter_test",
        "Parameter Name: Pull Back Distance\nRange: [1-40] 100 = 6mm\nExplanation: Paper "
        "will be pulled back a certain distance before printing.It will automatically "
        "feed extra distance of 60.\nDefault: 0"),
    QT_TRANSLATE_NOOP(
        "sendordertoprinter_test",
        "Parameter Name: Extra Feed Distance\nRange: [0-255] 100=6mm\nExplanation: Extra "
        "feed length after printing.\nDefault: 0"),
    QT_TRANSLATE_NOOP(
        "sendordertoprinter_test",
        "Name: Right printing section setting\nValues:【0-3】.\nExplanation：Extra heating "
        "interation for this section.\nDefault：0\nNote：\n1:Only use this function when "
        "the printer quality is very bad.2：It is very unlikely to use any value above 1."),
    QT_TRANSLATE_NOOP(
        "sendordertoprinter_test",
        "Name: Center printing section setting\nValues:【0-3】.\nExplanation：Extra heating "
        "interation for this section.\nDefault：0\nNote：\n1:Only use this function when "
        "the printer quality is very bad.2：It is very unlikely to use any value above 1."),
    QT_TRANSLATE_NOOP(
        "sendordertoprinter_test",
        "Name: Left printing section setting\nValues:【0-3】.\nExplanation：Extra heating "
        "interation for this section.\nDefault：0\nNote：\n1:Only use this function when "
        "the printer quality is very bad.2：It is very unlikely to use any value above 1."),
    QT_TRANSLATE_NOOP(
        "sendordertoprinter_test",
        "Name: Internal Sensor Threshold.\nDefault  ：15000.\nExplanation: The threshold "
        "between the index change of between paper and gap.\nNote: The value may have "
        "great effect in printing."),
};

const char *parameterDescription(int index)
{
    if (index < 0 || index >= int(std::size(parameterDescriptions)))
        return nullptr;
    return parameterDescriptions[index];
}
