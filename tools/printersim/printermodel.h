#ifndef PRINTERMODEL_H
#define PRINTERMODEL_H

#include "framereader.h"

// The printer's side of every command: its settings and paper state, and the bytes it
// answers with.
class PrinterModel
{
public:
    PrinterModel();

    // The answer to one complete command frame; empty for a code the printer does not know.
    Bytes answer(const Bytes &frame);

private:
    void resetParameters();
    Bytes settings() const;

    int m_paperType = 0;
    int m_startPosition = 0;
    int m_sensorThreshold = 15000;
    int m_backPaper = 0;
    int m_pullBack = 0;
    int m_extraFeed = 0;
    int m_heatingLevel = 2;
    int m_speedLevel = 2;
    int m_sectionHeat[3] = {0, 0, 0}; // right, middle, left
    bool m_paperLoaded = true;
    bool m_labelsLeft = true;
    bool m_paperAtSensor = true;
};

#endif
