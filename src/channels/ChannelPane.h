#pragma once

#include <QPointer>
#include <QRectF>
#include <QWidget>
#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "channels/AxisRange.h"
#include "channels/ChannelEnvelope.h"
#include "channels/ChannelStore.h"
#include "channels/Lanes.h"
#include "channels/TimeAxis.h"

class ChannelStore;

// The pane that draws decoded channels where the byte pane is: each visible channel its own
// polyline (broken at gaps and where bytes were skipped, which are marked), a legend with each
// channel's colour, name and newest value (a click hides or shows it), a Y axis with round
// ticks, automatic or typed, and X in frames or in times (TimeAxis.h). It shows a screen of a
// ChannelStore: `frames` frames from `first`; the X labels count from `origin`. It owns no data.
// In lanes (Lanes.h) each visible channel has a band of its own with its own axis and range.
class ChannelPane : public QWidget {
    Q_OBJECT
public:
    // The plot's frame in pixels, as the byte pane's axes lie: at the pane's default size of
    // 588 x 360 its right edge is at 568 and its bottom at 336; a grown pane keeps the margins.
    static constexpr double kLeft = 48, kTop = 16, kRightMargin = 20, kBottomMargin = 24;
    static constexpr double kLabelRowPx = 14;
    double right() const { return width() - kRightMargin; }
    double bottom() const { return height() - std::max(kBottomMargin, m_footRoom + kLabelRowPx); }
    // Pixels at the pane's foot that something over it (the views' scroll bars) covers: the
    // plot rises so that its X labels stay above them.
    void setFootRoom(double px);

    explicit ChannelPane(QWidget* parent = nullptr);

    // The live screen: the newest `frames` frames of store, followed as it grows.
    void showLive(ChannelStore* store, int frames);
    // A fixed screen: frames from `first` of store, numbered from `origin` (nullopt: the
    // numbers are not known, the labels count from the screen's start).
    void showScreen(ChannelStore* store, uint64_t first, int frames,
                    std::optional<uint64_t> origin);
    // nullopt: automatic.
    void setTypedRange(std::optional<axis::Range> range);
    std::optional<axis::Range> typedRange() const { return m_typed; }
    // What X shows: frames, or times where the frames have them.
    void setTimeAxis(const timeaxis::Choice& choice);
    timeaxis::Choice timeAxis() const { return m_timeAxis; }
    timeaxis::ScreenTimes screenTimes() const;
    // Zoomed, a screen of more frames than the plot has pixel columns draws each column's
    // lowest and highest values (ChannelEnvelope.h); unzoomed, every frame is a point.
    void setZoomed(bool zoomed);
    bool zoomed() const { return m_zoomed; }
    // X cursors: screen index of each, or nullopt when off.
    void setCursors(const std::array<std::optional<int>, 2>& at);
    // Y cursors: the value each stands at, in units, or nullopt when off.
    void setYCursors(const std::array<std::optional<double>, 2>& at);

    // One lane per visible channel, or all on one axis (the default).
    void setLanes(bool on);
    bool lanes() const { return m_lanes; }
    // The channel the Y cursors and the trigger's level read; in lanes they stand in its lane.
    void setChosenChannel(int channel);
    int cursorChannel() const;
    // The channel trigger's level in units, drawn as the byte trigger's line; nullopt: none.
    void setTriggerLevel(std::optional<double> level);

    axis::Range yRange() const;
    // The range channel c is drawn on: its lane's with lanes on, else the shared one.
    axis::Range yRange(int channel) const;
    // The band of the plot channel c is drawn in (the whole plot without lanes).
    lanes::Band band(int channel) const;
    // The screen index under pixel column x, nullopt off the plot.
    std::optional<int> indexAt(double x) const;
    // The screen index the mouse is over (the free cursor), nullopt when it is off the plot.
    std::optional<int> hovered() const { return m_hover; }
    // The frame the legend's values are of: the free cursor's, else the screen's newest.
    std::optional<uint64_t> legendFrame() const;
    // What the legend says under its rows for the free cursor: its frame number and time.
    QString hoverText() const;
    uint64_t firstFrame() const { return m_first; }
    int framesPerScreen() const { return m_frames; }
    ChannelStore* store() const { return m_store; }
    // The frame number screen index k has, as labelled.
    uint64_t frameNumber(int k) const;
    // Where channel i's legend row lies (empty when it has none).
    QRectF legendRow(int channel) const;
    // What the counters line says.
    QString countersText() const;

signals:
    void contextMenuAt(const QPoint& global);
    // The free cursor moved to another frame or off the plot, or the screen under it changed.
    void hoverChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void follow();
    void refresh();
    double xAt(int k) const;
    int columns() const;
    bool enveloped() const;
    void paintEnvelope(QPainter& p);
    double yAt(int channel, double v) const;
    void setHover(std::optional<int> k);
    std::vector<bool> shown() const;
    void drawYAxis(QPainter& p, const lanes::Band& band, const axis::Range& r);

    QPointer<ChannelStore> m_store;
    bool m_live = false;
    uint64_t m_first = 0;
    int m_frames = 200;
    std::optional<uint64_t> m_origin;
    std::optional<axis::Range> m_typed;
    axis::AutoRange m_auto;
    lanes::Ranges m_laneRanges;
    bool m_lanes = false;
    int m_chosen = 0;
    std::optional<double> m_level;
    std::optional<int> m_hover;
    // Each channel's band and range as the picture being painted has them.
    std::vector<std::pair<lanes::Band, axis::Range>> m_painted;
    std::array<std::optional<int>, 2> m_cursors{};
    std::array<std::optional<double>, 2> m_yCursors{};
    timeaxis::Choice m_timeAxis;
    QMetaObject::Connection m_storeLinks[2];
    bool m_zoomed = false;
    double m_footRoom = 0;
    ChannelColumns m_env; // while enveloped(), of the screen as last refreshed
};
