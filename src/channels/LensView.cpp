#include "channels/LensView.h"

#include <QFile>
#include <QSaveFile>
#include <vector>

#include "channels/ChannelStore.h"

namespace {
// Bytes read at a time while looking for a boundary or decoding a screen: small enough that a
// screen of one-byte frames never outruns the store holding it.
constexpr std::size_t kChunkBytes = 4096;
// A boundary further than this from the top is not looked for: the view shows nothing there.
constexpr uint64_t kBoundarySearchBytes = 1u << 20;

struct FrameCounter : lens::Sink {
    uint64_t frames = 0;
    void frame(uint64_t, const double*, int) override { ++frames; }
};
} // namespace

QString lensSidePath(const QString& dataFile) {
    return dataFile + QStringLiteral(".lens");
}

QByteArray lensSideText(const LensSide& side) {
    return QByteArray("format=") + QByteArray::fromStdString(lens::toText(side.format)) +
           "\nphase=" + QByteArray::number(qulonglong(side.phase)) + "\n";
}

std::optional<LensSide> readLensSide(const QString& dataFile) {
    QFile f(lensSidePath(dataFile));
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    const QList<QByteArray> lines = f.read(4096).split('\n');
    std::optional<lens::Format> format;
    std::optional<uint64_t> phase;
    for (const QByteArray& line : lines) {
        if (line.startsWith("format="))
            format = lens::parseFormat(line.mid(7).trimmed().toStdString());
        else if (line.startsWith("phase=")) {
            bool ok = false;
            const qulonglong v = line.mid(6).trimmed().toULongLong(&ok);
            if (ok) phase = v;
        }
    }
    if (!format || !phase || format->isByte()) return std::nullopt;
    return LensSide{*format, *phase};
}

bool writeLensSide(const QString& dataFile, const LensSide& side) {
    QSaveFile f(lensSidePath(dataFile));
    if (!f.open(QIODevice::WriteOnly)) return false;
    f.write(lensSideText(side));
    return f.commit();
}

struct LensView::Count {
    std::unique_ptr<lens::Decoder> decoder;
    FrameCounter sink;
    uint64_t to = 0;
};

LensView::LensView(const lens::Format& format, std::optional<uint64_t> firstBoundary,
                   uint64_t length, Reader read)
    : m_format(format), m_length(length), m_read(std::move(read)) {
    const std::size_t fb = format.frameBytes();
    if (firstBoundary) m_phase = fb != 0 ? *firstBoundary % fb : 0;
    m_start = firstBoundary ? firstBoundary : boundaryFrom(0);
}

LensView::~LensView() = default;

std::optional<uint64_t> LensView::boundaryFrom(uint64_t from) {
    if (m_start && from <= *m_start) return m_start;
    std::vector<uint8_t> buf;
    // The window read reaches back a frame, so that a synced lens can see a frame that starts
    // just before `from` confirm one that starts after it.
    const uint64_t back = std::min<uint64_t>(from, m_format.frameBytes());
    uint64_t at = from - back;
    const uint64_t limit = std::min(m_length, from + kBoundarySearchBytes);
    while (at < limit) {
        // Each window overlaps the last by two frames: a lock needs two whole frames in view.
        const std::size_t want = kChunkBytes + 2 * m_format.frameBytes();
        buf.resize(want);
        const std::size_t got = m_read(at, buf.data(), std::min<uint64_t>(want, m_length - at));
        if (got == 0) return std::nullopt;
        if (auto b = lens::findBoundary(m_format, buf.data(), got, at, from, m_phase)) return b;
        if (at + got >= m_length) return std::nullopt;
        at += std::max<std::size_t>(
            got > 2 * m_format.frameBytes() + 1 ? got - 2 * m_format.frameBytes() - 1 : got, 1);
    }
    return std::nullopt;
}

std::optional<uint64_t> LensView::framesBefore(uint64_t boundary) {
    if (!m_start || boundary < *m_start) return std::nullopt;
    if (!m_count || boundary < m_count->to) {
        if (boundary - *m_start > kCountLimitBytes) return std::nullopt;
        m_count = std::make_unique<Count>();
        m_count->decoder = lens::makeDecoder(m_format);
        m_count->decoder->reset(*m_start, false, m_phase);
        m_count->to = *m_start;
    } else if (boundary - m_count->to > kCountLimitBytes) {
        return std::nullopt;
    }
    std::vector<uint8_t> buf(kChunkBytes * 16);
    while (m_count->to < boundary) {
        const std::size_t want = std::min<uint64_t>(buf.size(), boundary - m_count->to);
        const std::size_t got = m_read(m_count->to, buf.data(), want);
        if (got == 0) {
            m_count.reset();
            return std::nullopt;
        }
        m_count->decoder->feed(buf.data(), got, m_count->sink);
        m_count->to += got;
    }
    return m_count->sink.frames;
}

LensView::Screen LensView::screen(uint64_t top, int frames, ChannelStore& out) {
    Screen s;
    out.reset(top, true, m_phase);
    const std::optional<uint64_t> b = boundaryFrom(top);
    if (!b) return s;
    s.found = true;
    s.start = *b;
    s.first = framesBefore(*b);
    out.reset(*b, false, m_phase);
    std::vector<uint8_t> buf(kChunkBytes);
    uint64_t at = *b;
    while (at < m_length && out.frameCount() < uint64_t(frames)) {
        const std::size_t got =
            m_read(at, buf.data(), std::min<uint64_t>(buf.size(), m_length - at));
        if (got == 0) break;
        const TimedBytes times = m_times.known() ? m_times.slice(at, got) : TimedBytes{};
        out.feed(buf.data(), got, &times);
        at += got;
    }
    return s;
}
