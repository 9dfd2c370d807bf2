#pragma once

#include <cstdint>
#include <span>
#include <vector>

// A screen holding more samples than the pane has pixel columns draws each column as the
// lowest and highest of its samples, so a lone spike among millions of quiet samples still
// shows. A column with no sample in it has lo > hi.
struct ColumnRange {
    uint8_t lo = 255;
    uint8_t hi = 0;
    bool empty() const { return lo > hi; }
    void add(uint8_t v) {
        lo = v < lo ? v : lo;
        hi = v > hi ? v : hi;
    }
    void add(ColumnRange r) {
        lo = r.lo < lo ? r.lo : lo;
        hi = r.hi > hi ? r.hi : hi;
    }
};

// The first sample of column c when n samples are spread over `columns` columns: every column
// gets n / columns samples or one more, and none are left out or counted twice.
int64_t xfunColumnStart(int64_t c, int64_t n, int columns);

// A byte read as signed orders as the byte with its top bit flipped: ranges are kept of the
// bytes XOR `flip`, 0 for the unsigned view and kSignedFlip for the signed one.
constexpr uint8_t kSignedFlip = 0x80;

// The range of every sample (XOR flip) in one go.
ColumnRange xfunRangeOf(std::span<const uint8_t> samples, uint8_t flip);

// The samples spread over `columns` columns (xfunColumnStart), each column's range (XOR flip).
std::vector<ColumnRange> xfunEnvelope(std::span<const uint8_t> samples, int columns, uint8_t flip);
