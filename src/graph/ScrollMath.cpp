#include "ScrollMath.h"

#include <algorithm>
#include <cmath>

#include "GraphMath.h"

namespace nav {

namespace {
constexpr int kFileBarCap = 3000;
constexpr int kBarMaxLimit = 30000;
} // namespace

int barMaxFor(int64_t T, bool fileMode) {
    const int cap = fileMode ? kFileBarCap : kBarMaxLimit;
    return T <= cap ? static_cast<int>(T) : kBarMaxLimit;
}

int barLargeChangeFor(int barMax) {
    return barMax <= 10 ? 1 : static_cast<int>(std::nearbyint(barMax / 10.0));
}

int barValueFor(int64_t P, int64_t T, int N, int barMax) {
    const int64_t span = T - N;
    const double pos =
        span == 0 ? 0.0 : static_cast<double>(P) / static_cast<double>(span) * barMax;
    if (pos > 0 && pos < 1) return 1;
    if (pos != barMax && pos > barMax - 1) return barMax - 1;
    // A series shorter than one screen gives a negative pos; the thumb then stays at the start.
    return static_cast<int>(std::clamp(std::nearbyint(pos), 0.0, static_cast<double>(barMax)));
}

int64_t positionForBarValue(int value, int barMax, int64_t T, int N) {
    if (barMax == 0) return 0; // an empty bar has only the start
    const float fraction = static_cast<float>(value) / static_cast<float>(barMax);
    const double P = std::nearbyint(static_cast<double>(fraction) * static_cast<double>(T - N));
    return P < 0 ? 0 : static_cast<int64_t>(P);
}

int64_t pageForward(int64_t P, int64_t T, int N) {
    const float half = static_cast<float>(N) / 2.0f;
    const auto next =
        static_cast<int64_t>(std::nearbyint(static_cast<double>(half) + static_cast<double>(P)));
    return std::min(next, T - N);
}

int64_t pageBack(int64_t P, int N) {
    const float half = static_cast<float>(N) / 2.0f;
    const auto next =
        static_cast<int64_t>(std::nearbyint(static_cast<double>(P) - static_cast<double>(half)));
    return std::max<int64_t>(next, 0);
}

float cursorX(int16_t K, int16_t N, float x1, float x2) {
    const auto width = static_cast<int16_t>(std::nearbyint(x2 - x1));
    const auto left = static_cast<int16_t>(std::nearbyint(x1));
    if (K >= N - 1) return static_cast<float>(width + left);
    return xfunMapX(K, static_cast<int16_t>(N - 1), static_cast<float>(width),
                    static_cast<float>(left));
}

std::optional<int16_t> screenIndexAt(float x, float x1, float x2, int16_t N) {
    const float K = std::nearbyint(((x - x1) / (x2 - x1)) * static_cast<float>(N - 1));
    if (K < 0 || K >= N) return std::nullopt;
    return static_cast<int16_t>(K);
}

std::optional<int16_t> valueAt(float y, float y1, float y2, int16_t yMax, int16_t yMin,
                               bool isSigned) {
    const auto span = static_cast<int16_t>(yMax - yMin);
    const float v = std::nearbyint(static_cast<float>(yMax) -
                                   ((y - y1) / (y2 - y1)) * static_cast<float>(span));
    const float lowest = isSigned ? -128.0f : yMin;
    const float highest = isSigned ? 127.0f : yMax;
    if (v < lowest || v > highest) return std::nullopt;
    return static_cast<int16_t>(v);
}

} // namespace nav
