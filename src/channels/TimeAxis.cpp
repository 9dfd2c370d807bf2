#include "channels/TimeAxis.h"

#include <QDateTime>
#include <algorithm>
#include <cmath>

#include "channels/AxisRange.h"
#include "channels/ChannelStore.h"

namespace timeaxis {

std::vector<double> secondsFromStamps(std::span<const int64_t> ns) {
    std::vector<double> seconds(ns.size(), NAN);
    const auto first = std::find_if(ns.begin(), ns.end(), [](int64_t t) { return t != kNoTime; });
    if (first == ns.end()) return seconds;
    for (size_t k = 0; k < ns.size(); ++k)
        if (ns[k] != kNoTime) seconds[k] = double(ns[k] - *first) / 1e9;
    return seconds;
}

std::vector<double> secondsFromDeviceMillis(std::span<const double> millis) {
    constexpr double kWrap = 4294967296.0;
    std::vector<double> seconds(millis.size(), NAN);
    std::optional<double> last;
    double count = 0; // milliseconds since the first frame
    for (size_t k = 0; k < millis.size(); ++k) {
        if (!std::isfinite(millis[k])) continue;
        if (last) {
            double step = std::fmod(millis[k] - *last, kWrap);
            if (step < 0) step += kWrap;
            if (step >= kWrap / 2) step -= kWrap;
            count += step;
        }
        last = millis[k];
        seconds[k] = count / 1e3;
    }
    return seconds;
}

std::vector<int> gapsBefore(std::span<const double> seconds) {
    std::vector<double> steps;
    std::vector<std::pair<int, double>> stepAt;
    std::optional<double> last;
    for (size_t k = 0; k < seconds.size(); ++k) {
        if (!std::isfinite(seconds[k])) continue;
        if (last) {
            steps.push_back(seconds[k] - *last);
            stepAt.push_back({int(k), seconds[k] - *last});
        }
        last = seconds[k];
    }
    std::vector<int> gaps;
    if (steps.empty()) return gaps;
    std::nth_element(steps.begin(), steps.begin() + long(steps.size() / 2), steps.end());
    const double median = steps[steps.size() / 2];
    for (const auto& [k, step] : stepAt)
        if (step > kGapFactor * median && step > 1e-3) gaps.push_back(k);
    return gaps;
}

std::vector<Tick> ticks(std::span<const double> seconds, std::optional<int64_t> wallFirstNs,
                        int maxTicks) {
    std::vector<Tick> out;
    const auto known = [](double s) { return std::isfinite(s); };
    const auto first = std::find_if(seconds.begin(), seconds.end(), known);
    if (first == seconds.end()) return out;
    double hi = *first;
    for (double v : seconds)
        if (known(v)) hi = std::max(hi, v);
    // Wall-clock ticks fall on round times of day: counted from the whole second before.
    const double shift = wallFirstNs ? double(*wallFirstNs % 1'000'000'000) / 1e9 : 0;
    if (hi <= *first) return out;
    for (double t : axis::ticks({*first + shift, hi + shift}, maxTicks)) {
        const double s = t - shift;
        // The first frame at or past s, and where between it and the one before s lies.
        std::optional<size_t> before;
        for (size_t k = 0; k < seconds.size(); ++k) {
            if (!known(seconds[k])) continue;
            if (seconds[k] >= s) {
                double at = double(k);
                if (before && seconds[k] > seconds[*before])
                    at = double(*before) + double(k - *before) * (s - seconds[*before]) /
                                               (seconds[k] - seconds[*before]);
                const QString text = wallFirstNs
                                         ? clockText(*wallFirstNs + int64_t(std::llround(s * 1e9)))
                                         : QString::number(s, 'g', 6);
                out.push_back({at, text});
                break;
            }
            before = k;
        }
    }
    return out;
}

double ScreenTimes::at(int k) const {
    return k >= 0 && size_t(k) < seconds.size() ? seconds[size_t(k)] : NAN;
}

ScreenTimes screenTimes(const ChannelStore& store, uint64_t first, int frames,
                        const Choice& choice) {
    ScreenTimes t;
    if (choice.kind == Kind::Frames || frames <= 0) return t;
    const size_t n = size_t(frames);
    if (choice.deviceChannel) {
        if (*choice.deviceChannel >= store.channelCount()) return t;
        std::vector<double> millis(n);
        for (size_t k = 0; k < n; ++k)
            millis[k] = store.raw(*choice.deviceChannel, first + k);
        t.seconds = secondsFromDeviceMillis(millis);
    } else {
        std::vector<int64_t> ns(n);
        for (size_t k = 0; k < n; ++k)
            ns[k] = store.frameNs(first + k);
        t.seconds = secondsFromStamps(ns);
        const auto firstKnown =
            std::find_if(ns.begin(), ns.end(), [](int64_t v) { return v != kNoTime; });
        if (choice.kind == Kind::WallClock && store.clockAnchor() && firstKnown != ns.end())
            t.wallFirstNs = store.clockAnchor()->wallOf(*firstKnown);
    }
    if (std::none_of(t.seconds.begin(), t.seconds.end(), [](double s) { return std::isfinite(s); }))
        t.seconds.clear();
    t.gaps = gapsBefore(t.seconds);
    return t;
}

std::array<QString, 3> cursorTexts(const ScreenTimes& times,
                                   const std::array<std::optional<int>, 2>& at) {
    std::array<QString, 3> texts;
    double t[2] = {NAN, NAN};
    for (int i = 0; i < 2; ++i) {
        if (!at[i] || !std::isfinite(t[i] = times.at(*at[i]))) continue;
        texts[size_t(i)] = times.wallFirstNs
                               ? clockText(*times.wallFirstNs + int64_t(std::llround(t[i] * 1e9)))
                               : spanText(t[i]);
    }
    if (std::isfinite(t[0]) && std::isfinite(t[1])) texts[2] = spanText(t[1] - t[0]);
    return texts;
}

QString clockText(int64_t wallNs) {
    return QDateTime::fromMSecsSinceEpoch(wallNs / 1'000'000)
        .toString(QStringLiteral("HH:mm:ss.zzz"));
}

QString spanText(double seconds) {
    if (std::abs(seconds) < 1)
        return QString::number(seconds * 1e3, 'f', 3) + QStringLiteral(" ms");
    return QString::number(seconds, 'f', 6) + QStringLiteral(" s");
}

} // namespace timeaxis
