#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

#include "TimeStamps.h"

struct TimeTrack;

namespace appSub {

// Samples as CSV in UTF-8: the header "Sample,Value,Hex", then one line each with the sample
// number (origin + index), the value as the view reads it (iSigned) and the raw byte in hex
// as the cursor readouts show it ("80h"). Lines end in LF. With the times of the samples' file
// (sample numbers are its offsets), two columns follow: "Seconds" since the recording began and
// "Time", the wall clock in ISO 8601 UTC with milliseconds.
QByteArray xfunCsvText(const std::vector<uint8_t>& samples, int64_t origin, int16_t iSigned,
                       const TimeTrack* times = nullptr);
// The two time cells of a CSV line, each after a comma: seconds since the anchor's steady time
// and the wall clock in ISO 8601 UTC with milliseconds.
QByteArray xfunCsvTimeCells(const tessavue::ClockAnchor& anchor, int64_t steadyNs);

} // namespace appSub
