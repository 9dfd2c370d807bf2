#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "TimeStamps.h"

// The pace of a replay: how far into a recording play has got at a moment, at its recorded
// pace (its reads' stamps) or, with none, at the line's character rate, sped up by a factor or
// as fast as the reader takes it. Times are the caller's clock, nanoseconds.
class ReplayPace {
public:
    static constexpr double kFastest = 0; // the factor for "as fast as possible"

    // reads: the recording's stamps, ends in its offsets (empty: paced at charNs a byte).
    ReplayPace(std::vector<tessavue::ReadStamp> reads, uint64_t length, int64_t charNs);

    bool recordedPace() const { return !m_reads.empty(); }
    uint64_t length() const { return m_length; }
    // Where play has got to: every byte before it is due.
    uint64_t position(int64_t nowNs) const;
    bool paused() const { return m_paused; }
    bool finished(int64_t nowNs) const { return position(nowNs) >= m_length; }

    void play(int64_t nowNs);
    void pause(int64_t nowNs);
    void setFactor(double factor, int64_t nowNs);
    // Moves play to offset: the bytes before it have been played (paused or playing on).
    void seek(uint64_t offset, int64_t nowNs);
    // Paused: on to the end of the next read (of the next byte without times).
    void step(int64_t nowNs);

    // The byte's time in the recording, from its first byte.
    int64_t recordedNs(uint64_t offset) const;

private:
    // The first offset whose byte comes after recording time t.
    uint64_t offsetAfter(int64_t t) const;
    // The recording time play has reached.
    int64_t reachedNs(int64_t nowNs) const;

    std::vector<tessavue::ReadStamp> m_reads;
    uint64_t m_length;
    int64_t m_charNs;
    double m_factor = 1;
    bool m_paused = true;
    int64_t m_atNs = -1; // the recording time play stood at m_sinceNs: none of it yet
    int64_t m_sinceNs = 0;
};
