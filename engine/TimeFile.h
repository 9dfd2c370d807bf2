#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "TimeStamps.h"

namespace tessavue {

// The time side file of a log, "<log>.time": a header, then a record for each read, or for the
// last read of each millisecond when reads come faster, saying the log offset the read ended at
// and when. Little-endian; records are deltas from the one before (the first from the header's
// base and anchor), the offset as an unsigned LEB128 (never 0), the time as a zigzag one.
//
// header: magic "TVTIME01" | anchor steady ns i64 | anchor wall ns i64 | character ns i64 |
//         base u64 (log offset the times begin at) | check length u32 | check hash u64 (of the
//         log's bytes from base, that many) | 4 bytes zero
inline constexpr char kTimeFileMagic[8] = {'T', 'V', 'T', 'I', 'M', 'E', '0', '1'};
inline constexpr size_t kTimeFileHeaderBytes = 56;
inline constexpr uint32_t kTimeFileCheckBytes = 64;
inline constexpr int64_t kTimeRecordNs = 1'000'000;

struct TimeFileHeader {
    ClockAnchor anchor;
    int64_t charNs = 0;
    uint64_t base = 0;
    uint32_t checkLength = 0;
    uint64_t checkHash = 0;
    bool operator==(const TimeFileHeader&) const = default;
};

void appendTimeFileHeader(std::vector<uint8_t>& out, const TimeFileHeader& header);
std::optional<TimeFileHeader> parseTimeFileHeader(const uint8_t* data, size_t size);
uint64_t timeCheckHash(const uint8_t* data, size_t size);

// Turns read stamps (log offsets, ascending) into records, keeping one a millisecond: a read
// is held until the next shows whether it is the last of its millisecond.
class TimeRecordEncoder {
public:
    TimeRecordEncoder(uint64_t base, int64_t anchorNs) : last_{base, anchorNs} {}
    void add(ReadStamp read, std::vector<uint8_t>& out);
    // Writes the read held back, at the log's end.
    void flush(std::vector<uint8_t>& out);

private:
    void write(ReadStamp read, std::vector<uint8_t>& out);

    ReadStamp last_; // the last written
    std::optional<ReadStamp> held_;
};

// Reads the record after at, adding it to last; false at a record cut short or malformed.
bool decodeTimeRecord(const uint8_t*& at, const uint8_t* end, ReadStamp& last);

} // namespace tessavue
