#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "app/state/ReceivedTimes.h"
#include "lens/Lens.h"

// One decoded channel as the user sees it: its name, colour, whether it is drawn, and the
// gain and offset that turn a decoded number into engineering units (value = raw * gain + offset).
struct ChannelInfo {
    QString name;
    QColor colour;
    bool visible = true;
    double gain = 1;
    double offset = 0;
};

// A line the text lens did not take as data, and where it stood.
struct LensTextLine {
    uint64_t frame = 0;  // the number the next frame got when the line came
    uint64_t offset = 0; // where the line starts in the stream
    QString text;
};

// The decoded channels of one stream: a lens's decoder fed with raw bytes, and the newest
// frames it gave, a bounded history numbered from the last reset. A frame holds one sample of
// every channel (NaN: a gap); a frame that followed skipped bytes is marked. Lines the text lens
// kept as text are held too, the newest kTextLines.
class ChannelStore : public QObject {
    Q_OBJECT
public:
    static constexpr std::size_t kHistoryFrames = 32768;
    static constexpr std::size_t kTextLines = 500;
    static constexpr uint64_t kBlockFrames = 256;

    explicit ChannelStore(std::size_t capacityFrames = kHistoryFrames, QObject* parent = nullptr);
    ~ChannelStore() override;

    // A new lens: a new decoder, no channels, no frames. "byte" leaves the store idle.
    void setFormat(const lens::Format& format);
    const lens::Format& format() const { return m_format; }
    bool active() const { return m_decoder != nullptr; }

    // Forgets every frame and text line and starts the decoder again at stream offset
    // `offset` (see lens::Decoder::reset). Channel settings stay.
    void reset(uint64_t offset, bool midStream, uint64_t phase = 0);
    // times, when known, say when the bytes came; the frames they end take the time of their
    // last byte.
    void feed(const uint8_t* data, std::size_t n, const TimedBytes* times = nullptr);
    // The stream offset the next byte fed has.
    uint64_t streamOffset() const;

    int channelCount() const { return static_cast<int>(m_channels.size()); }
    const ChannelInfo& channel(int index) const {
        return m_channels[static_cast<std::size_t>(index)];
    }
    void setVisible(int index, bool visible);
    void setGainOffset(int index, double gain, double offset);

    // Holds `count` frames of `from` from its frame `first` (as far as it holds them), numbered
    // from 0, with its lens and channels, in place of all this store held; fed nothing. Its
    // counters are from's at the copy, until it is reset.
    void copyFrames(const ChannelStore& from, uint64_t first, std::size_t count);

    // Frames ever delivered since the reset: the next frame's number.
    uint64_t frameCount() const { return m_frames; }
    // The oldest frame still held.
    uint64_t firstFrame() const;
    // Channel `index` at `frame` in engineering units; NaN for a gap or a frame not held.
    double value(int index, uint64_t frame) const;
    // The raw decoded sample, as value() before gain and offset.
    double raw(int index, uint64_t frame) const;
    // Bytes were skipped between this frame and the one before it.
    bool skippedBefore(uint64_t frame) const;
    // The lowest and highest finite raw sample of channel `index` among the frames held in
    // [from, to) (lo > hi: none), from a summary per kBlockFrames frames where whole blocks
    // lie inside, so that a screen of millions of frames costs a few thousand steps a column.
    std::pair<double, double> rawRange(int index, uint64_t from, uint64_t to) const;
    // The same in units, gain and offset applied: the lowest and highest finite value().
    std::pair<double, double> valueRange(int index, uint64_t from, uint64_t to) const;
    // The frames held in [from, to) that followed skipped bytes, oldest first.
    std::vector<uint64_t> skipsIn(uint64_t from, uint64_t to) const;
    // The stream offset just past the frame's last byte; 0 for a frame not held.
    uint64_t frameEnd(uint64_t frame) const;
    // When the frame's last byte came, steady clock ns; timeaxis::kNoTime when not known.
    int64_t frameNs(uint64_t frame) const;
    // The wall clock beside the steady clock of the last feed with times.
    std::optional<tessavue::ClockAnchor> clockAnchor() const { return m_anchor; }

    // The first frame or line boundary at or after stream offset `from` that the decoder
    // passed (a frame's end, a text line's start); nullopt when it is not among what is held or
    // the decoder has not got that far.
    std::optional<uint64_t> boundaryFrom(int64_t from) const;

    const lens::Counters& counters() const;
    const std::deque<LensTextLine>& textLines() const { return m_text; }

    // The colour channel `index` gets: a palette of distinct hues, repeated after it ends.
    static QColor paletteColour(int index);

signals:
    // Channels were added or renamed, or their settings changed.
    void channelsChanged();
    // frameCount() grew.
    void framesAdded();
    void textAdded();

private:
    // What the decoder calls while feed() runs.
    struct Feed : lens::Sink {
        ChannelStore* store;
        explicit Feed(ChannelStore* s) : store(s) {}
        void frame(uint64_t end, const double* values, int count) override;
        void text(uint64_t offset, std::string_view line) override;
        void channelsChanged() override;
    };
    void syncChannels();
    std::size_t slot(uint64_t frame) const { return static_cast<std::size_t>(frame % m_capacity); }
    bool held(uint64_t frame) const { return frame < m_frames && frame >= firstFrame(); }
    // The raw samples of channel `index` from `frame` on, as many of the next `count` as lie
    // side by side in the history; empty for a frame not held.
    std::span<const double> rawRun(int index, uint64_t frame, uint64_t count) const;
    std::size_t blockCount() const;
    // A block's summary of channel `channel` takes the frame's sample.
    void summarise(std::size_t channel, uint64_t frame, double raw);

    const std::size_t m_capacity;
    lens::Format m_format;
    std::unique_ptr<lens::Decoder> m_decoder;
    std::vector<ChannelInfo> m_channels;
    // One column per channel, a ring of m_capacity samples indexed by frame % m_capacity.
    std::vector<std::vector<double>> m_columns;
    // Per channel, the lowest and highest finite sample of each block of kBlockFrames frames,
    // a ring of blockCount() indexed by frame / kBlockFrames, which outlasts the frames' ring.
    std::vector<std::vector<std::pair<double, double>>> m_blocks;
    std::vector<uint64_t> m_ends;
    std::vector<bool> m_skipped;
    std::deque<uint64_t> m_skips; // the frames marked in m_skipped, oldest first
    std::vector<int64_t> m_ns;
    const TimedBytes* m_feedTimes = nullptr; // while feed() runs
    uint64_t m_feedStart = 0;
    std::optional<tessavue::ClockAnchor> m_anchor;
    uint64_t m_frames = 0;
    uint64_t m_resetOffset = 0;
    // Where the first frame after the reset starts, when nothing but skipped bytes came before.
    std::optional<uint64_t> m_firstStart;
    uint64_t m_skippedSeen = 0; // the decoder's skip count at the last frame
    bool m_channelsInFeed = false;
    std::optional<lens::Counters> m_copiedCounters;
    Feed m_feed{this};
    std::deque<LensTextLine> m_text;
};
