#include "channels/Lanes.h"

#include <algorithm>
#include <cmath>

namespace lanes {

std::vector<Band> bands(int count, double top, double bottom) {
    std::vector<Band> out;
    if (count <= 0) return out;
    const double step = (bottom - top + kGapPx) / count;
    for (int i = 0; i < count; ++i)
        out.push_back({top + step * i, i + 1 == count ? bottom : top + step * (i + 1) - kGapPx});
    return out;
}

std::vector<int> laneOf(const std::vector<bool>& visible) {
    std::vector<int> out;
    int next = 0;
    for (bool shown : visible)
        out.push_back(shown ? next++ : -1);
    return out;
}

double yAt(const Band& band, const axis::Range& r, double v) {
    return band.bottom - (band.bottom - band.top) * (v - r.lo) / (r.hi - r.lo);
}

int tickRoom(const Band& band) {
    return std::clamp(int(band.height() / 30), 3, 6);
}

int cursorChannel(const std::vector<bool>& visible, int chosen) {
    if (chosen >= 0 && chosen < int(visible.size()) && visible[size_t(chosen)]) return chosen;
    const auto first = std::find(visible.begin(), visible.end(), true);
    return first == visible.end() ? -1 : int(first - visible.begin());
}

void Ranges::show(int channel, double lo, double hi) {
    if (channel < 0) return;
    if (size_t(channel) >= m_auto.size()) m_auto.resize(size_t(channel) + 1);
    m_auto[size_t(channel)].show(lo, hi);
}

axis::Range Ranges::range(int channel) const {
    if (channel < 0 || size_t(channel) >= m_auto.size() || m_auto[size_t(channel)].empty())
        return {-1, 1};
    return m_auto[size_t(channel)].range();
}

} // namespace lanes
