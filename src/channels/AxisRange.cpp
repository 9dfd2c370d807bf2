#include "channels/AxisRange.h"

#include <algorithm>
#include <cmath>

namespace axis {

namespace {

// A round step: m (1, 2 or 5) times ten to the e.
struct Step {
    double m;
    int e;
    double value() const { return e >= 0 ? m * std::pow(10.0, e) : m / std::pow(10.0, -e); }
    // k steps, worked out so that 3 steps of 0.1 give 0.3 exactly as the literal does.
    double times(double k) const {
        return e >= 0 ? k * m * std::pow(10.0, e) : k * m / std::pow(10.0, -e);
    }
};

Step roundStep(double span, int maxTicks) {
    const double rough = span / std::max(maxTicks - 1, 1);
    int e = static_cast<int>(std::floor(std::log10(rough)));
    for (double m : {1.0, 2.0, 5.0})
        if (Step{m, e}.value() >= rough) return {m, e};
    return {1, e + 1};
}

} // namespace

std::vector<double> ticks(const Range& r, int maxTicks) {
    std::vector<double> out;
    const double span = r.hi - r.lo;
    if (!(span > 0) || !std::isfinite(span)) return out;
    const Step step = roundStep(span, maxTicks);
    const double size = step.value();
    for (double k = std::ceil(r.lo / size - 1e-9); step.times(k) <= r.hi + size * 1e-9; ++k)
        out.push_back(k == 0 ? 0.0 : step.times(k));
    return out;
}

Range roundRange(double lo, double hi) {
    if (hi < lo) std::swap(lo, hi);
    if (hi - lo <= std::max(std::abs(lo), std::abs(hi)) * 1e-12) {
        const double pad = lo == 0 ? 1 : std::abs(lo) * 0.1;
        lo -= pad;
        hi += pad;
    }
    const Step step = roundStep(hi - lo, 5);
    return {step.times(std::floor(lo / step.value())), step.times(std::ceil(hi / step.value()))};
}

void AutoRange::show(double lo, double hi) {
    if (!std::isfinite(lo) || !std::isfinite(hi)) return;
    if (!m_any) {
        m_range = roundRange(lo, hi);
        m_any = true;
        m_small = 0;
        return;
    }
    if (lo < m_range.lo || hi > m_range.hi) {
        m_range = roundRange(std::min(lo, m_range.lo), std::max(hi, m_range.hi));
        m_small = 0;
        return;
    }
    const bool small = (hi - lo) * 3 < m_range.hi - m_range.lo;
    m_small = small ? m_small + 1 : 0;
    if (m_small < kShrinkAfter) return;
    m_range = roundRange(lo, hi);
    m_small = 0;
}

} // namespace axis
