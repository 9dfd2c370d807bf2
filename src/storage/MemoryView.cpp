#include <QCoreApplication>
#include <QLabel>
#include <QScrollBar>
#include <algorithm>

#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "toolkit/CountText.h"

namespace {
// The fetch lets the window breathe once every this many bytes.
constexpr int kBytesBetweenPauses = 4096;
} // namespace

void frms_RS_GRAPH_1::Cmd_Memory_Click() {
    AppState& s = app();
    if (iMemBusy == 1 || iScrollBusy == 1) return;
    // The fetch lets events run: keep the receive tick off the graph and a second click out.
    s.iLiveDraw = 0;
    iMemBusy = 1;
    xsubMemLoad();
    xsubDataFileClose();

    s.iDispMode = kDispMemory;
    iScrollBusy = 1;
    xsubPosBarSetup();
    lbl_data_su->setText(xfunCountText(s.lMemCount));
    s.lMemTop = std::max(s.lMemCount - s.ChData[0].iXDim, 0);
    // Opens on the newest screen; iBarLast stays 0, so the first arrow click is taken as a jump.
    HScroll1->setValue(HScroll1->maximum());
    xsubGraphRequest();
    xsubDispMemory();
    iScrollBusy = 0;
    iMemBusy = 0;
    s.iLiveDraw = 1;
}

void frms_RS_GRAPH_1::xsubMemLoad() {
    AppState& s = app();
    int32_t count = 0;
    s.engine->MoveLastFirst(count);
    // Never trust a count beyond the buffer: the copy must not write past bMemBuf.
    s.lMemCount = std::clamp(count, 0, kMemBufSize);
    int sincePause = 0;
    for (int32_t i = 0; i < s.lMemCount; ++i) {
        if (++sincePause > kBytesBetweenPauses) {
            QCoreApplication::processEvents();
            sincePause = 0;
        }
        s.engine->MoveLastData(s.bMemBuf[static_cast<size_t>(i)], i);
    }
}
