#pragma once

#include <cstdint>
#include <optional>

#include "channels/ChannelStore.h"
#include "graph/Trigger.h"

// The trigger of the live channel pane: as the byte trace's (LiveTrigger), on one channel's
// values in its units, holding the whole frame (every channel) around the trigger point.

struct ChannelTriggerSettings {
    TriggerMode mode = TriggerMode::Off;
    int channel = 0;
    double level = 0; // in the channel's units
    TriggerSlope slope = TriggerSlope::Rising;
    int16_t positionPct = 10;
};

// The middle of the channel's smallest and largest value among `frames` frames from `first`;
// 0 when it has none there.
double xfunChannelLevelProposal(const ChannelStore& store, int channel, uint64_t first, int frames);

// Looks at each frame once, as the byte trigger does: at every update the frames that came since,
// as far as their whole screen has come; the newest trigger point gives the screen held. The
// held frames are copied, as the history overwrites them within a second at the fastest rates.
// A held screen outlives a change of the screen's width while the history still has its frames.
class ChannelTrigger {
public:
    using Show = LiveTrigger::Show;

    const ChannelTriggerSettings& settings() const { return m_settings; }
    bool armed() const { return m_settings.mode != TriggerMode::Off; }
    bool stopped() const { return m_stopped; }
    bool everChosen() const { return m_everChosen; }
    Show show() const { return m_show; }
    // The frames held (none before the first trigger point), and the number the first of them
    // had in the live history.
    ChannelStore& held() { return m_held; }
    uint64_t heldFirst() const { return m_heldFirst; }

    void arm(const ChannelTriggerSettings& settings, const ChannelStore& live, int64_t nowMs);
    void disarm() { m_settings.mode = TriggerMode::Off; }
    // True when the pane must be drawn again (as LiveTrigger::update).
    bool update(const ChannelStore& live, int frames, int64_t nowMs);

private:
    bool reframe(const ChannelStore& live, int frames);
    void hold(const ChannelStore& live, uint64_t first, int frames);

    ChannelTriggerSettings m_settings;
    bool m_everChosen = false;
    Show m_show = Show::Nothing;
    bool m_stopped = false;
    uint64_t m_next = 0; // the first frame not yet examined as a trigger point
    uint64_t m_seen = 0; // frames at the last update
    int64_t m_lastMs = 0;
    uint64_t m_point = 0; // the trigger point of the held screen
    uint64_t m_heldFirst = 0;
    ChannelStore m_held;
};
