#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "app/state/ReceivedTimes.h"
#include "lens/Lens.h"

class ChannelStore;

// What a data file or log needs to be seen again through the lens it was made with: the lens,
// and the first frame or line boundary in the file (0 when it starts at one).
struct LensSide {
    lens::Format format;
    uint64_t phase = 0;
    bool operator==(const LensSide&) const = default;
};

// The side file of a data file: "<name>.lens".
QString lensSidePath(const QString& dataFile);
// "format=<text form>\nphase=<n>\n".
QByteArray lensSideText(const LensSide& side);
// nullopt for a missing, unreadable or damaged side file.
std::optional<LensSide> readLensSide(const QString& dataFile);
// Written after the data file is whole; false when it could not be written.
bool writeLensSide(const QString& dataFile, const LensSide& side);

// A stored stream (the recent copy, a data file) seen through a lens, one screen at a time:
// from the first frame or line boundary at or after the view's top, so that any position shows
// the frames a decoding from the start shows there. Frames are numbered from the stream's first
// boundary; the count is kept as the view moves, and not made for a jump further than
// kCountLimitBytes from where it last was (a huge file), where the numbers stay unknown.
class LensView {
public:
    // Reads up to n bytes at `at` into `into`; returns how many it read (0 at the end or on
    // an error).
    using Reader = std::function<std::size_t(uint64_t at, uint8_t* into, std::size_t n)>;
    static constexpr uint64_t kCountLimitBytes = 64u << 20;

    // side: the stream's first boundary, when known (its side file); else the stream is taken
    // to start mid-frame.
    LensView(const lens::Format& format, std::optional<uint64_t> firstBoundary, uint64_t length,
             Reader read);
    ~LensView();

    struct Screen {
        bool found = false;            // a boundary at or after the top
        uint64_t start = 0;            // where the screen's first frame starts
        std::optional<uint64_t> first; // the number of the screen's first frame
    };
    // Decodes frames from the first boundary at or after top into out (reset there), until it
    // holds `frames` frames or the stream ends.
    Screen screen(uint64_t top, int frames, ChannelStore& out);
    // When the stream's bytes came (its reads' ends are stream offsets): the frames get times.
    void setTimes(TimedBytes times) { m_times = std::move(times); }
    const lens::Format& format() const { return m_format; }
    // The first boundary at or after `from` (the stream's first boundary before it).
    std::optional<uint64_t> boundaryFrom(uint64_t from);

private:
    std::optional<uint64_t> framesBefore(uint64_t boundary);

    lens::Format m_format;
    std::optional<uint64_t> m_start;
    uint64_t m_phase = 0;
    uint64_t m_length;
    Reader m_read;
    // Frames counted from the stream's first boundary up to m_countedTo.
    struct Count;
    std::unique_ptr<Count> m_count;
    TimedBytes m_times;
};
