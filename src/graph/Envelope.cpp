#include "graph/Envelope.h"

#include <algorithm>

int64_t xfunColumnStart(int64_t c, int64_t n, int columns) {
    // n * c stays far inside 64 bits: n is a file length, c a pixel column.
    return columns <= 0 ? 0 : n * c / columns;
}

ColumnRange xfunRangeOf(std::span<const uint8_t> samples, uint8_t flip) {
    uint8_t lo = 255;
    uint8_t hi = 0;
    for (uint8_t b : samples) {
        const auto v = static_cast<uint8_t>(b ^ flip);
        lo = std::min(lo, v);
        hi = std::max(hi, v);
    }
    return samples.empty() ? ColumnRange{} : ColumnRange{lo, hi};
}

std::vector<ColumnRange> xfunEnvelope(std::span<const uint8_t> samples, int columns, uint8_t flip) {
    std::vector<ColumnRange> out(static_cast<size_t>(std::max(columns, 0)));
    const auto n = static_cast<int64_t>(samples.size());
    for (int c = 0; c < columns; ++c) {
        const int64_t a = xfunColumnStart(c, n, columns);
        const int64_t b = xfunColumnStart(c + 1, n, columns);
        out[static_cast<size_t>(c)] = xfunRangeOf(samples.subspan(a, b - a), flip);
    }
    return out;
}
