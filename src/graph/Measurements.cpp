#include "graph/Measurements.h"

#include <algorithm>
#include <cmath>

#include "app/state/Modes.h"
#include "graph/GraphMath.h"

std::vector<int16_t> xfunSpanValues(const std::vector<uint8_t>& shown, int16_t iSigned,
                                    bool bothCursorsOn, int16_t cursor1, int16_t cursor2) {
    const auto n = static_cast<int32_t>(shown.size());
    int32_t first = 0;
    int32_t last = n - 1;
    if (bothCursorsOn) {
        first = std::min(cursor1, cursor2);
        last = std::min<int32_t>(std::max(cursor1, cursor2), n - 1);
    }
    std::vector<int16_t> values;
    for (int32_t k = std::max(first, 0); k <= last; ++k)
        values.push_back(xfunSignedValue(shown[static_cast<size_t>(k)], iSigned));
    return values;
}

namespace {

struct Crossing {
    double at; // fractional sample index
    bool rising;
};

// Crossings of the middle level, alternating in direction: a Schmitt trigger with the band
// mid +- pp / 20 decides when the signal has changed sides, and the crossing of mid itself last
// seen before that decision places it.
std::vector<Crossing> crossings(const std::vector<double>& v, double mid, double pp) {
    const double upper = mid + pp / 20;
    const double lower = mid - pp / 20;
    enum class Side { Unknown, Low, High } side = Side::Unknown;
    double midCrossing = 0;
    std::vector<Crossing> found;
    for (size_t k = 0; k < v.size(); ++k) {
        if (k > 0) {
            const double a = v[k - 1];
            const double b = v[k];
            const bool towardsHigh = side == Side::Low && a < mid && mid <= b;
            const bool towardsLow = side == Side::High && a > mid && mid >= b;
            if (towardsHigh || towardsLow)
                midCrossing = static_cast<double>(k - 1) + (mid - a) / (b - a);
        }
        if (v[k] >= upper && side != Side::High) {
            if (side == Side::Low) found.push_back({midCrossing, true});
            side = Side::High;
        } else if (v[k] <= lower && side != Side::Low) {
            if (side == Side::High) found.push_back({midCrossing, false});
            side = Side::Low;
        }
    }
    return found;
}

} // namespace

Measurements xfunMeasure(const std::vector<int16_t>& values) {
    return xfunMeasure(std::vector<double>(values.begin(), values.end()));
}

Measurements xfunMeasure(const std::vector<double>& values) {
    Measurements m;
    m.count = static_cast<int32_t>(values.size());
    if (values.empty()) return m;
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    m.min = *lo;
    m.max = *hi;
    double sum = 0;
    double squares = 0;
    for (double v : values) {
        sum += v;
        squares += v * v;
    }
    m.mean = sum / m.count;
    m.rms = std::sqrt(squares / m.count);
    m.stdDev = std::sqrt(std::max(0.0, squares / m.count - m.mean * m.mean));

    const double pp = m.max - m.min;
    if (pp == 0) return m;
    const std::vector<Crossing> c = crossings(values, (m.max + m.min) / 2.0, pp);
    // Whole periods run from a crossing to the last one in the same direction; the direction
    // with more crossings holds more of them.
    const auto rising =
        std::count_if(c.begin(), c.end(), [](const Crossing& x) { return x.rising; });
    const auto falling = static_cast<long>(c.size()) - rising;
    const bool byRising = rising >= falling;
    const long periods = (byRising ? rising : falling) - 1;
    if (periods < 1) return m;
    size_t first = 0;
    while (c[first].rising != byRising)
        ++first;
    size_t last = c.size() - 1;
    while (c[last].rising != byRising)
        --last;
    const double span = c[last].at - c[first].at;
    double high = 0;
    for (size_t j = first; j < last; ++j)
        if (c[j].rising) high += c[j + 1].at - c[j].at;
    m.periodSamples = span / static_cast<double>(periods);
    m.dutyPct = 100.0 * high / span;
    return m;
}

double xfunCharacterRate(const QString& baud, const QString& parity, const QString& dataBits,
                         const QString& stopBits) {
    bool ok = false;
    const double bitsPerSecond = baud.trimmed().toDouble(&ok);
    if (!ok || bitsPerSecond <= 0) return 0;
    return bitsPerSecond / xfunLineCharacter(parity, dataBits, stopBits).bits();
}

LineCharacter xfunLineCharacter(const QString& parity, const QString& dataBits,
                                const QString& stopBits) {
    LineCharacter c;
    const int data = dataBits.left(1).toInt();
    if (data >= 5 && data <= 8) c.dataBits = data;
    c.parityBits = parity == QStringLiteral("なし") ? 0 : 1;
    c.oneAndHalfAsked = stopBits.startsWith(QStringLiteral("1.5"));
    c.stopBits = stopBits.left(1) == QStringLiteral("2") ? 2 : 1;
    return c;
}

double xfunSourceRate(int16_t iScanSource, const QString& baud, const QString& parity,
                      const QString& dataBits, const QString& stopBits) {
    switch (iScanSource) {
    case kSourceCom:
        return xfunCharacterRate(baud, parity, dataBits, stopBits);
    case kSourceTest:
        return kTestPatternRate;
    default:
        return 0;
    }
}

double xfunChosenRate(const RateChoice& choice, double sourceRate) {
    switch (choice.source) {
    case RateSource::Line:
        return sourceRate;
    case RateSource::Entered:
        return choice.entered;
    case RateSource::None:
        return 0;
    }
    return 0;
}
