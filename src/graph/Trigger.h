#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "app/state/RingView.h"

// Holding a periodic live trace still: where the stream crosses a level in the chosen
// direction, and which screen of it to show. Apart from any widget; the caller supplies the
// time in milliseconds, so the one-second fallback can be driven without waiting.

enum class TriggerMode : int16_t { Off, Normal, Auto, Single };
enum class TriggerSlope : int16_t { Rising, Falling };

struct TriggerSettings {
    TriggerMode mode = TriggerMode::Off;
    int16_t level = 0; // in the values of the current view
    TriggerSlope slope = TriggerSlope::Rising;
    int16_t positionPct = 10; // where the trigger point stands, in % of the screen's width
};

// Screen index of the trigger point: positionPct / 100 x (N - 1), halves to even.
int16_t xfunTriggerIndex(int16_t positionPct, int16_t N);

// The newest trigger point among the samples numbered first..last, read in the current view
// (iSigned): sample t is one when t - 1 lies below the level and t at or above it (rising), or
// t - 1 above it and t at or below it (falling). Sample first - 1 must be readable.
std::optional<int64_t> xfunNewestTriggerPoint(const RingView& ring, int64_t first, int64_t last,
                                              const TriggerSettings& settings, int16_t iSigned);

// The values a byte reads as in the view (iSigned): the range of the level.
std::pair<int16_t, int16_t> xfunLevelRange(int16_t iSigned);

// A level the stream can cross: the middle of the screen's samples (raw bytes) read in the view,
// or the middle of the view's range when there are none. Halves go to the even neighbour.
int16_t xfunTriggerLevelProposal(const std::vector<uint8_t>& screen, int16_t iSigned);

// The armed trigger of the live trace. The search looks at each sample once: at every update it
// examines the samples that arrived since, as far as their whole screen has arrived, and the
// newest trigger point among them gives the screen shown. That screen is copied, because the
// ring overwrites it within a second at the fastest rates. A held screen outlives a change of the
// screen's width: it is taken again around the same trigger point while the ring still has it.
class LiveTrigger {
public:
    // What the pane shows while armed.
    enum class Show { Nothing, Held, Running };

    static constexpr int64_t kAutoFallbackMs = 1000;

    const TriggerSettings& settings() const { return m_settings; }
    bool armed() const { return m_settings.mode != TriggerMode::Off; }
    bool stopped() const { return m_stopped; }       // a single shot has fired
    bool everChosen() const { return m_everChosen; } // the dialog has been confirmed this run
    Show show() const { return m_show; }
    const std::vector<uint8_t>& screen() const { return m_screen; } // raw bytes, N of them

    // Takes the settings and starts a fresh search (TriggerMode::Off disarms); trigger points
    // are looked for among the samples that arrive from now on.
    void arm(const TriggerSettings& settings, int64_t total, int64_t nowMs);
    void disarm() { m_settings.mode = TriggerMode::Off; }
    void setLevel(int16_t level) { m_settings.level = level; }

    // Searches what arrived since the last update, for screens of N samples, after taking a held
    // screen of another width again. True when the pane must be drawn again: a screen other than
    // the one held is held, or the running trace is shown or has moved on.
    bool update(const RingView& ring, int16_t N, int16_t iSigned, int64_t nowMs);

private:
    bool reframe(const RingView& ring, int16_t N);

    TriggerSettings m_settings;
    bool m_everChosen = false;
    Show m_show = Show::Nothing;
    bool m_stopped = false;
    int64_t m_next = 0;   // the first sample not yet examined as a trigger point
    int64_t m_seen = 0;   // `total` at the last update
    int64_t m_lastMs = 0; // when the last trigger point came (or the search began)
    int64_t m_point = 0;  // the trigger point of the held screen
    std::vector<uint8_t> m_screen;
};
