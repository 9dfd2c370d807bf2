#pragma once

#include <QObject>
#include <memory>
#include <optional>
#include <sys/types.h>

#include "graph/ZoomMath.h"

class OverviewIndex;
class QProgressBar;
class QTimer;
class QToolButton;
class frms_RS_GRAPH_1;

// The byte pane zoomed in the File and Memory views: Ctrl + wheel changes the samples per
// screen from 10 up to the whole series, "全体" shows it all, the wheel and a drag with the left
// button pan. The X dimension stays the view's own setting: unzoomed, the pane draws exactly as
// before, and a new X dimension, "Clear" or another view return to it. A screen with more
// samples than the pane has pixel columns draws each column's lowest and highest sample; for a
// file they come from its overview, built beside the window as soon as the file is shown, with
// a bar telling how far it got.
class ByteZoom : public QObject {
    Q_OBJECT
public:
    explicit ByteZoom(frms_RS_GRAPH_1* form);
    ~ByteZoom() override;

    bool zoomed() const { return m_view.span > 0; }
    ZoomSpan view() const { return m_view; }
    // Back to the X dimension's own screen (the caller draws again).
    void reset();
    // The view shown changed (mode, file): the zoom ends, the "全体" button follows the mode.
    void viewChanged();
    // Draws the zoomed screen into the pane; xsubGraphDrawView calls it while zoomed().
    void draw();
    // Makes sure the shown file has its overview (called whenever File mode draws).
    void follow();

    // The sample of the zoomed screen under pane x (twips), counted from the screen's left.
    std::optional<int64_t> sampleAt(float x) const;

    // The zoom as the wheel, a drag and the button set it, drawn at once.
    void zoomBy(int notches, double anchor);
    void showWhole();
    void panBy(int64_t samples);

    QToolButton* Cmd_Whole = nullptr;
    QProgressBar* bar_Overview = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int64_t seriesLength() const;
    // The view as it stands unzoomed: from the view's top, one X dimension wide.
    ZoomSpan current() const;
    void apply(ZoomSpan v);
    void progress();

    frms_RS_GRAPH_1* m_form;
    ZoomSpan m_view;
    std::unique_ptr<OverviewIndex> m_index;
    // Which file the overview is of.
    dev_t m_dev = 0;
    ino_t m_ino = 0;
    int64_t m_indexedLength = -1;
    QTimer* m_poll = nullptr;
    // Where a drag last was, in pixels; negative while no drag runs.
    double m_dragX = -1;
    int64_t m_dragTop = 0;
};
