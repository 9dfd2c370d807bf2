// The channel pane zoomed out past a frame a pixel column.
#include <QPainter>
#include <QPainterPath>

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
    for (int i = 0; i < m_store->channelCount(); ++i) {
        const std::vector<ValueRange>& ranges = m_env.channels[std::size_t(i)];
        if (ranges.empty()) continue;
        // Each column a stroke from its lowest to its highest value and on to the next
        // column's, so a steady signal draws as a line and a lone spike as a tall stroke; a
        // column of gaps or one after skipped bytes breaks the line.
        QPainterPath path;
        bool drawing = false;
        bool down = false;
        for (int c = 0; c < n; ++c) {
            const ValueRange& r = ranges[std::size_t(c)];
            if (r.empty()) {
                drawing = false;
                continue;
            }
            const QPointF lo(columnX(c), yAt(r.lo));
            const QPointF hi(columnX(c), yAt(r.hi));
            const QPointF& from = down ? hi : lo;
            if (drawing && !m_env.skipped[std::size_t(c)])
                path.lineTo(from);
            else
                path.moveTo(from);
            path.lineTo(down ? lo : hi);
            down = !down;
            drawing = true;
        }
        p.setPen(QPen(m_store->channel(i).colour, 1));
        p.drawPath(path);
    }
}
