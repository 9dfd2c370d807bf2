#include "channels/ChannelTrigger.h"

#include <algorithm>
#include <cmath>

double xfunChannelLevelProposal(const ChannelStore& store, int channel, uint64_t first,
                                int frames) {
    double lo = INFINITY;
    double hi = -INFINITY;
    for (int k = 0; k < frames; ++k) {
        const double v = store.value(channel, first + uint64_t(k));
        if (std::isnan(v)) continue;
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return lo <= hi ? (lo + hi) / 2 : 0;
}

void ChannelTrigger::arm(const ChannelTriggerSettings& settings, const ChannelStore& live,
                         int64_t nowMs) {
    m_settings = settings;
    m_everChosen = true;
    m_show = Show::Nothing;
    m_stopped = false;
    m_next = live.frameCount();
    m_seen = live.frameCount();
    m_lastMs = nowMs;
    m_held.copyFrames(live, 0, 0);
}

void ChannelTrigger::hold(const ChannelStore& live, uint64_t first, int frames) {
    m_heldFirst = first;
    m_held.copyFrames(live, first, static_cast<std::size_t>(frames));
}

bool ChannelTrigger::reframe(const ChannelStore& live, int frames) {
    const int64_t start = int64_t(m_point) - xfunTriggerIndex(m_settings.positionPct, frames);
    const bool had = m_held.frameCount() > 0;
    if (start < int64_t(live.firstFrame())) {
        // Overwritten: other frames would pretend to be the ones caught.
        m_show = Show::Nothing;
        m_held.copyFrames(live, 0, 0);
        return true;
    }
    // The rest of a wider screen is still to come; until then the pane shows none.
    if (uint64_t(start) + uint64_t(frames) > live.frameCount()) {
        m_held.copyFrames(live, 0, 0);
        return had;
    }
    hold(live, uint64_t(start), frames);
    return true;
}

bool ChannelTrigger::update(const ChannelStore& live, int frames, int64_t nowMs) {
    if (!armed()) return false;
    if (live.frameCount() < m_seen) m_next = 0; // the history was started again
    const bool reframed = m_show == Show::Held &&
                          m_held.frameCount() != static_cast<uint64_t>(frames) &&
                          reframe(live, frames);
    if (m_stopped) return reframed;
    const bool arrived = live.frameCount() != m_seen;
    m_seen = live.frameCount();

    const int p = xfunTriggerIndex(m_settings.positionPct, static_cast<int16_t>(frames));
    // A trigger point counts once its whole screen and the frame before it are held.
    const int64_t first =
        std::max<int64_t>(int64_t(m_next), int64_t(live.firstFrame()) + std::max(p, 1));
    const int64_t last = int64_t(live.frameCount()) - frames + p;
    m_next = uint64_t(std::max<int64_t>(int64_t(m_next), last + 1));
    const bool rising = m_settings.slope == TriggerSlope::Rising;
    const double level = m_settings.level;
    // Backwards from the newest: a periodic input stops the scan within one period. A gap (NaN)
    // compares false and makes no trigger point.
    std::optional<uint64_t> found;
    for (int64_t t = last; t >= first && !found; --t) {
        const double prev = live.value(m_settings.channel, uint64_t(t - 1));
        const double cur = live.value(m_settings.channel, uint64_t(t));
        if (rising ? prev < level && level <= cur : prev > level && level >= cur)
            found = uint64_t(t);
    }
    if (found) {
        m_point = *found;
        m_lastMs = nowMs;
        m_stopped = m_settings.mode == TriggerMode::Single;
        m_show = Show::Held;
        hold(live, *found - uint64_t(p), frames);
        return true;
    }
    if (m_settings.mode == TriggerMode::Auto && nowMs - m_lastMs >= LiveTrigger::kAutoFallbackMs) {
        const bool wasRunning = m_show == Show::Running;
        m_show = Show::Running;
        return arrived || !wasRunning;
    }
    return reframed;
}
