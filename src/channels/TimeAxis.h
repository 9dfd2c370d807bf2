#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

// Time on the channel pane's X axis, kept apart from any widget: the screen's frames in seconds
// from its first, where the time jumps, and round ticks in seconds or on the wall clock.
class ChannelStore;

namespace timeaxis {

enum class Kind { Frames, Seconds, WallClock };

// What X shows: frame numbers, the host's stamps, or a channel of the device's own clock in
// milliseconds (a 32-bit millis() that rolls over).
struct Choice {
    Kind kind = Kind::Frames;
    std::optional<int> deviceChannel;
    bool operator==(const Choice&) const = default;
};

inline constexpr int64_t kNoTime = INT64_MIN;

// Seconds of each frame from the first one known; NaN where a frame has no time.
std::vector<double> secondsFromStamps(std::span<const int64_t> ns);
// The same from a device clock in milliseconds: each step is taken modulo 2^32, backwards when
// over half of it, so a roll-over goes on counting up.
std::vector<double> secondsFromDeviceMillis(std::span<const double> millis);
// The frames that follow a jump in time (a stall, a reconnect): a step over kGapFactor times
// the screen's median step and over a millisecond.
inline constexpr double kGapFactor = 5;
std::vector<int> gapsBefore(std::span<const double> seconds);

struct Tick {
    double at = 0; // screen index, fractional: where the time is reached between two frames
    QString text;
};
// Round ticks over the screen: seconds since its first frame, or the wall clock (HH:MM:SS.mmm,
// local time) when wallFirstNs, the wall clock of the first frame, is given.
std::vector<Tick> ticks(std::span<const double> seconds, std::optional<int64_t> wallFirstNs,
                        int maxTicks = 6);

// The times of a screen of the pane: frames from first, as choice says.
struct ScreenTimes {
    std::vector<double> seconds; // empty for frame numbers or when no frame has a time
    std::optional<int64_t> wallFirstNs;
    std::vector<int> gaps;
    bool known() const { return !seconds.empty(); }
    // Screen index k in seconds; NaN when not known.
    double at(int k) const;
};
ScreenTimes screenTimes(const ChannelStore& store, uint64_t first, int frames,
                        const Choice& choice);

// The cursor readouts of time: each cursor's time (the wall clock, or seconds from the screen's
// first frame) and the span between them; empty where not known.
std::array<QString, 3> cursorTexts(const ScreenTimes& times,
                                   const std::array<std::optional<int>, 2>& at);

// "HH:MM:SS.mmm", local time.
QString clockText(int64_t wallNs);
// A time span for the readouts: "12.345 ms", "1.234567 s".
QString spanText(double seconds);

} // namespace timeaxis
