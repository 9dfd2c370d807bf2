#pragma once

#include <vector>

#include "channels/AxisRange.h"

// The channel pane's lanes, kept apart from any widget: with lanes on, each visible channel has
// a band of the plot to itself, stacked from the top in channel order, with its own axis and
// range; with lanes off, every channel shares the whole plot and one range.
namespace lanes {

// Room left between two lanes, so the bottom tick label of one never touches the top one of the
// next.
inline constexpr double kGapPx = 12;

// A band of the plot in pixels, top above bottom.
struct Band {
    double top = 0;
    double bottom = 0;
    double height() const { return bottom - top; }
    bool operator==(const Band&) const = default;
};

// The bands of `count` lanes over the plot from top to bottom (none for no lane).
std::vector<Band> bands(int count, double top, double bottom);
// Which lane each channel takes: its place among the visible ones, -1 for a hidden channel.
std::vector<int> laneOf(const std::vector<bool>& visible);
// Where v lies in band on the range r; the whole plot's mapping when band is the plot.
double yAt(const Band& band, const axis::Range& r, double v);
// The round ticks a band has room for: about one per 30 pixels, from 3 (its ends and middle)
// up to the plot's 6.
int tickRoom(const Band& band);
// The channel the Y cursors and the trigger's level line stand on: the chosen one while it is
// shown, else the first shown (-1: none is).
int cursorChannel(const std::vector<bool>& visible, int chosen);

// The automatic ranges of a screen's lanes, each following its own channel as the shared range
// follows them all; a typed range stands for every lane.
class Ranges {
public:
    // Channel c now shows values from lo to hi (NaN for none).
    void show(int channel, double lo, double hi);
    axis::Range range(int channel) const;
    void clear() { m_auto.clear(); }

private:
    std::vector<axis::AutoRange> m_auto;
};

} // namespace lanes
