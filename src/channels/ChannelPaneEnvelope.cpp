// The channel pane zoomed out past a frame a pixel column.
#include <QPainter>
#include <cmath>

#include "channels/ChannelPane.h"
#include "channels/ChannelStore.h"

void ChannelPane::setZoomed(bool zoomed) {
    if (zoomed == m_zoomed) return;
    m_zoomed = zoomed;
    m_env = {};
    // Another kind of screen: the automatic range starts afresh rather than shrink slowly
    // from the other's.
    m_auto = {};
    // Unzoomed, the screen the caller shows next gives the range.
    if (zoomed)
        refresh();
    else
        update();
}

int ChannelPane::columns() const {
    return std::max(1, static_cast<int>(right() - kLeft));
}

bool ChannelPane::enveloped() const {
    return m_zoomed && m_store && m_frames > columns();
}

void ChannelPane::paintEnvelope(QPainter& p) {
    const int n = columns();
    // A grown or shrunk pane has other columns than the screen was refreshed for.
    if (m_env.skipped.size() != std::size_t(n))
        m_env = channelEnvelope(*m_store, m_first, m_frames, n);
    // Columns over the whole screen: one running past the store's end leaves its end empty.
    const auto columnX = [&](int c) { return kLeft + (c + 0.5) * (right() - kLeft) / n; };
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1, Qt::DotLine));
    for (int c = 0; c < n; ++c)
        if (m_env.skipped[std::size_t(c)])
            p.drawLine(QPointF(columnX(c), kTop), QPointF(columnX(c), bottom()));
    p.setRenderHint(QPainter::Antialiasing, false);
    for (int i = 0; i < m_store->channelCount(); ++i) {
        const std::vector<ValueRange>& ranges = m_env.channels[std::size_t(i)];
        if (ranges.empty()) continue;
        const QColor colour = m_store->channel(i).colour;
        // Each column a bar from its lowest to its highest value, reaching to the last
        // column's so a steep signal stays one line; a lone spike is a tall bar. A column of
        // gaps or one after skipped bytes breaks the line. Bars a pixel wide are filled, not
        // stroked: a screen of millions of frames draws as fast as a quiet one.
        ValueRange last; // empty: the line breaks here
        for (int c = 0; c < n; ++c) {
            const ValueRange& r = ranges[std::size_t(c)];
            if (r.empty()) {
                last = {};
                continue;
            }
            if (m_env.skipped[std::size_t(c)]) last = {};
            const double lo = last.empty() ? r.lo : std::min(r.lo, last.hi);
            const double hi = last.empty() ? r.hi : std::max(r.hi, last.lo);
            const int top = static_cast<int>(std::floor(yAt(i, hi)));
            const int low = static_cast<int>(std::floor(yAt(i, lo)));
            p.fillRect(QRect(static_cast<int>(std::floor(columnX(c))), top, 1, low - top + 1),
                       colour);
            last = r;
        }
    }
    p.setRenderHint(QPainter::Antialiasing);
}
