// The check of an answer against the command it answers, held to the simulated printer.
//
// Input: one byte that chooses the frame's length (0 to 6; with the top bit set the frame
// also starts with the lead byte aa), the frame, then the answer.
#include "fuzzcheck.h"
#include "printer/printeranswers.h"
#include "printer/printercommands.h"
#include "printer/serialframing.h"
#include "printer/statusreplies.h"
#include "printermodel.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

QByteArray bytesOf(const Bytes &bytes)
{
    return QByteArray(reinterpret_cast<const char *>(bytes.data()), int(bytes.size()));
}

Bytes toBytes(const QByteArray &bytes)
{
    return Bytes(bytes.begin(), bytes.end());
}

void checkAccepted(const AnswerShape &shape, const QByteArray &frame, const QByteArray &answer)
{
    FUZZ_CHECK(answer.size() == shape.length);
    const unsigned char first = uchar(answer.at(0));
    const QStringList reply = replyFields(answer);
    switch (shape.lead) {
    case AnswerShape::Lead::Echo:
        FUZZ_CHECK(first == uchar(frame.at(1)));
        FUZZ_CHECK(reply.value(0) == QString::number(first, 16));
        break;
    case AnswerShape::Lead::YesNo:
        FUZZ_CHECK(first == AnswerYes || first == AnswerNo);
        FUZZ_CHECK(isYesReply(reply) == (first == AnswerYes));
        break;
    case AnswerShape::Lead::VersionText: {
        const int end = answer.indexOf('\0');
        const QByteArray text = end < 0 ? answer : answer.left(end);
        FUZZ_CHECK(!text.isEmpty());
        FUZZ_CHECK(versionFromReply(reply) == QString::fromLatin1(text));
        break;
    }
    }
    if (shape.code == 0xf4) {
        const PrinterSettings settings = printerSettings(reply);
        FUZZ_CHECK(settings.pullBack == uchar(answer.at(8)));
        FUZZ_CHECK(settings.heatingLevel == uchar(answer.at(10)));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const bool lead = data[0] & 0x80;
    const size_t frameLength = std::min<size_t>(data[0] % 7, size - 1);
    QByteArray frame(reinterpret_cast<const char *>(data + 1), int(frameLength));
    if (lead && !frame.isEmpty())
        frame[0] = char(0xaa);
    const QByteArray answer(reinterpret_cast<const char *>(data + 1 + frameLength),
                            int(size - 1 - frameLength));

    const AnswerShape *shape = answerShape(frame);
    const AnswerFault fault = answerFault(frame, answer);
    FUZZ_CHECK(fault == answerFault(frame, answer));
    FUZZ_CHECK(fault.frame == frame);
    FUZZ_CHECK(fault.kind != AnswerFault::Kind::CameBefore);
    if (!fault.isFault()) {
        FUZZ_CHECK(shape);
        checkAccepted(*shape, frame, answer);
    }
    if (shape)
        FUZZ_CHECK(fault.code == shape->code && shape->code == uchar(frame.at(1)));
    else
        FUZZ_CHECK(fault.kind == AnswerFault::Kind::UnknownCommand && fault.code == 0);

    FUZZ_CHECK(answersAlike(frame, frame) == (shape != nullptr));
    FUZZ_CHECK(answersAlike(frame, answer) == answersAlike(answer, frame));

    // What the simulated printer answers to a command is always taken, and the same with a
    // byte missing or a byte too many never is.
    if (shape) {
        PrinterModel printer;
        const QByteArray real = bytesOf(printer.answer(toBytes(frame)));
        if (!real.isEmpty()) {
            FUZZ_CHECK(!answerFault(frame, real).isFault());
            FUZZ_CHECK(answerFault(frame, real.left(real.size() - 1)).isFault());
            FUZZ_CHECK(answerFault(frame, real + char(0)).isFault());
        }
    }
    return 0;
}
