#include "app/state/ReceivedTimes.h"

#include <algorithm>

TimedBytes TimedBytes::slice(uint64_t first, uint64_t count) const {
    return {anchor, charNs, tessavue::readsWithin(reads, first, count, charNs)};
}

void ReceivedTimes::setLine(std::optional<tessavue::ClockAnchor> anchor, int64_t charNs) {
    if (anchor) anchor_ = anchor;
    charNs_ = charNs;
}

void ReceivedTimes::add(std::span<const tessavue::ReadStamp> reads, uint64_t count) {
    for (const tessavue::ReadStamp& read : reads)
        if (reads_.empty() || total_ + read.end > reads_.back().end)
            reads_.push_back({total_ + read.end, read.ns});
    total_ += count;
    while (!reads_.empty() &&
           (reads_.size() > kReadsKept || reads_.front().end + kBytesKept <= total_))
        reads_.pop_front();
}

TimedBytes ReceivedTimes::newest(uint64_t n) const {
    n = std::min(n, total_);
    const std::vector<tessavue::ReadStamp> held(reads_.begin(), reads_.end());
    return {anchor_, charNs_, tessavue::readsWithin(held, total_ - n, n, charNs_)};
}
