#include "graph/Trigger.h"

#include <algorithm>
#include <cmath>

#include "graph/GraphMath.h"

namespace {
std::vector<uint8_t> screenFrom(const RingView& ring, int64_t start, int16_t N) {
    std::vector<uint8_t> screen(static_cast<size_t>(N));
    int32_t pos = ring.positionOf(start);
    for (uint8_t& b : screen) {
        b = ring.data[pos];
        pos = pos + 1 == ring.size ? 0 : pos + 1;
    }
    return screen;
}
} // namespace

int16_t xfunTriggerIndex(int16_t positionPct, int16_t N) {
    // The product is exact, so only the division rounds and a half stays a half.
    const double p = static_cast<double>(positionPct) * (N - 1) / 100.0;
    return static_cast<int16_t>(std::nearbyint(p));
}

std::optional<int64_t> xfunNewestTriggerPoint(const RingView& ring, int64_t first, int64_t last,
                                              const TriggerSettings& settings, int16_t iSigned) {
    if (last < first) return std::nullopt;
    const int16_t level = settings.level;
    const bool rising = settings.slope == TriggerSlope::Rising;
    // Backwards from the newest: a periodic input stops the scan within one period.
    int32_t pos = ring.positionOf(last);
    int16_t cur = xfunSignedValue(ring.data[pos], iSigned);
    for (int64_t t = last; t >= first; --t) {
        pos = pos == 0 ? ring.size - 1 : pos - 1;
        const int16_t prev = xfunSignedValue(ring.data[pos], iSigned);
        if (rising ? prev < level && level <= cur : prev > level && level >= cur) return t;
        cur = prev;
    }
    return std::nullopt;
}

std::pair<int16_t, int16_t> xfunLevelRange(int16_t iSigned) {
    if (iSigned == 1) return {-128, 127};
    return {0, 255};
}

int16_t xfunTriggerLevelProposal(const std::vector<uint8_t>& screen, int16_t iSigned) {
    auto [low, high] = xfunLevelRange(iSigned);
    if (!screen.empty()) {
        const auto [lo, hi] =
            std::minmax_element(screen.begin(), screen.end(), [iSigned](uint8_t a, uint8_t b) {
                return xfunSignedValue(a, iSigned) < xfunSignedValue(b, iSigned);
            });
        low = xfunSignedValue(*lo, iSigned);
        high = xfunSignedValue(*hi, iSigned);
    }
    return static_cast<int16_t>(std::nearbyint((low + high) / 2.0));
}

void LiveTrigger::arm(const TriggerSettings& settings, int64_t total, int64_t nowMs) {
    m_settings = settings;
    m_everChosen = true;
    m_show = Show::Nothing;
    m_stopped = false;
    m_next = total;
    m_seen = total;
    m_lastMs = nowMs;
    m_screen.clear();
}

bool LiveTrigger::reframe(const RingView& ring, int16_t N) {
    const int64_t start = m_point - xfunTriggerIndex(m_settings.positionPct, N);
    if (start < ring.oldest()) {
        // Overwritten: a screen of other samples would pretend to be the one caught.
        m_show = Show::Nothing;
        m_screen.clear();
        return true;
    }
    // The rest of a wider screen is still to come; until then the pane shows none.
    const bool had = !m_screen.empty();
    if (start + N > ring.total) {
        m_screen.clear();
        return had;
    }
    m_screen = screenFrom(ring, start, N);
    return true;
}

bool LiveTrigger::update(const RingView& ring, int16_t N, int16_t iSigned, int64_t nowMs) {
    if (!armed()) return false;
    const bool reframed =
        m_show == Show::Held && m_screen.size() != static_cast<size_t>(N) && reframe(ring, N);
    if (m_stopped) return reframed;
    const bool arrived = ring.total != m_seen;
    m_seen = ring.total;

    const int16_t p = xfunTriggerIndex(m_settings.positionPct, N);
    // A trigger point counts once its whole screen (t - p .. t - p + N - 1) and the sample
    // before it can be read.
    const int64_t first = std::max(m_next, ring.oldest() + std::max<int64_t>(p, 1));
    const int64_t last = ring.total - N + p;
    const std::optional<int64_t> t = xfunNewestTriggerPoint(ring, first, last, m_settings, iSigned);
    m_next = std::max(m_next, last + 1);

    if (t) {
        std::vector<uint8_t> screen = screenFrom(ring, *t - p, N);
        m_point = *t;
        m_lastMs = nowMs;
        m_stopped = m_settings.mode == TriggerMode::Single;
        // A steady periodic input triggers the same screen again and again: the picture stands
        // still, and drawing it again would only cost time.
        const bool same = m_show == Show::Held && screen == m_screen;
        m_screen = std::move(screen);
        m_show = Show::Held;
        return reframed || !same;
    }
    if (m_settings.mode == TriggerMode::Auto && nowMs - m_lastMs >= kAutoFallbackMs) {
        const bool wasRunning = m_show == Show::Running;
        m_show = Show::Running;
        return arrived || !wasRunning;
    }
    return reframed;
}
