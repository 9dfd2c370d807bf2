#include "channels/ChannelStore.h"

#include "channels/TimeAxis.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace {
constexpr double kGap = std::numeric_limits<double>::quiet_NaN();
constexpr std::pair<double, double> kNoRange{INFINITY, -INFINITY};

void widen(std::pair<double, double>& r, double v) {
    if (!std::isfinite(v)) return;
    r.first = std::min(r.first, v);
    r.second = std::max(r.second, v);
}
const lens::Counters kNoCounters{};
} // namespace

ChannelStore::ChannelStore(std::size_t capacityFrames, QObject* parent)
    : QObject(parent), m_capacity(std::max<std::size_t>(capacityFrames, 1)), m_ends(m_capacity, 0),
      m_skipped(m_capacity, false), m_ns(m_capacity, timeaxis::kNoTime) {}

ChannelStore::~ChannelStore() = default;

QColor ChannelStore::paletteColour(int index) {
    // Hues far apart that stay readable on white, the first eight the most distinct.
    static const QColor kPalette[] = {
        QColor(0x1f, 0x77, 0xb4), QColor(0xd6, 0x27, 0x28), QColor(0x2c, 0xa0, 0x2c),
        QColor(0xff, 0x7f, 0x0e), QColor(0x94, 0x67, 0xbd), QColor(0x17, 0xbe, 0xcf),
        QColor(0x8c, 0x56, 0x4b), QColor(0xe3, 0x77, 0xc2), QColor(0x7f, 0x7f, 0x7f),
        QColor(0xbc, 0xbd, 0x22), QColor(0x00, 0x00, 0x80), QColor(0x80, 0x00, 0x00)};
    constexpr int n = static_cast<int>(std::size(kPalette));
    return kPalette[((index % n) + n) % n];
}

void ChannelStore::setFormat(const lens::Format& format) {
    m_format = format;
    m_decoder = format.isByte() ? nullptr : lens::makeDecoder(format);
    m_channels.clear();
    m_columns.clear();
    m_blocks.clear();
    reset(0, false);
    syncChannels();
    emit channelsChanged();
}

void ChannelStore::reset(uint64_t offset, bool midStream, uint64_t phase) {
    m_frames = 0;
    m_skips.clear();
    m_skippedSeen = 0;
    m_resetOffset = offset;
    m_firstStart.reset();
    m_text.clear();
    m_copiedCounters.reset();
    if (!m_decoder) return;
    m_decoder->reset(offset, midStream, phase);
    syncChannels();
}

uint64_t ChannelStore::streamOffset() const {
    return m_decoder ? m_decoder->offset() : 0;
}

void ChannelStore::feed(const uint8_t* data, std::size_t n, const TimedBytes* times) {
    if (!m_decoder || n == 0) return;
    m_feedTimes = times;
    m_feedStart = m_decoder->offset();
    if (times && times->known()) m_anchor = times->anchor;
    const uint64_t framesBefore = m_frames;
    const std::size_t textBefore = m_text.size();
    const bool textFull = textBefore == kTextLines;
    const uint64_t textLinesBefore = counters().textLines;
    m_channelsInFeed = false;
    m_decoder->feed(data, n, m_feed);
    m_feedTimes = nullptr;
    if (m_channelsInFeed) emit channelsChanged();
    if (m_frames != framesBefore) emit framesAdded();
    if (m_text.size() != textBefore || (textFull && counters().textLines != textLinesBefore))
        emit textAdded();
}

void ChannelStore::syncChannels() {
    const std::vector<std::string> names =
        m_decoder ? m_decoder->channelNames() : std::vector<std::string>{};
    const std::size_t n = std::min<std::size_t>(names.size(), lens::kMaxChannels);
    for (std::size_t i = 0; i < n; ++i) {
        if (i == m_channels.size()) {
            m_channels.push_back({QString(), paletteColour(static_cast<int>(i))});
            // A channel that comes late has had gaps in every frame so far.
            m_columns.emplace_back(m_capacity, kGap);
            m_blocks.emplace_back(blockCount(), kNoRange);
        }
        m_channels[i].name = QString::fromStdString(names[i]);
    }
}

void ChannelStore::Feed::frame(uint64_t end, const double* values, int count) {
    ChannelStore& s = *store;
    const std::size_t at = s.slot(s.m_frames);
    const int n = static_cast<int>(s.m_columns.size());
    for (int i = 0; i < n; ++i)
        s.summarise(std::size_t(i), s.m_frames,
                    s.m_columns[static_cast<std::size_t>(i)][at] = i < count ? values[i] : kGap);
    s.m_ends[at] = end;
    const TimedBytes* times = s.m_feedTimes;
    s.m_ns[at] = times && times->known() && end > s.m_feedStart
                     ? tessavue::byteTimeNs(times->reads, end - 1 - s.m_feedStart, times->charNs)
                     : timeaxis::kNoTime;
    const uint64_t skipped = s.counters().bytesSkipped + s.counters().longLines;
    s.m_skipped[at] = s.m_frames != 0 && skipped != s.m_skippedSeen;
    if (s.m_skipped[at]) s.m_skips.push_back(s.m_frames);
    while (!s.m_skips.empty() && s.m_skips.front() + s.m_capacity <= s.m_frames)
        s.m_skips.pop_front();
    if (s.m_frames == 0 && s.m_text.empty()) s.m_firstStart = s.m_resetOffset + skipped;
    s.m_skippedSeen = skipped;
    ++s.m_frames;
}

void ChannelStore::Feed::text(uint64_t offset, std::string_view line) {
    ChannelStore& s = *store;
    if (s.m_text.size() == kTextLines) s.m_text.pop_front();
    s.m_text.push_back(
        {s.m_frames, offset, QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()))});
}

void ChannelStore::Feed::channelsChanged() {
    store->syncChannels();
    store->m_channelsInFeed = true;
}

void ChannelStore::copyFrames(const ChannelStore& from, uint64_t first, std::size_t count) {
    if (m_format != from.m_format || active() != from.active()) setFormat(from.m_format);
    reset(0, false);
    m_channels = from.m_channels;
    m_copiedCounters = from.counters();
    m_columns.resize(m_channels.size(), std::vector<double>(m_capacity, kGap));
    // The frames the other store still holds from first on, copied out of its ring in at most
    // two runs (the trigger copies a screen of every channel many times a second).
    count = from.held(first) ? std::min<uint64_t>({count, m_capacity, from.m_frames - first}) : 0;
    const std::size_t start = from.slot(first);
    const std::size_t head = std::min(count, from.m_capacity - start);
    const auto copyRing = [&](const auto& ring, auto& into) {
        std::copy_n(ring.begin() + std::ptrdiff_t(start), head, into.begin());
        std::copy_n(ring.begin(), count - head, into.begin() + std::ptrdiff_t(head));
    };
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        copyRing(from.m_columns[i], m_columns[i]);
    copyRing(from.m_ends, m_ends);
    copyRing(from.m_skipped, m_skipped);
    copyRing(from.m_ns, m_ns);
    if (count > 0) m_skipped[0] = false; // nothing before the first frame copied
    m_frames = count;
    m_blocks.resize(m_channels.size(),
                    std::vector<std::pair<double, double>>(blockCount(), kNoRange));
    for (std::size_t i = 0; i < m_columns.size(); ++i)
        for (std::size_t b = 0; b * kBlockFrames < count; ++b) {
            std::pair<double, double> r = kNoRange;
            for (std::size_t k = b * kBlockFrames; k < std::min(count, (b + 1) * kBlockFrames); ++k)
                widen(r, m_columns[i][k]);
            m_blocks[i][b & (m_blocks[i].size() - 1)] = r;
        }
    for (std::size_t k = 1; k < count; ++k)
        if (m_skipped[k]) m_skips.push_back(k);
    emit channelsChanged();
}

void ChannelStore::setVisible(int index, bool visible) {
    if (index < 0 || index >= channelCount()) return;
    ChannelInfo& c = m_channels[static_cast<std::size_t>(index)];
    if (c.visible == visible) return;
    c.visible = visible;
    emit channelsChanged();
}

void ChannelStore::setGainOffset(int index, double gain, double offset) {
    if (index < 0 || index >= channelCount() || !std::isfinite(gain) || !std::isfinite(offset))
        return;
    ChannelInfo& c = m_channels[static_cast<std::size_t>(index)];
    if (c.gain == gain && c.offset == offset) return;
    c.gain = gain;
    c.offset = offset;
    emit channelsChanged();
}

uint64_t ChannelStore::firstFrame() const {
    return m_frames > m_capacity ? m_frames - m_capacity : 0;
}

double ChannelStore::raw(int index, uint64_t frame) const {
    if (index < 0 || index >= channelCount() || !held(frame)) return kGap;
    return m_columns[static_cast<std::size_t>(index)][slot(frame)];
}

double ChannelStore::value(int index, uint64_t frame) const {
    const double r = raw(index, frame);
    if (std::isnan(r)) return r;
    const ChannelInfo& c = m_channels[static_cast<std::size_t>(index)];
    return r * c.gain + c.offset;
}

bool ChannelStore::skippedBefore(uint64_t frame) const {
    return held(frame) && m_skipped[slot(frame)];
}

std::span<const double> ChannelStore::rawRun(int index, uint64_t frame, uint64_t count) const {
    if (index < 0 || index >= channelCount() || !held(frame)) return {};
    const std::size_t at = slot(frame);
    const uint64_t n = std::min({count, m_frames - frame, uint64_t(m_capacity - at)});
    return {m_columns[static_cast<std::size_t>(index)].data() + at, static_cast<std::size_t>(n)};
}

std::size_t ChannelStore::blockCount() const {
    // A power of two, so that finding a block's place costs no division in every frame.
    return std::bit_ceil(m_capacity / kBlockFrames + 2);
}

void ChannelStore::summarise(std::size_t channel, uint64_t frame, double raw) {
    std::vector<std::pair<double, double>>& blocks = m_blocks[channel];
    std::pair<double, double>& r = blocks[std::size_t(frame / kBlockFrames) & (blocks.size() - 1)];
    if (frame % kBlockFrames == 0) r = kNoRange;
    widen(r, raw);
}

std::pair<double, double> ChannelStore::rawRange(int index, uint64_t from, uint64_t to) const {
    std::pair<double, double> r = kNoRange;
    if (index < 0 || index >= channelCount()) return r;
    from = std::max(from, firstFrame());
    to = std::min(to, m_frames);
    const auto& blocks = m_blocks[static_cast<std::size_t>(index)];
    const auto frames = [&](uint64_t a, uint64_t b) {
        while (a < b) {
            const std::span<const double> run = rawRun(index, a, b - a);
            if (run.empty()) return;
            for (double v : run)
                widen(r, v);
            a += run.size();
        }
    };
    // The ragged ends frame by frame; between them whole blocks, each held whole.
    const uint64_t whole = (from + kBlockFrames - 1) / kBlockFrames;
    const uint64_t wholeEnd = to / kBlockFrames;
    if (whole >= wholeEnd) {
        frames(from, to);
        return r;
    }
    frames(from, whole * kBlockFrames);
    for (uint64_t b = whole; b < wholeEnd; ++b) {
        const std::pair<double, double>& s = blocks[std::size_t(b) & (blocks.size() - 1)];
        r.first = std::min(r.first, s.first);
        r.second = std::max(r.second, s.second);
    }
    frames(wholeEnd * kBlockFrames, to);
    return r;
}

std::pair<double, double> ChannelStore::valueRange(int index, uint64_t from, uint64_t to) const {
    const auto [lo, hi] = rawRange(index, from, to);
    if (lo > hi) return {lo, hi};
    // Units rise or fall with the raw sample as the gain's sign says.
    const ChannelInfo& c = m_channels[static_cast<std::size_t>(index)];
    const double a = lo * c.gain + c.offset;
    const double b = hi * c.gain + c.offset;
    if (std::isfinite(a) && std::isfinite(b)) return {std::min(a, b), std::max(a, b)};
    // A gain that takes a sample past the largest double: the finite ones frame by frame.
    std::pair<double, double> r = kNoRange;
    for (uint64_t f = std::max(from, firstFrame()); f < std::min(to, m_frames); ++f)
        widen(r, value(index, f));
    return r;
}

std::vector<uint64_t> ChannelStore::skipsIn(uint64_t from, uint64_t to) const {
    const auto a = std::lower_bound(m_skips.begin(), m_skips.end(), from);
    return {a, std::lower_bound(a, m_skips.end(), to)};
}

uint64_t ChannelStore::frameEnd(uint64_t frame) const {
    return held(frame) ? m_ends[slot(frame)] : 0;
}

int64_t ChannelStore::frameNs(uint64_t frame) const {
    return held(frame) ? m_ns[slot(frame)] : timeaxis::kNoTime;
}

std::optional<uint64_t> ChannelStore::boundaryFrom(int64_t from) const {
    // A boundary before the oldest frame held may have been dropped with the frames before it.
    const uint64_t oldest = firstFrame();
    if (oldest > 0 && int64_t(frameEnd(oldest)) > from) return std::nullopt;
    std::optional<uint64_t> best;
    const auto consider = [&](uint64_t at) {
        if (int64_t(at) >= from && (!best || at < *best)) best = at;
    };
    // Frame ends rise with the frame number: the first one at or after `from` is the frame's.
    uint64_t lo = oldest;
    uint64_t hi = m_frames;
    while (lo < hi) {
        const uint64_t mid = lo + (hi - lo) / 2;
        if (int64_t(frameEnd(mid)) < from)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo < m_frames) consider(frameEnd(lo));
    if (oldest == 0 && m_firstStart) consider(*m_firstStart);
    for (const LensTextLine& t : m_text)
        consider(t.offset);
    return best;
}

const lens::Counters& ChannelStore::counters() const {
    if (m_copiedCounters) return *m_copiedCounters;
    return m_decoder ? m_decoder->counters() : kNoCounters;
}
