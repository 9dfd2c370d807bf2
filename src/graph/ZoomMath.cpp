#include "graph/ZoomMath.h"

#include <algorithm>
#include <cmath>

namespace {

int64_t clampTop(int64_t top, int64_t span, int64_t length) {
    return std::clamp<int64_t>(top, 0, std::max<int64_t>(length - span, 0));
}

} // namespace

ZoomSpan zoom::zoomed(ZoomSpan v, int notches, double anchor, int64_t length) {
    const int64_t most = std::max(length, kFewest);
    const double scaled = static_cast<double>(v.span) * std::pow(2.0, -notches);
    const auto span = std::clamp<int64_t>(std::llround(scaled), kFewest, most);
    anchor = std::clamp(anchor, 0.0, 1.0);
    const double at = static_cast<double>(v.top) + anchor * static_cast<double>(v.span);
    const auto top = std::llround(at - anchor * static_cast<double>(span));
    return {clampTop(top, span, length), span};
}

ZoomSpan zoom::whole(int64_t length) {
    return {0, std::max(length, kFewest)};
}

std::optional<int64_t> zoom::sampleAt(double fraction, int64_t span) {
    if (fraction < 0 || fraction > 1 || span <= 0) return std::nullopt;
    return std::llround(fraction * static_cast<double>(span - 1));
}

ZoomSpan zoom::panned(ZoomSpan v, int64_t delta, int64_t length) {
    return {clampTop(v.top + delta, v.span, length), v.span};
}
