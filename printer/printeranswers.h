#ifndef PRINTERANSWERS_H
#define PRINTERANSWERS_H

#include <QByteArray>
#include <QString>

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
};

constexpr unsigned char AnswerYes = 0xc2;
constexpr unsigned char AnswerNo = 0xc0;

// The shape of the answer to a command frame ("aa", code, parameters), or nullptr when the
// frame is not a command the printer answers.
const AnswerShape *answerShape(const QByteArray &frame);

// Empty when the answer has the shape the printer gives to this frame; otherwise why it is
// not an answer to it, for the traffic log (translated in the panel's context).
QString answerFault(const QByteArray &frame, const QByteArray &answer);

// Two commands whose answers cannot be told apart, so a late answer to the first would pass
// for an answer to the second.
bool answersAlike(const QByteArray &frame, const QByteArray &otherFrame);

// Bytes in lower-case hex for the traffic log ("f3 01 2c"); a long run is cut off after 16
// bytes and its length given.
QString trafficHex(const QByteArray &bytes);

#endif
