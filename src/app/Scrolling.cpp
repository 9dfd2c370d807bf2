#include <QScrollBar>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "graph/ScrollMath.h"

// The File and Memory views show one screen of a longer series; these helpers give the series
// and the view position of whichever of the two is shown (any mode but File counts as Memory).
namespace {
bool fileMode() {
    return app().iDispMode == kDispFile;
}
int64_t seriesLength() {
    return fileMode() ? app().lFileLen : app().lMemCount;
}
int64_t viewTop() {
    return fileMode() ? app().lFileTop : app().lMemTop;
}
int screenWidth() {
    return app().ChData[0].iXDim;
}

void setViewTop(int64_t top) {
    if (fileMode())
        app().lFileTop = top;
    else
        app().lMemTop = static_cast<int32_t>(top);
}
} // namespace

int16_t frms_RS_GRAPH_1::xfunViewStepFwd() {
    if (viewTop() >= seriesLength() - screenWidth()) return 0;
    setViewTop(viewTop() + 1);
    return -1;
}

int16_t frms_RS_GRAPH_1::xfunViewStepBack() {
    if (viewTop() <= 0) return 0;
    setViewTop(viewTop() - 1);
    return -1;
}

void frms_RS_GRAPH_1::xsubPosBarSync() {
    HScroll1->setValue(
        nav::barValueFor(viewTop(), seriesLength(), screenWidth(), HScroll1->maximum()));
    iBarLast = static_cast<int16_t>(HScroll1->value());
}

void frms_RS_GRAPH_1::HScroll1_Change() {
    if (iScrollBusy == 1) return;
    iScrollBusy = 1;
    const int value = HScroll1->value();
    const int d = iBarLast - value;
    const int64_t top = viewTop();
    // Only a move of exactly one unit from where the program left the thumb is an arrow click,
    // which always moves one sample, however coarse the bar is for a long series.
    if (d == -1) {
        if (top < seriesLength() - screenWidth()) setViewTop(top + 1);
    } else if (d == 1) {
        if (top > 0) setViewTop(top - 1);
    } else {
        setViewTop(
            nav::positionForBarValue(value, HScroll1->maximum(), seriesLength(), screenWidth()));
    }
    xsubPosBarSync();
    xsubGraphDrawView(0);
    xsubCurXPlace();
    xsubCurYPlace();
    iScrollBusy = 0;
}

void frms_RS_GRAPH_1::HScroll2_Change() {
    if (iScrollBusy == 1) return;
    iScrollBusy = 1;
    if (HScroll2->value() != 0)
        setViewTop(nav::pageForward(viewTop(), seriesLength(), screenWidth()));
    else
        setViewTop(nav::pageBack(viewTop(), screenWidth()));
    xsubPosBarSync();
    HScroll2->setValue(1);
    xsubGraphDrawView(0);
    xsubCurXPlace();
    iScrollBusy = 0;
}

void frms_RS_GRAPH_1::xsubPosBarSetup() {
    if (app().iDispMode == kDispScanning) {
        HScroll1->setVisible(false);
        HScroll2->setVisible(false);
        return;
    }
    const int64_t T = seriesLength();
    const int N = screenWidth();
    const bool visible = fileMode() ? T > N : T >= N;
    HScroll1->setVisible(visible);
    HScroll2->setVisible(visible);
    // A drag reports only where it ends: while it runs, its one-unit moves would otherwise be
    // taken for arrow clicks and the thumb pulled back under the pointer.
    HScroll1->setTracking(false);
    const int barMax = nav::barMaxFor(T, fileMode());
    HScroll1->setMaximum(barMax);
    HScroll1->setPageStep(nav::barLargeChangeFor(barMax));
    HScroll1->setMinimum(0);
    HScroll1->setValue(0);
    iBarLast = 0;
}
