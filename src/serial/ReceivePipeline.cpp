#include "serial/ReceivePipeline.h"

#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

#include "app/state/AppState.h"
#include "serial/PortNotices.h"
#include "serial/Replay.h"
#include "storage/FileErrors.h"
#include "toolkit/RepaintThrottle.h"

namespace {

// How often a lost port is tried again.
constexpr int kReconnectMs = 1000;

// News closer than a frame after a fetch would wake the window for a picture it cannot paint yet.
constexpr int64_t kFrameNs = int64_t{kScreenPaintIntervalMs} * 1000000;

int64_t steadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void addToCount(int32_t added) {
    int32_t& count = app().lRcvCount;
    count = static_cast<int32_t>(std::min<int64_t>(int64_t{count} + added, kRcvCountMax));
}

} // namespace

ReceivePipeline::ReceivePipeline(QObject* parent)
    : QObject(parent), reconnectTimer(new QTimer(this)) {
    reconnectTimer->setObjectName(QStringLiteral("Timer_Reconnect"));
    reconnectTimer->setInterval(kReconnectMs);
    if (!app().engine) return;
    m_engineTells = app().engine->setOnBytesWaiting([this] {
        if (steadyNs() - m_lastFetchNs.load(std::memory_order_relaxed) < kFrameNs) return;
        if (m_wakePosted.exchange(true)) return;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_wakePosted = false;
                emit bytesWaiting();
            },
            Qt::QueuedConnection);
    });
}

ReceivePipeline::~ReceivePipeline() {
    // Returns once no reader is still calling into this object.
    if (app().engine) app().engine->setOnBytesWaiting({});
}

ReceivePipeline::Tick ReceivePipeline::tick() {
    AppState& s = app();
    Tick t;
    if (m_replay) {
        fetchFromReplay(t);
    } else if (s.iScanSource == kSourceTest) {
        m_testByte = static_cast<uint8_t>(ini::xfunTestData());
        ini::xsubRingAdd(0, m_testByte);
        addToCount(1);
        t.bytes = &m_testByte;
        t.byteCount = 1;
        t.samplesAdded = true;
    } else if (s.iScanSource == kSourceCom && s.iPortOpen == 1) {
        fetchFromPort(t);
    }
    dropsCheck();
    return t;
}

void ReceivePipeline::fetchFromPort(Tick& t) {
    AppState& s = app();
    int32_t count = 0;
    int32_t scratch = 0;
    s.engine->RcvDataFirst(count, scratch, s.iLogOn, s.iLogSt, s.lRcvAux);
    m_fetchWasFull = count >= tessavue::SerialEngine::kMaxBytesPerFetch;
    if (s.iLogSt != tessavue::SerialEngine::kLogContinues && s.iLogOn == 1) {
        s.iLogOn = 0;
        s.engine->LogStop();
        s.strLogFile.clear();
        t.logEnded = true;
        // The engine closed the log because a write failed (its errno) or its reader fell
        // behind, not at the size limit: the user must learn that the log is incomplete.
        if (s.iLogSt > 0)
            emit notice(appSub::fileErrText(appSub::fileErrCodeFromErrno(s.iLogSt)));
        else if (s.iLogSt == tessavue::SerialEngine::kLogStalled)
            emit notice(xfunLogStalledText());
    }
    if (const int error = s.engine->takeTimeFileError(); error != 0)
        emit notice(xfunTimeFileFailedText(error));
    if (count != 0) {
        m_lastFetchNs.store(steadyNs(), std::memory_order_relaxed);
        s.engine->RcvDataAll(m_fetched.data(), count);
        const std::span<const tessavue::ReadStamp> stamps = s.engine->RcvStamps();
        m_fetchedTimes = {s.engine->portClockAnchor(), s.engine->characterNs(),
                          std::vector(stamps.begin(), stamps.end())};
        s.receivedTimes.setLine(m_fetchedTimes.anchor, m_fetchedTimes.charNs);
        s.receivedTimes.add(stamps, uint64_t(count));
        t.times = &m_fetchedTimes;
        ini::xsubRingAddBytes(0, m_fetched.data(), count);
        addToCount(count);
        t.samplesAdded = true;
        t.bytes = m_fetched.data();
        t.byteCount = count;
    }
    uint8_t status = 0;
    s.engine->ReadModemStatus(status);
    t.modemStatus = status;
    if (s.engine->portLost()) {
        s.engine->CloseCommPort();
        s.iPortOpen = 0;
        s.iPortLost = 1;
        t.portLost = true;
        reconnectTimer->start();
        emit notice(xfunPortLostText(s.strPortName));
    }
}

void ReceivePipeline::setReplay(std::unique_ptr<Replay> replay) {
    m_replay = std::move(replay);
    m_fetchWasFull = false;
}

void ReceivePipeline::fetchFromReplay(Tick& t) {
    int error = 0;
    const size_t count =
        m_replay->take(m_fetched.data(), m_fetched.size(), m_fetchedTimes, steadyNs(), error);
    m_fetchWasFull = count == m_fetched.size();
    if (error != 0) {
        m_replay.reset();
        emit notice(appSub::fileErrText(error));
    }
    if (count == 0) return;
    ini::xsubRingAddBytes(0, m_fetched.data(), int32_t(count));
    addToCount(int32_t(count));
    t.samplesAdded = true;
    t.bytes = m_fetched.data();
    t.byteCount = int32_t(count);
    t.times = m_fetchedTimes.known() ? &m_fetchedTimes : nullptr;
}

void ReceivePipeline::dropsCheck() {
    // Told once the count holds still for a tick, so a burst of drops gives one notice.
    const uint64_t dropped = app().engine->droppedBytes();
    if (dropped < m_droppedSeen) m_droppedReported = 0; // the engine counts afresh
    const bool burstOver = dropped > m_droppedReported && dropped == m_droppedSeen;
    m_droppedSeen = dropped;
    if (!burstOver) return;
    const uint64_t lost = dropped - m_droppedReported;
    m_droppedReported = dropped;
    emit notice(xfunBytesLostText(lost));
}

bool ReceivePipeline::reconnect() {
    AppState& s = app();
    const bool wanted = s.iPortLost == 1 && s.iScanSource == kSourceCom && s.iPortOpen == 0;
    if (wanted && s.engine->reopenCommPort() != -1) return false;
    reconnectTimer->stop();
    if (!wanted) return false;
    s.iPortOpen = 1;
    s.iPortLost = 0;
    return true;
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
