#include <QLabel>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "dialogs/NoticeQueue.h"
#include "serial/PortNotices.h"
#include "storage/FileErrors.h"
#include "toolkit/CountText.h"
#include "toolkit/PictureBox.h"

namespace {

// Lamp rows 0..5 (RTS, CTS, DTR, DSR, DCD, RI) and their modem status bits.
constexpr uint8_t kLampBits[6] = {0x01, 0x10, 0x02, 0x20, 0x80, 0x40};

// The most ticks one wake catches up on, should the program have been held up for long.
constexpr int64_t kMostTicksPerWake = 100;

void addToCount(int32_t added) {
    int32_t& count = app().lRcvCount;
    count = static_cast<int32_t>(std::min<int64_t>(int64_t{count} + added, kRcvCountMax));
}

} // namespace

// A wake every millisecond would cost more than all that the ticks do, while their results are
// painted some thirty times a second: the timer wakes every kReceiveWakeMs and runs the ticks due
// since. A test pattern so still makes one sample a millisecond. A port's first tick fetches all
// that arrived; the ones after it run only while fetches come back full.
void frms_RS_GRAPH_1::xsubReceiveTicksDue() {
    const int64_t now = m_tickClock.elapsed();
    const int64_t due = std::clamp<int64_t>(now - m_tickClockDone, 1, kMostTicksPerWake);
    m_tickClockDone = now;
    for (int64_t i = 0; i < due && Timer_Receive->isActive(); ++i) {
        Timer_Receive_Timer();
        if (app().iScanSource != kSourceTest && !m_fetchWasFull) break;
    }
}

void frms_RS_GRAPH_1::Timer_Receive_Timer() {
    AppState& s = app();

    const auto showCountIfLive = [this, &s] {
        if (s.iLiveDraw != 1 || s.iDispMode != kDispScanning) return;
        // An armed trigger decides below whether the new samples change the picture.
        if (!trigger.armed()) {
            iRedrawReq = 1;
            iClearReq = 1;
        }
        lbl_data_su->setText(xfunCountText(s.lRcvCount));
    };

    if (s.iScanSource == kSourceTest) {
        ini::xsubRingAdd(0, ini::xfunTestData());
        addToCount(1);
        showCountIfLive();
    } else if (s.iScanSource == kSourceCom && s.iPortOpen == 1) {
        int32_t count = 0;
        int32_t scratch = 0;
        s.engine->RcvDataFirst(count, scratch, s.iLogOn, s.iLogSt, s.lRcvAux);
        m_fetchWasFull = count >= tessavue::SerialEngine::kMaxBytesPerFetch;
        if (s.iLogSt != tessavue::SerialEngine::kLogContinues && s.iLogOn == 1) {
            s.iLogOn = 0;
            s.engine->LogStop();
            s.strLogFile.clear();
            xsubLogButton();
            // The engine closed the log because a write failed (its errno) or its reader fell
            // behind, not at the size limit: the user must learn that the log is incomplete.
            if (s.iLogSt > 0)
                Notices->post(appSub::fileErrText(appSub::fileErrCodeFromErrno(s.iLogSt)));
            else if (s.iLogSt == tessavue::SerialEngine::kLogStalled)
                Notices->post(xfunLogStalledText());
        }
        if (count != 0) {
            for (int32_t i = 0; i < count; ++i) {
                uint8_t value = 0;
                s.engine->RcvDataNext(value, static_cast<int16_t>(i));
                ini::xsubRingAdd(0, value);
            }
            addToCount(count);
            showCountIfLive();
        }
        uint8_t status = 0;
        s.engine->ReadModemStatus(status);
        xsubModemLamps(status);
        if (s.engine->portLost()) {
            xsubPortLost();
            Notices->post(xfunPortLostText(s.strPortName));
        }
    }
    if (const QString dropped = xfunDroppedNotice(); !dropped.isEmpty()) Notices->post(dropped);

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
        if (iClearReq == 1) pic_graph->Cls();
        xsubGraphDrawLive(0);
        iRedrawReq = 0;
    }
    iClearReq = 0;
}

void frms_RS_GRAPH_1::xsubPortLost() {
    AppState& s = app();
    s.engine->CloseCommPort();
    s.iPortOpen = 0;
    s.iPortLost = 1;
    xsubPortLabels();
    xsubLineButtons();
    Timer_Reconnect->start();
}

void frms_RS_GRAPH_1::Timer_Reconnect_Timer() {
    AppState& s = app();
    if (s.iPortLost == 1 && s.iScanSource == kSourceCom && s.iPortOpen == 0) {
        if (s.engine->reopenCommPort() != -1) return;
        s.iPortOpen = 1;
        s.iPortLost = 0;
        xsubPortLabels();
        xsubLineButtons();
    }
    Timer_Reconnect->stop();
}

QString frms_RS_GRAPH_1::xfunDroppedNotice() {
    // Told once the count holds still for a tick, so a burst of drops gives one notice.
    const uint64_t dropped = app().engine->droppedBytes();
    if (dropped < m_droppedSeen) m_droppedReported = 0; // the engine counts afresh
    QString notice;
    if (dropped > m_droppedReported && dropped == m_droppedSeen) {
        notice = xfunBytesLostText(dropped - m_droppedReported);
        m_droppedReported = dropped;
    }
    m_droppedSeen = dropped;
    return notice;
}

void frms_RS_GRAPH_1::xsubModemLamps(uint8_t status) {
    for (int i = 0; i < 6; ++i) {
        const bool on = (status & kLampBits[i]) != 0;
        lblmsd[i]->setVisible(!on);
        lblmsdo[i]->setVisible(on);
    }
}

int16_t ini::xfunTestData() {
    AppState& s = app();
    switch (s.iTestKind) {
    case 0:
        s.bSawLevel = s.bSawLevel == 255 ? 0 : s.bSawLevel + 1;
        return s.bSawLevel;
    case 1: {
        const float sine = static_cast<float>(std::sin(s.dSinAngle * std::numbers::pi / 180));
        const auto v = static_cast<int32_t>(std::nearbyint(static_cast<double>(sine) * 100));
        s.dSinAngle = s.dSinAngle < 359 ? s.dSinAngle + 1 : 0;
        return static_cast<int16_t>(v & 0xFF);
    }
    case 2:
        if (++s.iTriTick == 10) {
            s.iTriTick = 0;
            if (s.iTriDown == 0) {
                s.iTriLevel += 10;
                if (s.iTriLevel >= 127) {
                    s.iTriLevel = 127;
                    s.iTriDown = 1;
                }
            } else {
                s.iTriLevel -= 10;
                if (s.iTriLevel <= -128) {
                    s.iTriLevel = -128;
                    s.iTriDown = 0;
                }
            }
        }
        return static_cast<int16_t>(s.iTriLevel & 0xFF);
    default:
        return 0;
    }
}
