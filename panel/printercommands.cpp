#include "panel/printercommands.h"

ParameterFields valueToFields(qint64 value, FieldLayout layout)
{
    // A negative value is written as its 64-bit two's complement, which is always too long.
    const QString hex = value < 0 ? QString::number(quint64(value), 16)
                                  : QString::number(value, 16);
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
