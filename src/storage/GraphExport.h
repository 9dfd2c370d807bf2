#pragma once

#include <QByteArray>
#include <cstdint>
#include <vector>

namespace appSub {

// Samples as CSV in UTF-8: the header "Sample,Value,Hex", then one line each with the sample
// number (origin + index), the value as the view reads it (iSigned) and the raw byte in hex
// as the cursor readouts show it ("80h"). Lines end in LF.
QByteArray xfunCsvText(const std::vector<uint8_t>& samples, int64_t origin, int16_t iSigned);

} // namespace appSub
