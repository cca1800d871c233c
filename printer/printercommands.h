#ifndef PRINTERCOMMANDS_H
#define PRINTERCOMMANDS_H

#include <QString>
#include <QStringList>

#include <optional>

// The value entry read as a decimal integer: ASCII digits with an optional sign, blanks
// around them allowed. Nothing for any other text ("abc", "300abc", "0x12c", "1e2", full-width
// digits) or a number beyond int, so that a typing slip never becomes a value.
std::optional<int> enteredValue(const QString &text);

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

// What the panel accepts and sends for one basic parameter code (f3, fa, f7, f8, f9).
struct ParameterRule
{
    const char *code;
    FieldLayout layout;
    int minimum;
    int maximum;
};

// The rule of a basic parameter code, or nullptr for any other code.
const ParameterRule *parameterRule(const QString &code);

// The command for an entered value, or "" when the panel refuses the value: outside the code's
// accepted range, or not formable into two fields.
QString basicParameterCommand(const ParameterRule &rule, int value);

// The value the printer answers with: fields 1 and 2 joined as texts for the value-second
// layout, field 1 alone otherwise.
int parameterReadBack(const ParameterRule &rule, const QStringList &reply);

// The printer's refusal of a basic parameter: the code, "ff", "ff" in fields 0 to 2.
bool isParameterFailure(const QString &code, const QStringList &reply);

// "aa,fe,<location>,<value>,0", or "" when the value is outside 0 to 3.
QString heatSectionCommand(const QString &location, int value);

// The printer echoed the mode setting: field 0 is the code and field 1 the value, as texts.
bool isModeConfirmed(const QStringList &reply, const QString &code, const QString &value);

// A reply field read as a hexadecimal number; empty or unreadable text gives 0.
int hexField(const QString &text);

// The printer's answer to the settings query, field by field.
struct PrinterSettings
{
    // A mode the printer reports as "0" or "1"; Unknown for anything else.
    enum class PaperType { Label, Receipt, Unknown };
    enum class BackPaper { Collected, NotCollected, Unknown };

    PaperType paperType = PaperType::Unknown;
    int startPosition = 0;
    int sensorThreshold = 0;
    BackPaper backPaper = BackPaper::Unknown;
    int pullBack = 0;
    int extraFeed = 0;
    int heatingLevel = 0;
    // The extra heat of the left, middle and right print-head section, as the printer gives it.
    QString leftHeat;
    QString middleHeat;
    QString rightHeat;
};

// The settings in the reply fields of the settings query; a field that is missing reads as
// empty.
PrinterSettings printerSettings(const QStringList &reply);

#endif
