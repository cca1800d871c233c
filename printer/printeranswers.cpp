#include "printer/printeranswers.h"

namespace {

constexpr unsigned char Lead = 0xaa;
constexpr unsigned char HeatSectionCode = 0xfe;

using L = AnswerShape::Lead;
constexpr bool EchoesValue = true;
constexpr unsigned char Refused = 0xff;

// Every command the panel sends, and the answer the printer gives to it.
constexpr AnswerShape Shapes[] = {
    {0xe2, 3, L::YesNo},             // paper loaded: c2/c0 00 00
    {0xe1, 3, L::YesNo},             // labels left: c2/c0 00 00
    {0xfd, 8, L::VersionText},       // version: "V1.0" and zeros
    {0xfb, 3, L::Echo},              // paper sensor: fb 00 01
    {0xf4, 15, L::Echo},             // current settings
    {0xf6, 3, L::Echo, EchoesValue}, // back-paper collection
    {0xf2, 3, L::Echo, EchoesValue}, // paper type
    {0xfa, 3, L::Echo, EchoesValue}, // heating level
    {0xf7, 3, L::Echo, EchoesValue}, // speed level
    {0xf8, 3, L::Echo, EchoesValue}, // pull-back
    {0xf9, 3, L::Echo, EchoesValue}, // extra feed
    {0xf3, 3, L::Echo, EchoesValue}, // start position
    {0xf5, 3, L::Echo, EchoesValue}, // sensor threshold
    {0xfe, 3, L::Echo, EchoesValue}, // heat of one section: fe, section, value
    {0xfc, 3, L::Echo, EchoesValue}, // paper replacement reset
    {0xf1, 3, L::Echo, EchoesValue}, // parameter reset
};

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

AnswerFault answerFault(const QByteArray &frame, const QByteArray &answer)
{
    AnswerFault fault;
    fault.frame = frame;
    const AnswerShape *shape = answerShape(frame);
    if (!shape) {
        fault.kind = AnswerFault::Kind::UnknownCommand;
        return fault;
    }
    fault.code = shape->code;
    if (!answer.isEmpty() && !leadFits(*shape, uchar(answer.at(0))))
        fault.kind = AnswerFault::Kind::NotAnAnswer;
    else if (answer.size() < shape->length)
        fault.kind = AnswerFault::Kind::TooShort;
    else if (answer.size() > shape->length)
        fault.kind = AnswerFault::Kind::TooLong;
    else if (shape->lead == L::VersionText && !isVersionText(answer))
        fault.kind = AnswerFault::Kind::NotAnAnswer;
    else if (echoesOtherValue(frame, answer))
        fault.kind = AnswerFault::Kind::EchoesOther;
    return fault;
}

bool echoesOtherValue(const QByteArray &frame, const QByteArray &answer)
{
    const AnswerShape *shape = answerShape(frame);
    if (!shape || !shape->echoesValue || answer.size() != shape->length ||
        uchar(answer.at(0)) != shape->code)
        return false;
    const QByteArray echoed = answer.mid(1, 2);
    const bool refused = uchar(echoed.at(0)) == Refused && uchar(echoed.at(1)) == Refused;
    return !refused && echoed != frame.mid(2, 2);
}

bool answersAlike(const QByteArray &frame, const QByteArray &otherFrame)
{
    const AnswerShape *shape = answerShape(frame);
    const AnswerShape *other = answerShape(otherFrame);
    if (!shape || !other)
        return false;
    return shape == other || (shape->lead == L::YesNo && other->lead == L::YesNo);
}
