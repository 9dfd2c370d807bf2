#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <vector>

#include "SerialEngine.h"
#include "TimeStamps.h"

// Bytes with the times they came: the reads' stamps, ends from the first byte, the line's
// character time, and the wall clock beside the steady one (nullopt: no times known).
struct TimedBytes {
    std::optional<tessavue::ClockAnchor> anchor;
    int64_t charNs = 0;
    std::vector<tessavue::ReadStamp> reads;
    bool known() const { return anchor.has_value() && !reads.empty(); }
    // The times of the bytes from first, count of them.
    TimedBytes slice(uint64_t first, uint64_t count) const;
};

// When the newest received bytes came, as many as the engine's recent copy holds, counted by
// bytes ever received.
class ReceivedTimes {
public:
    static constexpr uint64_t kBytesKept = tessavue::SerialEngine::kRecentCopyBytes;
    static constexpr size_t kReadsKept = 1 << 18;

    // The line the next fetches come from.
    void setLine(std::optional<tessavue::ClockAnchor> anchor, int64_t charNs);
    // A fetch of count bytes and the stamps of its reads (SerialEngine::RcvStamps).
    void add(std::span<const tessavue::ReadStamp> reads, uint64_t count);
    // The newest n bytes, ends from the first of them.
    TimedBytes newest(uint64_t n) const;

private:
    std::deque<tessavue::ReadStamp> reads_; // ends counted in bytes ever received
    uint64_t total_ = 0;
    std::optional<tessavue::ClockAnchor> anchor_;
    int64_t charNs_ = 0;
};
