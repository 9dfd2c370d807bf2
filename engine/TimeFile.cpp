#include "TimeFile.h"

#include <algorithm>
#include <cstring>

namespace tessavue {

namespace {

void putLe(std::vector<uint8_t>& out, uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

uint64_t getLe(const uint8_t* at, int bytes) {
    uint64_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value |= uint64_t{at[i]} << (8 * i);
    return value;
}

void putVarint(std::vector<uint8_t>& out, uint64_t value) {
    while (value >= 0x80) {
        out.push_back(static_cast<uint8_t>(value | 0x80));
        value >>= 7;
    }
    out.push_back(static_cast<uint8_t>(value));
}

bool getVarint(const uint8_t*& at, const uint8_t* end, uint64_t& value) {
    value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
        if (at == end) return false;
        const uint8_t byte = *at++;
        value |= uint64_t{byte & 0x7fu} << shift;
        if ((byte & 0x80) == 0) return shift < 63 || byte <= 1;
    }
    return false;
}

} // namespace

void appendTimeFileHeader(std::vector<uint8_t>& out, const TimeFileHeader& header) {
    out.insert(out.end(), std::begin(kTimeFileMagic), std::end(kTimeFileMagic));
    putLe(out, static_cast<uint64_t>(header.anchor.steadyNs), 8);
    putLe(out, static_cast<uint64_t>(header.anchor.wallNs), 8);
    putLe(out, static_cast<uint64_t>(header.charNs), 8);
    putLe(out, header.base, 8);
    putLe(out, header.checkLength, 4);
    putLe(out, header.checkHash, 8);
    putLe(out, 0, 4);
}

std::optional<TimeFileHeader> parseTimeFileHeader(const uint8_t* data, size_t size) {
    if (size < kTimeFileHeaderBytes || std::memcmp(data, kTimeFileMagic, 8) != 0) return {};
    TimeFileHeader header;
    header.anchor.steadyNs = static_cast<int64_t>(getLe(data + 8, 8));
    header.anchor.wallNs = static_cast<int64_t>(getLe(data + 16, 8));
    header.charNs = static_cast<int64_t>(getLe(data + 24, 8));
    header.base = getLe(data + 32, 8);
    header.checkLength = static_cast<uint32_t>(getLe(data + 40, 4));
    header.checkHash = getLe(data + 44, 8);
    if (header.charNs < 0 || header.checkLength > kTimeFileCheckBytes || getLe(data + 52, 4) != 0)
        return {};
    return header;
}

uint64_t timeCheckHash(const uint8_t* data, size_t size) {
    uint64_t hash = 14695981039346656037ull; // FNV-1a
    for (size_t i = 0; i < size; ++i)
        hash = (hash ^ data[i]) * 1099511628211ull;
    return hash;
}

void TimeRecordEncoder::add(ReadStamp read, std::vector<uint8_t>& out) {
    // Bytes placed back at the character rate may reach before the read ahead; they came after.
    read.ns = std::max(read.ns, held_ ? held_->ns : last_.ns);
    if (held_ && read.ns - last_.ns >= kTimeRecordNs) write(*held_, out);
    held_ = read;
}

void TimeRecordEncoder::flush(std::vector<uint8_t>& out) {
    if (held_) write(*held_, out);
    held_.reset();
}

void TimeRecordEncoder::write(ReadStamp read, std::vector<uint8_t>& out) {
    if (read.end <= last_.end) return;
    putVarint(out, read.end - last_.end);
    const int64_t step = read.ns - last_.ns;
    putVarint(out, (static_cast<uint64_t>(step) << 1) ^ static_cast<uint64_t>(step >> 63));
    last_ = read;
}

bool decodeTimeRecord(const uint8_t*& at, const uint8_t* end, ReadStamp& last) {
    uint64_t bytes = 0, zigzag = 0;
    if (!getVarint(at, end, bytes) || !getVarint(at, end, zigzag)) return false;
    const int64_t step = static_cast<int64_t>(zigzag >> 1) ^ -static_cast<int64_t>(zigzag & 1);
    last = {last.end + bytes, last.ns + step};
    return true;
}

} // namespace tessavue
