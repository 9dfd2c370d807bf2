#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

class ChannelStore;

// The lowest and highest value of a channel among the frames of one pixel column; a column of
// nothing but gaps has none (lo > hi).
struct ValueRange {
    double lo = INFINITY;
    double hi = -INFINITY;
    bool empty() const { return !(lo <= hi); }
};

// A screen of more frames than the pane has pixel columns, split into columns as the byte
// pane's are (xfunColumnStart): each visible channel's range in units per column (a hidden
// channel's list is empty), so that a spike of one frame among millions still shows, and the
// columns holding a frame, not the screen's first, that followed skipped bytes.
struct ChannelColumns {
    std::vector<std::vector<ValueRange>> channels;
    std::vector<bool> skipped;
};

ChannelColumns channelEnvelope(const ChannelStore& store, uint64_t first, int64_t frames,
                               int columns);
