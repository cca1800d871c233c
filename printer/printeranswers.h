#ifndef PRINTERANSWERS_H
#define PRINTERANSWERS_H

#include <QByteArray>

// What the printer's answer to each command looks like on the line. An answer of any other
// shape belongs to another command (a late one) or to noise, and the serial link drops it.
struct AnswerShape
{
    enum class Lead {
        Echo,       // the command's own code comes back first
        YesNo,      // c2 for yes, c0 for no
        VersionText // printable text, zero-padded
    };

    unsigned char code;
    int length; // bytes
    Lead lead;
    // The answer repeats the command's two first parameters after the code (ff ff when the
    // printer refuses the value), so an answer with other values belongs to another command.
    bool echoesValue = false;
};

constexpr unsigned char AnswerYes = 0xc2;
constexpr unsigned char AnswerNo = 0xc0;

// The shape of the answer to a command frame ("aa", code, parameters), or nullptr when the
// frame is not a command the printer answers.
const AnswerShape *answerShape(const QByteArray &frame);

// Why bytes from the line were not taken as the answer to a command frame.
struct AnswerFault
{
    enum class Kind {
        None,           // they have the shape the printer gives to the frame
        UnknownCommand, // no answer is known for the frame
        NotAnAnswer,    // they start as no answer to this code does, or are no version text
        TooShort,
        TooLong,
        EchoesOther, // another value than the frame sent: a late answer to an earlier one
        CameBefore,  // they were in the line before the frame went out
    };

    Kind kind = Kind::None;
    unsigned char code = 0; // the frame's command code, where the frame has a known one
    QByteArray frame;

    bool isFault() const { return kind != Kind::None; }
    bool operator==(const AnswerFault &other) const
    {
        return kind == other.kind && code == other.code && frame == other.frame;
    }
    bool operator!=(const AnswerFault &other) const { return !(*this == other); }
};

// Kind None when the answer has the shape the printer gives to this frame; otherwise why it
// is not an answer to it.
AnswerFault answerFault(const QByteArray &frame, const QByteArray &answer);

// Bytes that an exchange received but threw away, and why.
struct IgnoredAnswer
{
    QByteArray bytes;
    AnswerFault why;

    bool operator==(const IgnoredAnswer &other) const
    {
        return bytes == other.bytes && why == other.why;
    }
};

// An answer of the right shape that echoes other values than this frame sent: a late answer
// to an earlier command of the same code.
bool echoesOtherValue(const QByteArray &frame, const QByteArray &answer);

// Two commands whose answers cannot be told apart, so a late answer to the first would pass
// for an answer to the second.
bool answersAlike(const QByteArray &frame, const QByteArray &otherFrame);

#endif
