#include "storage/GraphExport.h"

#include "graph/GraphMath.h"

namespace appSub {

QByteArray xfunCsvText(const std::vector<uint8_t>& samples, int64_t origin, int16_t iSigned) {
    QByteArray csv("Sample,Value,Hex\n");
    for (size_t i = 0; i < samples.size(); ++i) {
        const int16_t v = xfunSignedValue(samples[i], iSigned);
        csv += QByteArray::number(origin + static_cast<int64_t>(i)) + ',' + QByteArray::number(v) +
               ',' + xfunHexText(v).toLatin1() + '\n';
    }
    return csv;
}

} // namespace appSub
