#include "storage/GraphExport.h"

#include <QDateTime>

#include "graph/GraphMath.h"
#include "storage/TimeTrack.h"

namespace appSub {

QByteArray xfunCsvText(const std::vector<uint8_t>& samples, int64_t origin, int16_t iSigned,
                       const TimeTrack* times) {
    QByteArray csv(times ? "Sample,Value,Hex,Seconds,Time\n" : "Sample,Value,Hex\n");
    for (size_t i = 0; i < samples.size(); ++i) {
        const int16_t v = xfunSignedValue(samples[i], iSigned);
        const int64_t sample = origin + static_cast<int64_t>(i);
        csv += QByteArray::number(sample) + ',' + QByteArray::number(v) + ',' +
               xfunHexText(v).toLatin1();
        if (times)
            csv +=
                xfunCsvTimeCells(times->header.anchor,
                                 tessavue::byteTimeNs(times->reads, static_cast<uint64_t>(sample),
                                                      times->header.charNs));
        csv += '\n';
    }
    return csv;
}

QByteArray xfunCsvTimeCells(const tessavue::ClockAnchor& anchor, int64_t steadyNs) {
    return ',' + QByteArray::number(double(steadyNs - anchor.steadyNs) / 1e9, 'f', 6) + ',' +
           QDateTime::fromMSecsSinceEpoch(anchor.wallOf(steadyNs) / 1'000'000, Qt::UTC)
               .toString(Qt::ISODateWithMs)
               .toLatin1();
}

} // namespace appSub
