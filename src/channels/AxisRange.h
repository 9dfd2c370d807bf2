#pragma once

#include <optional>
#include <vector>

// The Y range of the channel pane and its ticks, kept apart from any widget.
namespace axis {

struct Range {
    double lo = 0;
    double hi = 1;
    bool operator==(const Range&) const = default;
};

// Round tick values (1, 2 or 5 times a power of ten apart) inside r, at most about maxTicks.
std::vector<double> ticks(const Range& r, int maxTicks = 6);
// The smallest range on round ticks that holds [lo, hi]; a single value gets room around it.
Range roundRange(double lo, double hi);

// An automatic range that follows what the screen shows: it grows at once to hold a value
// that falls outside, and shrinks only after the values have used less than a third of it for
// kShrinkAfter screens in a row, then in one step to the round range they need. So a trace
// that moves within its range never makes the axis move.
class AutoRange {
public:
    static constexpr int kShrinkAfter = 45;

    // The screen now holds values from lo to hi (NaN for a screen of gaps only).
    void show(double lo, double hi);
    Range range() const { return m_range; }
    bool empty() const { return !m_any; }

private:
    Range m_range;
    bool m_any = false;
    int m_small = 0; // screens in a row that used under a third of the range
};

} // namespace axis
