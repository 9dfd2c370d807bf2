#pragma once

#include <cstdint>
#include <optional>

// A zoomed view of a series: `span` samples from `top`. Zooming and panning are arithmetic on
// the two, apart from any widget.
struct ZoomSpan {
    int64_t top = 0;
    int64_t span = 0;
    bool operator==(const ZoomSpan&) const = default;
};

namespace zoom {

// The fewest samples a screen shows.
constexpr int64_t kFewest = 10;

// `notches` of the wheel zoom in (positive: half the samples each) or out (negative: twice),
// from 10 samples up to the whole series; the sample at `anchor` (0 = left edge, 1 = right edge)
// stays where it is on the screen.
ZoomSpan zoomed(ZoomSpan v, int notches, double anchor, int64_t length);

// The whole series on one screen.
ZoomSpan whole(int64_t length);

// The sample of a screen of `span` samples under a point `fraction` of the way across the
// trace (its first sample at 0, its last at 1), or nothing off the trace.
std::optional<int64_t> sampleAt(double fraction, int64_t span);

// Moved by `delta` samples, never before the start or past the end of the series.
ZoomSpan panned(ZoomSpan v, int64_t delta, int64_t length);

} // namespace zoom
