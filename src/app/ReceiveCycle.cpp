#include <QLabel>
#include <QTimer>
#include <algorithm>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "serial/ReceivePipeline.h"
#include "toolkit/CountText.h"
#include "toolkit/PictureBox.h"

namespace {

// Lamp rows 0..5 (RTS, CTS, DTR, DSR, DCD, RI) and their modem status bits.
constexpr uint8_t kLampBits[6] = {0x01, 0x10, 0x02, 0x20, 0x80, 0x40};

// The most ticks one wake catches up on, should the program have been held up for long.
constexpr int64_t kMostTicksPerWake = 100;

} // namespace

// A wake every millisecond would cost more than all that the ticks do, while their results are
// painted some thirty times a second: the timer wakes every kReceiveWakeMs and runs the ticks due
// since. A test pattern so still makes one sample a millisecond. A port whose reader tells of its
// bytes wakes this once a frame while they stream, right after a read, so the picture painted at
// once shows them; the timer then only polls behind it. A port's first tick fetches all that
// arrived; the ones after it run only while fetches come back full.
void frms_RS_GRAPH_1::xsubReceiveTicksDue() {
    const int64_t now = m_tickClock.elapsed();
    const int64_t due = std::clamp<int64_t>(now - m_tickClockDone, 1, kMostTicksPerWake);
    m_tickClockDone = now;
    for (int64_t i = 0; i < due && Timer_Receive->isActive(); ++i) {
        Timer_Receive_Timer();
        if (app().iScanSource != kSourceTest && !Reception->fetchWasFull()) break;
    }
    if (!Timer_Receive->isActive()) return;
    // A replay tells of nothing: its bytes fall due by the clock.
    const bool told =
        app().iScanSource == kSourceCom && Reception->engineTells() && !Reception->replay();
    if (told)
        Timer_Receive->start(kReceivePollMs);
    else if (Timer_Receive->interval() != kReceiveWakeMs)
        Timer_Receive->start(kReceiveWakeMs);
}

void frms_RS_GRAPH_1::Timer_Receive_Timer() {
    AppState& s = app();
    const ReceivePipeline::Tick t = Reception->tick();
    xsubLensFed(t.bytes, t.byteCount, t.times);
    if (t.logEnded) {
        xsubLogButton();
        xsubLensLogEnded();
    }
    if (t.samplesAdded && s.iLiveDraw == 1 && s.iDispMode == kDispScanning) {
        // An armed trigger decides below whether the new samples change the picture.
        if (!trigger.armed()) {
            iRedrawReq = 1;
            iClearReq = 1;
        }
        lbl_data_su->setText(xfunCountText(s.lRcvCount));
    }
    if (t.modemStatus) xsubModemLamps(*t.modemStatus);
    if (t.portLost) {
        xsubPortLabels();
        xsubLineButtons();
    }
    xsubTalkAfterTick();

    const ChannelRecord& ch = s.ChData[0];
    if (trigger.armed() && s.iLiveDraw == 1 && s.iDispMode == kDispScanning &&
        trigger.update(ini::xfunRingView(), ch.iXDim, ch.iSigned, clockMs())) {
        iRedrawReq = 1;
        iClearReq = 1;
        xsubTriggerPlace();
    }

    if (iXAxisReq == 1) {
        xsubCurXPlace();
        iXAxisReq = 0;
    }
    if (iYAxisReq == 1) {
        xsubCurYPlace();
        iYAxisReq = 0;
    }
    if (iRedrawReq == 1 && s.iDispMode == kDispScanning) {
        // While a lens is on, the byte pane keeps its picture beneath the channel pane.
        if (xfunLensOn()) {
            xsubLensDraw();
        } else {
            if (iClearReq == 1) pic_graph->Cls();
            xsubGraphDrawLive(0);
        }
        iRedrawReq = 0;
    }
    iClearReq = 0;
}

void frms_RS_GRAPH_1::Timer_Reconnect_Timer() {
    if (!Reception->reconnect()) return;
    xsubLensRestart();
    xsubPortLabels();
    xsubLineButtons();
}

void frms_RS_GRAPH_1::xsubModemLamps(uint8_t status) {
    for (int i = 0; i < 6; ++i) {
        const bool on = (status & kLampBits[i]) != 0;
        lblmsd[i]->setVisible(!on);
        lblmsdo[i]->setVisible(on);
    }
}
