#pragma once

#include <QString>
#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

#include "channels/AxisRange.h"
#include "lens/Lens.h"

class ChannelStore;

// What the measurement and spectrum windows look at on a decoded channel, apart from any widget.

// Channel `channel` of the screen of `frames` frames from `first`, in its units: the frames
// between the two X cursors, both ends included, when both are on (as the byte view takes its
// span), else the whole screen. Gaps are left out; frames not yet received end the span.
std::vector<double> xfunChannelSpan(const ChannelStore& store, int channel, uint64_t first,
                                    int frames, bool bothCursorsOn, int cursor1, int cursor2);

// The amplitude of the sine that reads 0 dB on a channel: half the range of an integer field's
// type, in units (times the gain); for floats and text, half the Y range shown.
struct FullScale {
    double amplitude = 0;
    bool ofType = false; // from the type's range, not the Y range
};
FullScale xfunChannelFullScale(const lens::Format& format, int channel, double gain,
                               axis::Range yRange);

// Frames a second of a binary lens on a line sending without pause: the character rate over the
// bytes of a frame. 0 for a text lens, whose lines have no fixed length.
double xfunFixedFrameRate(const lens::Format& format, double characterRate);

// Frames a second as they came: the frame count noted with the time as frames arrive, over the
// last kSpanMs. None (0) before a second has been seen, or when nothing came for kSpanMs.
class FrameRateMeter {
public:
    static constexpr int64_t kSpanMs = 5000;
    static constexpr int64_t kLeastMs = 1000;

    void note(uint64_t frames, int64_t ms);
    double rate(int64_t nowMs) const;

private:
    std::deque<std::pair<int64_t, uint64_t>> m_points; // (ms, frames), oldest first
};

// A Y cursor's value in units: its bar, whose top is the highest value, at `position` of
// 0 .. `last`, read on the pane's Y range.
double xfunYCursorValue(int position, int last, axis::Range yRange);

// The time `frames` frames take at `rate` frames a second: "8.333 ms", "1.25 s"; "-----" when
// the rate is not known.
QString xfunDeltaTimeText(int frames, double rate);
