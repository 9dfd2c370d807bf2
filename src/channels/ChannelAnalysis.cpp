#include "channels/ChannelAnalysis.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "channels/ChannelStore.h"

std::vector<double> xfunChannelSpan(const ChannelStore& store, int channel, uint64_t first,
                                    int frames, bool bothCursorsOn, int cursor1, int cursor2) {
    int from = 0;
    int to = frames - 1;
    if (bothCursorsOn) {
        from = std::max(std::min(cursor1, cursor2), 0);
        to = std::min(std::max(cursor1, cursor2), frames - 1);
    }
    std::vector<double> values;
    if (channel < 0 || channel >= store.channelCount()) return values;
    for (int k = from; k <= to && first + uint64_t(k) < store.frameCount(); ++k) {
        const double v = store.value(channel, first + uint64_t(k));
        if (!std::isnan(v)) values.push_back(v);
    }
    return values;
}

namespace {

template <typename T> constexpr double halfRange() {
    return (double(std::numeric_limits<T>::max()) - double(std::numeric_limits<T>::min())) / 2;
}

// Half the values the type can hold, 0 for floats.
double halfTypeRange(lens::FieldType type) {
    switch (type) {
    case lens::FieldType::U8:
    case lens::FieldType::I8:
        return halfRange<uint8_t>();
    case lens::FieldType::U16:
    case lens::FieldType::I16:
        return halfRange<uint16_t>();
    case lens::FieldType::U32:
    case lens::FieldType::I32:
        return halfRange<uint32_t>();
    case lens::FieldType::F32:
    case lens::FieldType::F64:
        return 0;
    }
    return 0;
}

} // namespace

FullScale xfunChannelFullScale(const lens::Format& format, int channel, double gain,
                               axis::Range yRange) {
    const bool field = format.kind == lens::Format::Kind::Binary && channel >= 0 &&
                       channel < static_cast<int>(format.fields.size());
    const double half = field ? halfTypeRange(format.fields[size_t(channel)].type) : 0;
    if (half > 0 && gain != 0) return {half * std::abs(gain), true};
    return {(yRange.hi - yRange.lo) / 2, false};
}

double xfunFixedFrameRate(const lens::Format& format, double characterRate) {
    const std::size_t bytes = format.frameBytes();
    return bytes > 0 ? characterRate / static_cast<double>(bytes) : 0;
}

void FrameRateMeter::note(uint64_t frames, int64_t ms) {
    if (!m_points.empty() && (frames < m_points.back().second || ms < m_points.back().first))
        m_points.clear(); // a reset of the count or of the clock
    m_points.emplace_back(ms, frames);
    // The oldest point kept lies at or just before kSpanMs ago, so the span is the whole window.
    while (m_points.size() > 2 && ms - m_points[1].first >= kSpanMs)
        m_points.pop_front();
}

double FrameRateMeter::rate(int64_t nowMs) const {
    if (m_points.size() < 2 || nowMs - m_points.back().first >= kSpanMs) return 0;
    const auto& [firstMs, firstFrames] = m_points.front();
    const auto& [lastMs, lastFrames] = m_points.back();
    if (lastMs - firstMs < kLeastMs) return 0;
    return static_cast<double>(lastFrames - firstFrames) * 1000.0 /
           static_cast<double>(lastMs - firstMs);
}

double xfunYCursorValue(int position, int last, axis::Range yRange) {
    return yRange.hi - (yRange.hi - yRange.lo) * position / std::max(last, 1);
}

QString xfunDeltaTimeText(int frames, double rate) {
    if (rate <= 0) return QStringLiteral("-----");
    const double seconds = frames / rate;
    if (std::abs(seconds) < 1)
        return QString::number(seconds * 1000, 'g', 4) + QStringLiteral(" ms");
    return QString::number(seconds, 'g', 4) + QStringLiteral(" s");
}
