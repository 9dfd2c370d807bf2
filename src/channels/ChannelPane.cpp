#include "channels/ChannelPane.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <tuple>

#include "channels/ChannelStore.h"

namespace {
constexpr double kLegendRowPx = 14;
constexpr double kLegendWidthPx = 150;
const QColor kCursorColours[2] = {QColor(255, 0, 255), QColor(0, 0, 255)};
const QColor kTriggerColour(255, 128, 0); // the byte trigger's orange

QString valueText(double v) {
    return std::isnan(v) ? QStringLiteral("---") : QString::number(v, 'g', 6);
}
} // namespace

ChannelPane::ChannelPane(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("ChannelPane"));
    setAutoFillBackground(false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true); // the free cursor follows the mouse without a button
}

void ChannelPane::showLive(ChannelStore* store, int frames) {
    showScreen(store, 0, frames, 0);
    m_live = true;
    follow();
    refresh();
}

void ChannelPane::showScreen(ChannelStore* store, uint64_t first, int frames,
                             std::optional<uint64_t> origin) {
    if (store != m_store) {
        for (auto& c : m_storeLinks)
            disconnect(c);
        m_store = store;
        m_auto = {};
        m_laneRanges.clear();
        if (store) {
            m_storeLinks[0] = connect(store, &ChannelStore::framesAdded, this, [this] {
                if (!m_live) return;
                follow();
                refresh();
            });
            m_storeLinks[1] =
                connect(store, &ChannelStore::channelsChanged, this, &ChannelPane::refresh);
        }
    }
    m_live = false;
    m_first = first;
    m_frames = std::max(frames, 2);
    m_origin = origin;
    if (m_hover && *m_hover >= m_frames) setHover(std::nullopt);
    refresh();
}

void ChannelPane::follow() {
    const uint64_t n = m_store ? m_store->frameCount() : 0;
    const uint64_t oldest = m_store ? m_store->firstFrame() : 0;
    m_first = std::max(oldest, n > uint64_t(m_frames) ? n - uint64_t(m_frames) : 0);
    m_origin = 0;
}

void ChannelPane::setTypedRange(std::optional<axis::Range> range) {
    if (range && !(range->hi > range->lo)) range.reset();
    m_typed = range;
    refresh();
}

void ChannelPane::setYCursors(const std::array<std::optional<double>, 2>& at) {
    if (at == m_yCursors) return;
    m_yCursors = at;
    update();
}

void ChannelPane::setCursors(const std::array<std::optional<int>, 2>& at) {
    if (at == m_cursors) return;
    m_cursors = at;
    update();
}

axis::Range ChannelPane::yRange() const {
    if (m_typed) return *m_typed;
    return m_auto.empty() ? axis::Range{-1, 1} : m_auto.range();
}

axis::Range ChannelPane::yRange(int channel) const {
    return m_lanes && !m_typed ? m_laneRanges.range(channel) : yRange();
}

void ChannelPane::setLanes(bool on) {
    if (on == m_lanes) return;
    m_lanes = on;
    update();
}

void ChannelPane::setChosenChannel(int channel) {
    if (channel == m_chosen) return;
    m_chosen = channel;
    update();
}

void ChannelPane::setTriggerLevel(std::optional<double> level) {
    if (level == m_level) return;
    m_level = level;
    update();
}

std::vector<bool> ChannelPane::shown() const {
    std::vector<bool> out;
    for (int c = 0; m_store && c < m_store->channelCount(); ++c)
        out.push_back(m_store->channel(c).visible);
    return out;
}

int ChannelPane::cursorChannel() const {
    return lanes::cursorChannel(shown(), m_chosen);
}

lanes::Band ChannelPane::band(int channel) const {
    const lanes::Band plot{kTop, bottom()};
    if (!m_lanes) return plot;
    const std::vector<bool> visible = shown();
    const std::vector<int> lane = lanes::laneOf(visible);
    if (channel < 0 || channel >= int(lane.size()) || lane[size_t(channel)] < 0) return plot;
    const int count = int(std::count(visible.begin(), visible.end(), true));
    return lanes::bands(count, kTop, bottom())[size_t(lane[size_t(channel)])];
}

std::optional<int> ChannelPane::indexAt(double x) const {
    if (x < kLeft || x > right()) return std::nullopt;
    return int(std::lround((x - kLeft) / (right() - kLeft) * (m_frames - 1)));
}

uint64_t ChannelPane::frameNumber(int k) const {
    return m_origin.value_or(m_first) + uint64_t(k);
}

// The screen's values as the automatic range follows them; the picture is made when painted.
void ChannelPane::refresh() {
    const bool enveloped = this->enveloped();
    if (enveloped) m_env = channelEnvelope(*m_store, m_first, m_frames, columns());
    if (m_store && !m_typed) {
        double lo = INFINITY;
        double hi = -INFINITY;
        for (int c = 0; c < m_store->channelCount(); ++c) {
            if (!m_store->channel(c).visible) continue;
            double laneLo = INFINITY;
            double laneHi = -INFINITY;
            if (enveloped)
                for (const ValueRange& r : m_env.channels[std::size_t(c)]) {
                    if (r.empty()) continue;
                    laneLo = std::min(laneLo, r.lo);
                    laneHi = std::max(laneHi, r.hi);
                }
            else
                std::tie(laneLo, laneHi) =
                    m_store->valueRange(c, m_first, m_first + uint64_t(m_frames));
            m_laneRanges.show(c, laneLo, laneHi);
            lo = std::min(lo, laneLo);
            hi = std::max(hi, laneHi);
        }
        m_auto.show(lo, hi);
    }
    update();
    if (m_hover) emit hoverChanged(); // other frames under a mouse that stands still
}

void ChannelPane::setFootRoom(double px) {
    if (px == m_footRoom) return;
    m_footRoom = px;
    update();
}

void ChannelPane::setTimeAxis(const timeaxis::Choice& choice) {
    m_timeAxis = choice;
    update();
}

timeaxis::ScreenTimes ChannelPane::screenTimes() const {
    return m_store ? timeaxis::screenTimes(*m_store, m_first, m_frames, m_timeAxis)
                   : timeaxis::ScreenTimes{};
}

double ChannelPane::xAt(int k) const {
    return kLeft + (right() - kLeft) * k / (m_frames - 1);
}

double ChannelPane::yAt(int channel, double v) const {
    if (channel < 0 || size_t(channel) >= m_painted.size())
        return lanes::yAt({kTop, bottom()}, yRange(), v);
    return lanes::yAt(m_painted[size_t(channel)].first, m_painted[size_t(channel)].second, v);
}

void ChannelPane::drawYAxis(QPainter& p, const lanes::Band& band, const axis::Range& r) {
    for (double t : axis::ticks(r, lanes::tickRoom(band))) {
        const double y = lanes::yAt(band, r, t);
        p.setPen(QColor(0xC0, 0xC0, 0xC0));
        p.drawLine(QPointF(kLeft, y), QPointF(right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(0, y - 7, kLeft - 3, 14), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(t, 'g', 6));
    }
}

QRectF ChannelPane::legendRow(int channel) const {
    if (!m_store || channel < 0 || channel >= m_store->channelCount()) return {};
    return {right() - kLegendWidthPx - 4, kTop + 4 + kLegendRowPx * channel, kLegendWidthPx,
            kLegendRowPx};
}

QString ChannelPane::countersText() const {
    if (!m_store) return {};
    const lens::Counters& c = m_store->counters();
    QString t = QStringLiteral("frames %1").arg(c.frames);
    if (m_store->format().kind == lens::Format::Kind::Binary)
        t += QStringLiteral("  bad %1  resync %2").arg(c.badChecksums).arg(c.resyncs);
    else
        t += QStringLiteral("  text %1  long %2").arg(c.textLines).arg(c.longLines);
    t += QStringLiteral("  skipped %1 B").arg(c.bytesSkipped);
    if (c.droppedLabels != 0) t += QStringLiteral("  labels over 32: %1").arg(c.droppedLabels);
    return t;
}

void ChannelPane::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    QFont small = font();
    small.setPointSizeF(7.5);
    p.setFont(small);

    // The Y axis and its round ticks, or in lanes each lane's, with the lane's name.
    m_painted.clear();
    for (int c = 0; m_store && c < m_store->channelCount(); ++c)
        m_painted.emplace_back(band(c), yRange(c));
    if (!m_lanes || !m_store)
        drawYAxis(p, {kTop, bottom()}, yRange());
    else
        for (int c = 0; c < m_store->channelCount(); ++c) {
            const ChannelInfo& info = m_store->channel(c);
            if (!info.visible) continue;
            const lanes::Band& b = m_painted[size_t(c)].first;
            drawYAxis(p, b, m_painted[size_t(c)].second);
            p.setPen(info.colour);
            p.drawText(QRectF(kLeft + 4, b.top, right() - kLeft - 8, 12),
                       Qt::AlignLeft | Qt::AlignTop, info.name);
        }
    // The X axis in times when they are known, else in frames.
    const timeaxis::ScreenTimes times = screenTimes();
    std::vector<timeaxis::Tick> xTicks = timeaxis::ticks(times.seconds, times.wallFirstNs);
    if (!times.known())
        for (double t : axis::ticks({double(frameNumber(0)), double(frameNumber(m_frames - 1))}, 8))
            xTicks.push_back(
                {double(std::llround(t - double(frameNumber(0)))), QString::number(t, 'f', 0)});
    for (const timeaxis::Tick& t : xTicks) {
        const double x = kLeft + (right() - kLeft) * t.at / (m_frames - 1);
        p.setPen(QColor(0xC0, 0xC0, 0xC0));
        p.drawLine(QPointF(x, kTop), QPointF(x, bottom()));
        p.setPen(Qt::black);
        p.drawText(QRectF(x - 40, bottom() + 1, 80, 12), Qt::AlignHCenter | Qt::AlignTop, t.text);
    }
    p.setPen(Qt::black);
    p.drawLine(QPointF(kLeft, kTop), QPointF(kLeft, bottom()));
    p.drawLine(QPointF(kLeft, bottom()), QPointF(right(), bottom()));
    p.drawText(QRectF(kLeft + 2, 0, right() - kLeft - 2, kTop), Qt::AlignLeft | Qt::AlignVCenter,
               countersText());
    if (!m_store) return;

    p.save();
    p.setClipRect(QRectF(kLeft, kTop, right() - kLeft, bottom() - kTop).adjusted(0, -1, 1, 1));
    p.setRenderHint(QPainter::Antialiasing);
    const bool enveloped = this->enveloped();
    if (enveloped) paintEnvelope(p);
    // Where bytes were skipped: a dotted mark across the plot.
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1, Qt::DotLine));
    for (int k = 1; !enveloped && k < m_frames; ++k)
        if (m_store->skippedBefore(m_first + uint64_t(k)))
            p.drawLine(QPointF(xAt(k), kTop), QPointF(xAt(k), bottom()));
    // A jump in time (a stall, a reconnect): a dashed mark.
    p.setPen(QPen(QColor(0xE0, 0x60, 0x00), 1, Qt::DashLine));
    for (int k : times.gaps)
        p.drawLine(QPointF(xAt(k), kTop), QPointF(xAt(k), bottom()));
    for (int c = 0; !enveloped && c < m_store->channelCount(); ++c) {
        const ChannelInfo& info = m_store->channel(c);
        if (!info.visible) continue;
        QPainterPath path;
        bool drawing = false;
        for (int k = 0; k < m_frames; ++k) {
            const uint64_t f = m_first + uint64_t(k);
            const double v = m_store->value(c, f);
            if (!std::isfinite(v)) {
                drawing = false;
                continue;
            }
            const QPointF at(xAt(k), yAt(c, v));
            if (drawing && !m_store->skippedBefore(f))
                path.lineTo(at);
            else
                path.moveTo(at);
            drawing = true;
        }
        p.setPen(QPen(info.colour, 1));
        p.drawPath(path);
    }
    p.restore();

    for (int i = 0; i < 2; ++i) {
        if (!m_cursors[i] || *m_cursors[i] >= m_frames) continue;
        p.setPen(kCursorColours[i]);
        p.drawLine(QPointF(xAt(*m_cursors[i]), kTop), QPointF(xAt(*m_cursors[i]), bottom()));
    }
    const int chosen = cursorChannel();
    const lanes::Band chosenBand = band(chosen);
    for (int i = 0; i < 2; ++i) {
        if (!m_yCursors[i]) continue;
        const double y = yAt(chosen, *m_yCursors[i]);
        if (y < chosenBand.top || y > chosenBand.bottom) continue;
        p.setPen(QPen(kCursorColours[i], 1, Qt::DashLine));
        p.drawLine(QPointF(kLeft, y), QPointF(right(), y));
    }
    // The trigger's level, on its own channel only.
    if (m_level && chosen == m_chosen) {
        const double y = yAt(chosen, *m_level);
        p.setPen(QPen(kTriggerColour, 1, Qt::DashLine));
        if (y >= chosenBand.top && y <= chosenBand.bottom)
            p.drawLine(QPointF(kLeft, y), QPointF(right(), y));
    }
    if (m_hover) {
        p.setPen(QColor(0xA0, 0xA0, 0xA0));
        p.drawLine(QPointF(xAt(*m_hover), kTop), QPointF(xAt(*m_hover), bottom()));
    }

    // The legend: the newest value of the screen for each channel, or the value under the free
    // cursor, whose frame and time follow the rows.
    const std::optional<uint64_t> read = legendFrame();
    for (int c = 0; c < m_store->channelCount(); ++c) {
        const ChannelInfo& info = m_store->channel(c);
        const QRectF row = legendRow(c);
        p.fillRect(row, QColor(255, 255, 255, 220));
        p.fillRect(QRectF(row.left() + 2, row.top() + 3, 8, 8),
                   info.visible ? info.colour : QColor(0xE0, 0xE0, 0xE0));
        p.setPen(info.visible ? Qt::black : Qt::gray);
        const double v = read ? m_store->value(c, *read) : NAN;
        p.drawText(row.adjusted(14, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, info.name);
        p.drawText(row.adjusted(14, 0, -2, 0), Qt::AlignRight | Qt::AlignVCenter, valueText(v));
    }
    if (m_hover) {
        const QRectF row = legendRow(m_store->channelCount() - 1).translated(0, kLegendRowPx);
        p.fillRect(row, QColor(255, 255, 255, 220));
        p.setPen(Qt::black);
        p.drawText(row.adjusted(2, 0, -2, 0), Qt::AlignLeft | Qt::AlignVCenter, hoverText());
    }
}

std::optional<uint64_t> ChannelPane::legendFrame() const {
    if (m_hover) return m_first + uint64_t(*m_hover);
    const uint64_t newest =
        m_store ? std::min(m_first + uint64_t(m_frames), m_store->frameCount()) : 0;
    if (newest == 0) return std::nullopt;
    return newest - 1;
}

QString ChannelPane::hoverText() const {
    if (!m_hover) return {};
    const QString time = timeaxis::cursorTexts(screenTimes(), {m_hover, std::nullopt})[0];
    return QStringLiteral("#%1  %2").arg(frameNumber(*m_hover)).arg(time).trimmed();
}

void ChannelPane::setHover(std::optional<int> k) {
    if (k == m_hover) return;
    m_hover = k;
    update();
    emit hoverChanged();
}

void ChannelPane::mouseMoveEvent(QMouseEvent* event) {
    const QPointF at = event->position();
    setHover(at.y() >= kTop && at.y() <= bottom() ? indexAt(at.x()) : std::nullopt);
}

void ChannelPane::leaveEvent(QEvent*) {
    setHover(std::nullopt);
}

void ChannelPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !m_store) return;
    for (int c = 0; c < m_store->channelCount(); ++c) {
        if (!legendRow(c).contains(event->position())) continue;
        m_store->setVisible(c, !m_store->channel(c).visible);
        return;
    }
}

void ChannelPane::contextMenuEvent(QContextMenuEvent* event) {
    emit contextMenuAt(event->globalPos());
}
