#ifndef PRINTERTEXT_H
#define PRINTERTEXT_H

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

struct AnswerFault;
struct IgnoredAnswer;
struct ParameterRule;
struct PrinterSettings;

// The printer page's words for what the printer library reports: the traffic log's notes on
// answers thrown away, the settings report, the parameters' names and descriptions; in one
// translation context.
class PrinterText
{
    Q_DECLARE_TR_FUNCTIONS(PrinterText)

public:
    // Bytes in lower-case hex ("f3 01 2c"); a long run is cut off after 16 bytes and its length
    // given.
    static QString trafficHex(const QByteArray &bytes);
    // "not an answer to fb", "too short for an answer to f4", ...; empty for no fault.
    static QString answerFault(const AnswerFault &fault);
    // The traffic log's line: "ignored f3 01 2c: not an answer to fb".
    static QString ignored(const IgnoredAnswer &answer);

    // The ten-line report of the settings query.
    static QString settingsReport(const PrinterSettings &settings);
    // "Start Position", the name a basic parameter's result goes by.
    static QString parameterName(const ParameterRule &rule);
    // The description of selector item 0 to 8; empty for any other index.
    static QString parameterDescription(int index);
    // The same as written in the source (the catalogue's key); nullptr for any other index.
    static const char *parameterDescriptionSource(int index);
};

#endif
