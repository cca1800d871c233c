#include "panel/printertext.h"

#include "printer/printeranswers.h"
#include "printer/printercommands.h"

#include <iterator>

namespace {

QString codeText(unsigned char code)
{
    return QString::number(code, 16).rightJustified(2, QLatin1Char('0'));
}

struct ParameterName
{
    const char *code;
    const char *name;
};

const ParameterName parameterNames[] = {
    {"f3", QT_TRANSLATE_NOOP("PrinterText", "Start Position")},
    {"fa", QT_TRANSLATE_NOOP("PrinterText", "Heating Level")},
    {"f7", QT_TRANSLATE_NOOP("PrinterText", "Speed Level")},
    {"f8", QT_TRANSLATE_NOOP("PrinterText", "Roll Back Distance")},
    {"f9", QT_TRANSLATE_NOOP("PrinterText", "Extra Feed")},
};

const char *const parameterDescriptions[] = {
    QT_TRANSLATE_NOOP(
        "PrinterText",
        "Paramter Name: Start Position\nRange: [0-400], 100 = 6mm\nExplanation: Start "
        "position to the top of the label.\nDefault: 0\nCaution: Please input a "
        "reasonable value for small labels."),
    QT_TRANSLATE_NOOP("PrinterText",
                      "Parameter Name: Heating Level\nRange: [1-8]\nExplanation: Printer's heating "
                      "level. Increase as level increase.\nDefault: 2"),
    QT_TRANSLATE_NOOP("PrinterText",
                      "Parameter Name: Printing Speed\nRange: [1-8]\nExplanation: Printing speed. "
                      "Increase as level increases.\nDefault: 2"),
    QT_TRANSLATE_NOOP(
        "PrinterText",
        "Parameter Name: Pull Back Distance\nRange: [1-40] 100 = 6mm\nExplanation: Paper "
        "will be pulled back a certain distance before printing.It will automatically "
        "feed extra distance of 60.\nDefault: 0"),
    QT_TRANSLATE_NOOP(
        "PrinterText",
        "Parameter Name: Extra Feed Distance\nRange: [0-255] 100=6mm\nExplanation: Extra "
        "feed length after printing.\nDefault: 0"),
    QT_TRANSLATE_NOOP(
        "PrinterText",
        "Name: Right printing section setting\nValues:【0-3】.\nExplanation：Extra heating "
        "interation for this section.\nDefault：0\nNote：\n1:Only use this function when "
        "the printer quality is very bad.2：It is very unlikely to use any value above 1."),
    QT_TRANSLATE_NOOP(
        "PrinterText",
        "Name: Center printing section setting\nValues:【0-3】.\nExplanation：Extra heating "
        "interation for this section.\nDefault：0\nNote：\n1:Only use this function when "
        "the printer quality is very bad.2：It is very unlikely to use any value above 1."),
    QT_TRANSLATE_NOOP(
        "PrinterText",
        "Name: Left printing section setting\nValues:【0-3】.\nExplanation：Extra heating "
        "interation for this section.\nDefault：0\nNote：\n1:Only use this function when "
        "the printer quality is very bad.2：It is very unlikely to use any value above 1."),
    QT_TRANSLATE_NOOP(
        "PrinterText",
        "Name: Internal Sensor Threshold.\nDefault  ：15000.\nExplanation: The threshold "
        "between the index change of between paper and gap.\nNote: The value may have "
        "great effect in printing."),
};

} // namespace

QString PrinterText::trafficHex(const QByteArray &bytes)
{
    constexpr int Shown = 16;
    if (bytes.size() <= Shown)
        return QString::fromLatin1(bytes.toHex(' '));
    return tr("%1 ... (%2 bytes)")
        .arg(QString::fromLatin1(bytes.left(Shown).toHex(' ')))
        .arg(bytes.size());
}

QString PrinterText::answerFault(const AnswerFault &fault)
{
    const QString code = codeText(fault.code);
    switch (fault.kind) {
    case AnswerFault::Kind::None:
        break;
    case AnswerFault::Kind::UnknownCommand:
        return tr("no answer is known for %1").arg(trafficHex(fault.frame));
    case AnswerFault::Kind::NotAnAnswer:
        return tr("not an answer to %1").arg(code);
    case AnswerFault::Kind::TooShort:
        return tr("too short for an answer to %1").arg(code);
    case AnswerFault::Kind::TooLong:
        return tr("too long for an answer to %1").arg(code);
    case AnswerFault::Kind::EchoesOther:
        return tr("echoes other values than %1 sent").arg(trafficHex(fault.frame));
    case AnswerFault::Kind::CameBefore:
        return tr("came before this command");
    }
    return QString();
}

QString PrinterText::ignored(const IgnoredAnswer &answer)
{
    return tr("ignored %1: %2").arg(trafficHex(answer.bytes), answerFault(answer.why));
}

QString PrinterText::settingsReport(const PrinterSettings &settings)
{
    using Paper = PrinterSettings::PaperType;
    using Back = PrinterSettings::BackPaper;
    const QString unknown = tr("Please Check Issue");
    const QString paper = settings.paperType == Paper::Label     ? tr("Label")
                          : settings.paperType == Paper::Receipt ? tr("Receipt")
                                                                 : unknown;
    const QString back = settings.backPaper == Back::Collected      ? tr("Back Paper")
                         : settings.backPaper == Back::NotCollected ? tr("No Back Paper")
                                                                    : unknown;
    const QStringList lines{
        tr("Paper Type:") + paper,
        tr("start Print Location:") + QString::number(settings.startPosition),
        tr("Opto Compare Value:") + QString::number(settings.sensorThreshold),
        tr("Back Paper Status:") + back,
        tr("Pull Back Distance:") + QString::number(settings.pullBack),
        tr("Extra Feed Distance:") + QString::number(settings.extraFeed),
        tr("Heating Level:") + QString::number(settings.heatingLevel),
        tr("Left Location Heat Time:") + settings.leftHeat,
        tr("Middle Location Heat Time:") + settings.middleHeat,
        tr("Right Location Heat Time:") + settings.rightHeat,
    };
    return lines.join(QLatin1Char('\n'));
}

QString PrinterText::parameterName(const ParameterRule &rule)
{
    for (const ParameterName &entry : parameterNames) {
        if (qstrcmp(entry.code, rule.code) == 0)
            return tr(entry.name);
    }
    return QString::fromLatin1(rule.code);
}

const char *PrinterText::parameterDescriptionSource(int index)
{
    if (index < 0 || index >= int(std::size(parameterDescriptions)))
        return nullptr;
    return parameterDescriptions[index];
}

QString PrinterText::parameterDescription(int index)
{
    const char *source = parameterDescriptionSource(index);
    return source ? tr(source) : QString();
}
