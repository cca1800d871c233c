#include "printermodel.h"

namespace {
constexpr unsigned char Yes = 0xc2;
constexpr unsigned char No = 0xc0;
constexpr unsigned char Refused = 0xff;
const char Version[8] = {'V', '1', '.', '0', 0, 0, 0, 0};
} // namespace

PrinterModel::PrinterModel()
{
    resetParameters();
}

void PrinterModel::resetParameters()
{
    m_paperType = 0;
    m_startPosition = 0;
    m_sensorThreshold = 15000;
    m_backPaper = 0;
    m_pullBack = 0;
    m_extraFeed = 0;
    m_heatingLevel = 2;
    m_speedLevel = 2;
    for (int &heat : m_sectionHeat)
        heat = 0;
}

Bytes PrinterModel::answer(const Bytes &frame)
{
    if (frame.size() < 4)
        return {};
    const unsigned char code = frame[1];
    const int p1 = frame[2];
    const int p2 = frame[3];
    const int word = p1 << 8 | p2;
    const Bytes echo = {code, frame[2], frame[3]};
    const Bytes refused = {code, Refused, Refused};

    // A one-byte setting travels in the first parameter with the second left at zero.
    auto setByte = [&](int &setting, int low, int high) {
        if (p2 != 0 || p1 < low || p1 > high)
            return refused;
        setting = p1;
        return echo;
    };

    switch (code) {
    case 0xe2:
        return {m_paperLoaded ? Yes : No, 0x00, 0x00};
    case 0xe1:
        return {m_labelsLeft ? Yes : No, 0x00, 0x00};
    case 0xfd:
        return Bytes(Version, Version + sizeof Version);
    case 0xfb:
        return {0xfb, 0x00, static_cast<unsigned char>(m_paperAtSensor ? 0x01 : 0x00)};
    case 0xf4:
        return settings();
    case 0xf6:
        return setByte(m_backPaper, 0, 1);
    case 0xf2:
        return setByte(m_paperType, 0, 1);
    case 0xfa:
        return setByte(m_heatingLevel, 1, 10);
    case 0xf7:
        return setByte(m_speedLevel, 1, 3);
    case 0xf8:
        return setByte(m_pullBack, 0, 255);
    case 0xf9:
        return setByte(m_extraFeed, 0, 255);
    case 0xf3:
        if (word > 400)
            return refused;
        m_startPosition = word;
        return echo;
    case 0xf5:
        m_sensorThreshold = word;
        return echo;
    case 0xfe:
        if (p1 < 1 || p1 > 3 || p2 > 3)
            return refused;
        m_sectionHeat[p1 - 1] = p2;
        return echo;
    case 0xfc:
        m_paperLoaded = true;
        m_labelsLeft = true;
        return echo;
    case 0xf1:
        resetParameters();
        return echo;
    default:
        return {};
    }
}

Bytes PrinterModel::settings() const
{
    auto byte = [](int value) { return static_cast<unsigned char>(value & 0xff); };
    return {0xf4,
            byte(m_paperType),
            byte(m_startPosition >> 8),
            byte(m_startPosition),
            byte(m_sensorThreshold >> 8),
            byte(m_sensorThreshold),
            byte(m_backPaper),
            byte(m_speedLevel),
            byte(m_pullBack),
            byte(m_extraFeed),
            byte(m_heatingLevel),
            0x00,
            byte(m_sectionHeat[2]),
            byte(m_sectionHeat[1]),
            byte(m_sectionHeat[0])};
}
