#include "app/state/AppState.h"

#include <QDir>
#include <algorithm>
#include <cassert>
#include <cstring>

#include "app/state/Places.h"

AppState& app() {
    static AppState state;
    return state;
}

namespace ini {

void xsubSetDefaults(const QString& programDir) {
    AppState& s = app();
    s.strAppTitle = QStringLiteral("Tessavue");
    s.iDispMode = kDispScanning;
    const appSub::FilePlaces places = appSub::xfunFilePlaces(programDir);
    s.strSettingsFile = places.settingsFile;
    s.strHomeDir = places.homeDir;
    s.strDataDir = s.strHomeDir;
    s.iLiveDraw = 1;
    s.lLineWidth = 1;
    s.iScanSource = kSourceOff;
    s.iTestKind = 1;
    s.bSawLevel = 100;
    s.lPenColor = 255;
    ChannelRecord& ch = s.ChData[0];
    ch.iXDim = 200;
    ch.iYMax = 130;
    ch.iYMin = -130;
    ch.lColor = s.lPenColor;
    ch.iSigned = 1;
    s.lLogMaxMB = 1;
    s.iPrintDate = 1;
    s.iPrintAuthor = 1;
    s.strPrintAuthor.clear();
    s.iPrintData = 0;
    s.strPortName = QStringLiteral("COM1");
    s.strBaud = QStringLiteral("9600");
    s.strParity = QStringLiteral("なし");
    s.strDataBits = QStringLiteral("8 ビット");
    s.strStopBits = QStringLiteral("1 ビット");
    s.strFlow = QStringLiteral("なし");
    s.iPortOpen = 0;
}

QString xfunHomeDir() {
    QDir().mkpath(app().strHomeDir);
    return app().strHomeDir;
}

static bool validChannel(int16_t channel) {
    const bool ok = channel >= 0 && channel <= 8;
    assert(ok && "channel outside 0..8");
    return ok;
}

void xsubRingAdd(int16_t channel, int16_t value) {
    const auto byte = static_cast<uint8_t>(value);
    xsubRingAddBytes(channel, &byte, 1);
}

void xsubRingAddBytes(int16_t channel, const uint8_t* data, int32_t count) {
    if (!validChannel(channel) || count <= 0) return;
    ChannelRecord& ch = app().ChData[channel];
    const bool posOk = ch.lWritePos >= 0 && ch.lWritePos < kRingSize;
    assert(posOk && "ring write position outside the ring");
    if (!posOk) return;
    // More than the ring holds keeps only its newest part, where writing it all would have left it.
    const int32_t kept = std::min(count, kRingSize);
    const int32_t skipped = count - kept;
    int32_t pos = static_cast<int32_t>((int64_t{ch.lWritePos} + skipped) % kRingSize);
    const int32_t first = std::min(kept, kRingSize - pos);
    std::memcpy(app().bRingBuf.data() + pos, data + skipped, static_cast<size_t>(first));
    std::memcpy(app().bRingBuf.data(), data + skipped + first, static_cast<size_t>(kept - first));
    pos += kept;
    ch.lWritePos = pos >= kRingSize ? pos - kRingSize : pos;
    ch.lCount = static_cast<int32_t>(std::min<int64_t>(int64_t{ch.lCount} + count, kRingSize + 1));
    app().lRingTotal += count;
}

int16_t xfunRingGet(int32_t position, int16_t channel) {
    if (!validChannel(channel)) return 0;
    const ChannelRecord& ch = app().ChData[channel];
    const int32_t n = ch.lCount < ch.iXDim ? ch.lCount : ch.iXDim;
    int32_t a = ch.lWritePos;
    if (a < n) a += kRingSize;
    int32_t p = a - n + position;
    if (p >= kRingSize) p -= kRingSize;
    const bool posOk = p >= 0 && p < kRingSize;
    assert(posOk && "ring read position outside the ring");
    return posOk ? app().bRingBuf[p] : 0;
}

RingView xfunRingView() {
    AppState& s = app();
    const ChannelRecord& ch = s.ChData[0];
    return {s.bRingBuf.data(), kRingSize, ch.lWritePos, s.lRingTotal,
            std::min<int64_t>(ch.lCount, kRingSize)};
}

std::vector<uint8_t> xfunRingScreen(int16_t channel) {
    if (!validChannel(channel)) return {};
    const ChannelRecord& ch = app().ChData[channel];
    const int32_t n = std::max<int32_t>(0, std::min<int32_t>(ch.lCount, ch.iXDim));
    std::vector<uint8_t> out(static_cast<size_t>(n), 0);
    const bool posOk = ch.lWritePos >= 0 && ch.lWritePos < kRingSize;
    assert(posOk && "ring write position outside the ring");
    if (!posOk || n == 0) return out;
    const int32_t start = ch.lWritePos >= n ? ch.lWritePos - n : ch.lWritePos - n + kRingSize;
    const int32_t beforeWrap = std::min(n, kRingSize - start);
    const auto ring = app().bRingBuf.begin();
    std::copy_n(ring + start, beforeWrap, out.begin());
    std::copy_n(ring, n - beforeWrap, out.begin() + beforeWrap);
    return out;
}

void xsubRingClear() {
    app().ChData[0].lCount = 0;
    app().ChData[0].lWritePos = 0;
}

} // namespace ini
