#include "framereader.h"

#include <cstddef>

namespace {
constexpr unsigned char Lead = 0xaa;
constexpr unsigned char HeatSectionCode = 0xfe;
} // namespace

std::vector<Bytes> FrameReader::feed(const Bytes &bytes)
{
    std::vector<Bytes> frames;
    for (const unsigned char byte : bytes) {
        if (byte == Lead && !m_pending.empty() && m_pending.front() != Lead)
            frames.push_back(takePending());
        m_pending.push_back(byte);
        if (pendingComplete())
            frames.push_back(takePending());
    }
    return frames;
}

Bytes FrameReader::takePending()
{
    Bytes frame;
    frame.swap(m_pending);
    return frame;
}

bool FrameReader::pendingComplete() const
{
    if (m_pending.size() < 2 || m_pending.front() != Lead)
        return false;
    const std::size_t length = m_pending[1] == HeatSectionCode ? 5 : 4;
    return m_pending.size() >= length;
}
