#include "TimeStamps.h"

#include "LineSettings.h"

#include <algorithm>
#include <chrono>

namespace tessavue {

int64_t steadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

ClockAnchor clockAnchorNow() {
    // The steady clock read on both sides of the wall clock halves the error of the pair.
    const int64_t before = steadyNowNs();
    const int64_t wall = std::chrono::duration_cast<std::chrono::nanoseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    const int64_t after = steadyNowNs();
    return {before + (after - before) / 2, wall};
}

int64_t characterNs(const LineSettings& settings) {
    const int bits =
        1 + settings.dataBits + (settings.parity == Parity::None ? 0 : 1) + settings.stopBits;
    return settings.baud == 0 ? 0 : int64_t{bits} * 1'000'000'000 / settings.baud;
}

int64_t byteTimeNs(std::span<const ReadStamp> stamps, uint64_t offset, int64_t charNs) {
    if (stamps.empty()) return 0;
    const auto read = std::upper_bound(stamps.begin(), stamps.end(), offset,
                                       [](uint64_t at, const ReadStamp& s) { return at < s.end; });
    if (read == stamps.end()) return stamps.back().ns;
    const int64_t placed = read->ns - static_cast<int64_t>(read->end - 1 - offset) * charNs;
    return read == stamps.begin() ? placed : std::max(placed, std::prev(read)->ns);
}

std::vector<ReadStamp> readsWithin(std::span<const ReadStamp> stamps, uint64_t first,
                                   uint64_t count, int64_t charNs) {
    std::vector<ReadStamp> within;
    const auto from = std::upper_bound(stamps.begin(), stamps.end(), first,
                                       [](uint64_t at, const ReadStamp& s) { return at < s.end; });
    for (auto read = from; read != stamps.end(); ++read) {
        if (read->end - first >= count) {
            if (count > 0) within.push_back({count, byteTimeNs(stamps, first + count - 1, charNs)});
            break;
        }
        within.push_back({read->end - first, read->ns});
    }
    return within;
}

} // namespace tessavue
