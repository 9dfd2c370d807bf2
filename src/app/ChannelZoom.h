#pragma once

#include <QObject>
#include <cstdint>
#include <optional>

#include "app/state/AppState.h"
#include "graph/ZoomMath.h"

class QAction;
class frms_RS_GRAPH_1;

// The channel pane zoomed, as the byte pane is: Ctrl + wheel changes the frames per screen
// from 10 up to every frame the screen's store holds, "全体" (the button in the File and Memory
// views, the pane's menu in every view) shows them all, the wheel and a drag with the left
// button pan. Live, the zoom is how many of the newest frames are shown, and there is nothing
// to pan. In the File and Memory views the zoom holds a series decoded once as it begins: the
// whole recent copy, or up to kSeriesFrames frames of a file from the view's top; moving the
// view's top ends it. The X dimension stays the view's own setting: a new X dimension, "Clear"
// or another view return to the unzoomed pane.
class ChannelZoom : public QObject {
    Q_OBJECT
public:
    // Every frame of a recent copy of one-byte frames.
    static constexpr int kSeriesFrames = kMemBufSize;
    // What the store of the File and Memory views holds: a series and the decoder's last chunk.
    static constexpr int kViewStoreFrames = kSeriesFrames + 4096;

    explicit ChannelZoom(frms_RS_GRAPH_1* form);

    bool zoomed() const { return m_view.span > 0; }
    ZoomSpan view() const { return m_view; }
    // Back to the X dimension's own screen, drawn at the next draw.
    void reset();
    // Shows the zoomed screen (xsubLensDraw calls it while zoomed()); false when the zoom
    // ended because the view moved on, and the caller draws the unzoomed screen.
    bool draw();
    // The screen index an X cursor at index k of the X dimension's screen stands on: the same
    // place across the plot.
    int cursorIndex(int k) const;

    void zoomBy(int notches, double anchor);
    void showWhole();
    void panBy(int64_t frames);

    QAction* mnu_LensWhole = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool live() const;
    // Whether zooming can start or go on in the view shown.
    bool usable() const;
    // In the File and Memory views, decodes the series when the zoom begins; false when there
    // is none.
    bool holdSeries();
    int64_t seriesLength() const;
    // The screen as it stands: zoomed, or the X dimension's.
    ZoomSpan current() const;
    void apply(ZoomSpan v);
    void show();

    frms_RS_GRAPH_1* m_form;
    ZoomSpan m_view;
    // The view's top the series was decoded at (-1: none), the number of its first frame when
    // known, and its frame the unzoomed screen starts with.
    int64_t m_seriesTop = -1;
    std::optional<uint64_t> m_seriesOrigin;
    int64_t m_topFrame = 0;
    // Where a drag last was, in pixels; negative while no drag runs.
    double m_dragX = -1;
    int64_t m_dragTop = 0;
};
