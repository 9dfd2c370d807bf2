#include "storage/ReplayPace.h"

#include <algorithm>
#include <cmath>

ReplayPace::ReplayPace(std::vector<tessavue::ReadStamp> reads, uint64_t length, int64_t charNs)
    : m_reads(std::move(reads)), m_length(length), m_charNs(std::max<int64_t>(charNs, 1)) {}

int64_t ReplayPace::recordedNs(uint64_t offset) const {
    if (m_reads.empty()) return int64_t(offset) * m_charNs;
    return tessavue::byteTimeNs(m_reads, offset, m_charNs) -
           tessavue::byteTimeNs(m_reads, 0, m_charNs);
}

uint64_t ReplayPace::offsetAfter(int64_t t) const {
    // Times rise with the offset: the first byte past t, by halving.
    uint64_t lo = 0, hi = m_length;
    while (lo < hi) {
        const uint64_t mid = lo + (hi - lo) / 2;
        if (recordedNs(mid) <= t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

int64_t ReplayPace::reachedNs(int64_t nowNs) const {
    if (m_paused) return m_atNs;
    return m_atNs + int64_t(std::llround(double(nowNs - m_sinceNs) * m_factor));
}

uint64_t ReplayPace::position(int64_t nowNs) const {
    if (!m_paused && m_factor == kFastest) return m_length;
    return offsetAfter(reachedNs(nowNs));
}

void ReplayPace::play(int64_t nowNs) {
    if (!m_paused) return;
    m_paused = false;
    m_sinceNs = nowNs;
}

void ReplayPace::pause(int64_t nowNs) {
    if (m_paused) return;
    m_atNs = m_factor == kFastest ? recordedNs(m_length) : reachedNs(nowNs);
    m_paused = true;
}

void ReplayPace::setFactor(double factor, int64_t nowNs) {
    if (!m_paused) {
        m_atNs = m_factor == kFastest ? recordedNs(m_length) : reachedNs(nowNs);
        m_sinceNs = nowNs;
    }
    m_factor = factor;
}

void ReplayPace::seek(uint64_t offset, int64_t nowNs) {
    m_atNs = offset == 0 ? -1 : recordedNs(std::min(offset, m_length) - 1);
    m_sinceNs = nowNs;
}

void ReplayPace::step(int64_t nowNs) {
    pause(nowNs);
    const uint64_t from = position(nowNs);
    const auto next =
        std::upper_bound(m_reads.begin(), m_reads.end(), from,
                         [](uint64_t at, const tessavue::ReadStamp& s) { return at < s.end; });
    seek(next == m_reads.end() ? from + 1 : next->end, nowNs);
}
