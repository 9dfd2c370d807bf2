#pragma once

#include <cstdint>

// The sample ring as the receive cycle fills it. Samples are numbered by arrival, `total` being
// the number of the next one; only the `held` newest (at most the ring's size) can be read.
struct RingView {
    const uint8_t* data = nullptr;
    int32_t size = 0;
    int32_t writePos = 0; // ring position of sample `total`
    int64_t total = 0;
    int64_t held = 0;

    int64_t oldest() const { return total - held; }
    int32_t positionOf(int64_t n) const { // n in oldest() .. total - 1
        const int64_t pos = writePos - (total - n);
        return static_cast<int32_t>(pos < 0 ? pos + size : pos);
    }
};
