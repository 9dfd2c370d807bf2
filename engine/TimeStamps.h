#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tessavue {

struct LineSettings;

// When a read returned, on the steady clock. Bytes are stamped a read at a time: within a read
// they are placed back from its stamp at the line's character time, since the line brought them
// no faster than that and nothing finer is known.
struct ReadStamp {
    uint64_t end = 0; // offset just past the read's last byte, in the stream it is part of
    int64_t ns = 0;   // steady clock, nanoseconds
    bool operator==(const ReadStamp&) const = default;
};

// The wall clock read beside the steady clock, once, to give steady times a date.
struct ClockAnchor {
    int64_t steadyNs = 0;
    int64_t wallNs = 0; // since 1970, UTC
    int64_t wallOf(int64_t steady) const { return wallNs + (steady - steadyNs); }
    bool operator==(const ClockAnchor&) const = default;
};

int64_t steadyNowNs();
ClockAnchor clockAnchorNow();

// One character on the line: start bit, data bits, parity bit, stop bits.
int64_t characterNs(const LineSettings& settings);

// The time of the byte at offset in a stream whose reads are stamped (ends ascending): placed
// back from the stamp of its read at charNs a byte, never before the read ahead of it. A byte
// past the last stamp takes the last stamp's time; no stamps give 0.
int64_t byteTimeNs(std::span<const ReadStamp> stamps, uint64_t offset, int64_t charNs);

// The stamps of the bytes from first, count of them, with ends counted from first: a read that
// goes on past them ends at count, at the time of its byte there.
std::vector<ReadStamp> readsWithin(std::span<const ReadStamp> stamps, uint64_t first,
                                   uint64_t count, int64_t charNs);

} // namespace tessavue
