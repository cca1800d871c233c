#ifndef PRINTERCOMMANDS_H
#define PRINTERCOMMANDS_H

#include <QString>
#include <QStringList>

// Where the entered value goes among a command's two parameter fields.
enum class FieldLayout { ValueFirst, ValueSecond };

struct ParameterFields
{
    bool ok = false; // false: the value does not fit two fields, no command is formed
    QString p1;
    QString p2;
};

// Splits an entered value into the parameter fields p1, p2 of a printer command.
ParameterFields valueToFields(qint64 value, FieldLayout layout);

// "aa,<code>,p1,p2", or the empty text when the value cannot be formed into a command.
QString parameterCommand(const QString &code, qint64 value, FieldLayout layout);

// The link gave nothing at all: the no-answer list {""} or an empty list.
bool isNoAnswer(const QStringList &reply);

#endif
