#include "printer/printeranswers.h"

#include <QCoreApplication>

namespace {

constexpr unsigned char Lead = 0xaa;
constexpr unsigned char HeatSectionCode = 0xfe;

using L = AnswerShape::Lead;

// Every command the panel sends, and the answer the printer gives to it.
constexpr AnswerShape Shapes[] = {
    {0xe2, 3, L::YesNo},       // paper loaded: c2/c0 00 00
    {0xe1, 3, L::YesNo},       // labels left: c2/c0 00 00
    {0xfd, 8, L::VersionText}, // version: "V1.0" and zeros
    {0xfb, 3, L::Echo},        // paper sensor: fb 00 01
    {0xf4, 15, L::Echo},       // current settings
    {0xf6, 3, L::Echo},        // back-paper collection
    {0xf2, 3, L::Echo},        // paper type
    {0xfa, 3, L::Echo},        // heating level
    {0xf7, 3, L::Echo},        // speed level
    {0xf8, 3, L::Echo},        // pull-back
    {0xf9, 3, L::Echo},        // extra feed
    {0xf3, 3, L::Echo},        // start position
    {0xf5, 3, L::Echo},        // sensor threshold
    {0xfe, 3, L::Echo},        // heat of one section: fe, section, value
    {0xfc, 3, L::Echo},        // paper replacement reset
    {0xf1, 3, L::Echo},        // parameter reset
};

QString panelTr(const char *text)
{
    return QCoreApplication::translate("sendordertoprinter_test", text);
}

QString hexByte(unsigned char byte)
{
    return QString::number(byte, 16).rightJustified(2, QLatin1Char('0'));
}

bool isPrintable(unsigned char byte)
{
    return byte >= 0x20 && byte < 0x7f;
}

// Printable text of at least one character, then nothing but zeros.
bool isVersionText(const QByteArray &answer)
{
    int i = 0;
    while (i < answer.size() && answer.at(i) != '\0') {
        if (!isPrintable(uchar(answer.at(i))))
            return false;
        ++i;
    }
    if (i == 0)
        return false;
    for (; i < answer.size(); ++i) {
        if (answer.at(i) != '\0')
            return false;
    }
    return true;
}

bool leadFits(const AnswerShape &shape, unsigned char first)
{
    switch (shape.lead) {
    case L::Echo:
        return first == shape.code;
    case L::YesNo:
        return first == AnswerYes || first == AnswerNo;
    case L::VersionText:
        return isPrintable(first);
    }
    return false;
}

} // namespace

const AnswerShape *answerShape(const QByteArray &frame)
{
    if (frame.size() < 2 || uchar(frame.at(0)) != Lead)
        return nullptr;
    const unsigned char code = uchar(frame.at(1));
    if (frame.size() != (code == HeatSectionCode ? 5 : 4))
        return nullptr;
    for (const AnswerShape &shape : Shapes) {
        if (shape.code == code)
            return &shape;
    }
    return nullptr;
}

QString answerFault(const QByteArray &frame, const QByteArray &answer)
{
    const AnswerShape *shape = answerShape(frame);
    if (!shape) {
        return panelTr(QT_TRANSLATE_NOOP("sendordertoprinter_test", "no answer is known for %1"))
            .arg(trafficHex(frame));
    }
    const QString code = hexByte(shape->code);
    if (!answer.isEmpty() && !leadFits(*shape, uchar(answer.at(0))))
        return panelTr(QT_TRANSLATE_NOOP("sendordertoprinter_test", "not an answer to %1"))
            .arg(code);
    if (answer.size() < shape->length) {
        return panelTr(
                   QT_TRANSLATE_NOOP("sendordertoprinter_test", "too short for an answer to %1"))
            .arg(code);
    }
    if (answer.size() > shape->length) {
        return panelTr(QT_TRANSLATE_NOOP("sendordertoprinter_test", "too long for an answer to %1"))
            .arg(code);
    }
    if (shape->lead == L::VersionText && !isVersionText(answer))
        return panelTr(QT_TRANSLATE_NOOP("sendordertoprinter_test", "not an answer to %1"))
            .arg(code);
    return QString();
}

bool answersAlike(const QByteArray &frame, const QByteArray &otherFrame)
{
    const AnswerShape *shape = answerShape(frame);
    const AnswerShape *other = answerShape(otherFrame);
    if (!shape || !other)
        return false;
    return shape == other || (shape->lead == L::YesNo && other->lead == L::YesNo);
}

QString trafficHex(const QByteArray &bytes)
{
    constexpr int Shown = 16;
    if (bytes.size() <= Shown)
        return QString::fromLatin1(bytes.toHex(' '));
    return panelTr(QT_TRANSLATE_NOOP("sendordertoprinter_test", "%1 ... (%2 bytes)"))
        .arg(QString::fromLatin1(bytes.left(Shown).toHex(' ')))
        .arg(bytes.size());
}
