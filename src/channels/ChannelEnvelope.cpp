#include "channels/ChannelEnvelope.h"

#include <algorithm>

#include "channels/ChannelStore.h"
#include "graph/Envelope.h"

namespace {

// The column frame k of the screen falls in: the last whose start is at or before it.
int columnOf(int64_t k, int64_t frames, int columns) {
    int c = static_cast<int>(k * columns / frames);
    while (c + 1 < columns && xfunColumnStart(c + 1, frames, columns) <= k)
        ++c;
    while (c > 0 && xfunColumnStart(c, frames, columns) > k)
        --c;
    return c;
}

} // namespace

ChannelColumns channelEnvelope(const ChannelStore& store, uint64_t first, int64_t frames,
                               int columns) {
    ChannelColumns out;
    columns = std::max(columns, 0);
    frames = std::max<int64_t>(frames, 0);
    out.skipped.assign(static_cast<std::size_t>(columns), false);
    out.channels.resize(static_cast<std::size_t>(store.channelCount()));
    if (columns == 0 || frames == 0) return out;
    for (uint64_t f : store.skipsIn(first + 1, first + uint64_t(frames)))
        out.skipped[static_cast<std::size_t>(columnOf(int64_t(f - first), frames, columns))] = true;
    for (int i = 0; i < store.channelCount(); ++i) {
        const ChannelInfo& info = store.channel(i);
        if (!info.visible) continue;
        std::vector<ValueRange>& ranges = out.channels[static_cast<std::size_t>(i)];
        ranges.resize(static_cast<std::size_t>(columns));
        for (int c = 0; c < columns; ++c) {
            const auto [lo, hi] =
                store.valueRange(i, first + uint64_t(xfunColumnStart(c, frames, columns)),
                                 first + uint64_t(xfunColumnStart(c + 1, frames, columns)));
            if (lo <= hi) ranges[static_cast<std::size_t>(c)] = {lo, hi};
        }
    }
    return out;
}
