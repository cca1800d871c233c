#ifndef FRAMEREADER_H
#define FRAMEREADER_H

#include <vector>

using Bytes = std::vector<unsigned char>;

// Cuts the byte stream from the panel into command frames: the lead byte 0xaa, the code and
// two parameters, or three after the heat-section code 0xfe. Bytes that do not start with
// the lead byte come out as a frame of their own, so they are logged but never answered.
class FrameReader
{
public:
    // The frames that these bytes complete, in order.
    std::vector<Bytes> feed(const Bytes &bytes);
    // Hands out and forgets an unfinished frame (the sender stopped half-way).
    Bytes takePending();
    bool hasPending() const { return !m_pending.empty(); }

private:
    bool pendingComplete() const;

    Bytes m_pending;
};

#endif
