#include <QLabel>
#include <QPointF>
#include <QScopeGuard>
#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <vector>

#include "app/AppState.h"
#include "app/Settings.h"
#include "app/frms_RS_GRAPH_1.h"
#include "graph/GraphMath.h"
#include "storage/FileErrors.h"
#include "toolkit/Colors.h"
#include "toolkit/PictureBox.h"

namespace {

// The file ended before the bytes its length promised (it shrank while shown).
constexpr int kErrReadPastEnd = 62;

struct PaneFrame {
    float X0, W, Y0, H;
};

// The axis lines never move, but every drawing reads its frame from them again.
PaneFrame paneFrame(const frms_RS_GRAPH_1& f) {
    return {f.line_X_base->X1(), f.line_X_base->X2() - f.line_X_base->X1(), f.line_X_base->Y1(),
            f.line_Y_base->Y2() - f.line_Y_base->Y1()};
}

// Where the samples of a screen land on the pane, K = 0 on the Y axis.
struct TracePoints {
    std::vector<uint8_t> samples;
    int16_t iSigned, nMinus1, span, yMin;
    PaneFrame fr;

    int16_t value(int32_t K) const { return xfunSignedValue(samples[K], iSigned); }
    QPointF operator()(int32_t K) const {
        return {xfunMapX(static_cast<int16_t>(K), nMinus1, fr.W, fr.X0),
                xfunMapY(value(K), span, yMin, fr.H, fr.Y0)};
    }
};

bool validChannel(int16_t ch) {
    return ch >= 0 && ch <= 8;
}

// Ends File mode's use of the data file after a failed read.
void dropDataFile(int err) {
    AppState& s = app();
    appSub::xsubFileErrMsg(err);
    if (s.iFileNo != -1) ::close(s.iFileNo);
    s.iFileNo = -1;
}

} // namespace

void frms_RS_GRAPH_1::clearReadout(int i) {
    lbl_cur_data[i]->setText(QStringLiteral("-----"));
    lbl_cur_data_hex[i]->setText(QStringLiteral("---"));
    lbl_cur_data_char[i]->setText(QStringLiteral("---"));
}

void frms_RS_GRAPH_1::fillReadout(int i, int16_t v) {
    lbl_cur_data[i]->setText(QString::number(v));
    lbl_cur_data_hex[i]->setText(xfunHexText(v));
    lbl_cur_data_char[i]->setText(app().strCtrlName[xfunRawByte(v)]);
}

void frms_RS_GRAPH_1::xsubReadoutReset() {
    for (int i = 0; i < 2; ++i)
        clearReadout(i);
}

void frms_RS_GRAPH_1::xsubPlotPoint(int16_t K, int16_t v, int16_t nMinus1, int16_t span,
                                    int16_t yMin, float W, float H, float X0, float Y0) {
    const float x = xfunMapX(K, nMinus1, W, X0);
    const float y = xfunMapY(v, span, yMin, H, Y0);
    if (K == 0)
        pic_graph->PSet(x, y);
    else
        pic_graph->LineTo(x, y);

    for (int i = 0; i < 2; ++i)
        if (app().iCurXPos[i] == K) fillReadout(i, v);
}

std::vector<uint8_t> frms_RS_GRAPH_1::xfunLiveScreen(int16_t channel) const {
    if (trigger.armed()) {
        switch (trigger.show()) {
        case LiveTrigger::Show::Nothing:
            return {};
        case LiveTrigger::Show::Held:
            return trigger.screen();
        case LiveTrigger::Show::Running:
            break;
        }
    }
    return ini::xfunRingScreen(channel);
}

void frms_RS_GRAPH_1::xsubGraphDrawLive(int16_t channel) {
    const auto deltas = qScopeGuard([this] { xsubCurDeltaShow(); });
    const PaneFrame fr = paneFrame(*this);
    if (!validChannel(channel)) {
        xsubReadoutReset();
        m_shown.clear();
        return;
    }
    const AppState& s = app();
    const ChannelRecord& ch = s.ChData[channel];
    pic_graph->setForeColor(ch.lColor);
    xsubScaleLineDraw();

    // A copy of the screen's samples as they are now: the points are worked out from it only
    // when the pane is looked at, whatever the ring receives meanwhile.
    TracePoints trace{xfunLiveScreen(channel),
                      ch.iSigned,
                      static_cast<int16_t>(ch.iXDim - 1),
                      static_cast<int16_t>(ch.iYMax - ch.iYMin),
                      ch.iYMin,
                      fr};
    m_shown = trace.samples;
    const auto n = static_cast<int32_t>(trace.samples.size());
    // Each readout is written once, with its sample or empty, as resetting all of them first
    // and filling those under a sample would leave them.
    for (int i = 0; i < 2; ++i) {
        const int16_t K = s.iCurXPos[i];
        if (K >= 0 && K < n)
            fillReadout(i, trace.value(K));
        else
            clearReadout(i);
    }
    if (n == 0) return;
    const QPointF first = trace(0);
    pic_graph->PSet(static_cast<float>(first.x()), static_cast<float>(first.y()));
    pic_graph->LinesTo(n - 1, [trace = std::move(trace)](int i) { return trace(i + 1); });
}

void frms_RS_GRAPH_1::xsubGraphDrawView(int16_t channel) {
    xsubReadoutReset();
    m_shown.clear();
    const auto deltas = qScopeGuard([this] { xsubCurDeltaShow(); });
    const PaneFrame fr = paneFrame(*this);
    if (!validChannel(channel)) return;
    const AppState& s = app();
    const ChannelRecord& ch = s.ChData[channel];
    pic_graph->setForeColor(ch.lColor);
    pic_graph->Cls();

    int64_t size = 0;
    int64_t start = 0;
    if (s.iDispMode != kDispFile) {
        size = s.lMemCount;
        start = s.lMemTop;
    } else {
        if (s.iFileNo == -1) {
            xsubScaleLineDraw();
            return;
        }
        size = s.lFileLen;
        start = s.lFileTop;
    }
    const auto n = static_cast<int32_t>(std::min<int64_t>(size, ch.iXDim));
    if (s.iDispMode == kDispFile && !xfunLastDataSeek(start, n)) return;

    xsubScaleLineDraw();
    for (int32_t i = 0; i < n && start + i < size; ++i) {
        const uint8_t b = xfunLastDataGet(i);
        m_shown.push_back(b);
        xsubPlotPoint(static_cast<int16_t>(i), xfunSignedValue(b, ch.iSigned), ch.iXDim - 1,
                      ch.iYMax - ch.iYMin, ch.iYMin, fr.W, fr.H, fr.X0, fr.Y0);
    }
}

bool frms_RS_GRAPH_1::xfunLastDataSeek(int64_t start, int32_t count) {
    m_fileScreenLen = 0;
    m_fileScreenNext = 0;
    m_fileScreenErr = kErrReadPastEnd;
    const int fd = app().iFileNo;
    if (fd == -1) return false;

    // One screen is at most a few hundred bytes: read it whole now, so drawing it costs one call.
    const int32_t want = std::clamp<int32_t>(count, 0, static_cast<int32_t>(m_fileScreen.size()));
    while (m_fileScreenLen < want) {
        const ssize_t got =
            ::pread(fd, m_fileScreen.data() + m_fileScreenLen,
                    static_cast<size_t>(want - m_fileScreenLen), start + m_fileScreenLen);
        if (got > 0) {
            m_fileScreenLen += static_cast<int32_t>(got);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got == 0) break;
        const int err = errno;
        const int code = appSub::fileErrCodeFromErrno(err);
        if (m_fileScreenLen == 0 && (err == EBADF || err == ESPIPE)) {
            // The file cannot be positioned at all: nothing of this screen can be drawn.
            dropDataFile(code);
            return false;
        }
        // The bytes before the failure are good; the failure shows when the view reaches it,
        // and the rest of the screen reads as 0.
        m_fileScreenErr = code;
        break;
    }
    return true;
}

uint8_t frms_RS_GRAPH_1::xfunLastDataGet(int32_t l) {
    AppState& s = app();
    if (s.iDispMode != kDispFile) {
        const int64_t at = static_cast<int64_t>(s.lMemTop) + l;
        if (at < 0 || at >= static_cast<int64_t>(s.bMemBuf.size())) return 0;
        return s.bMemBuf[static_cast<size_t>(at)];
    }
    if (s.iFileNo == -1) return 0;
    if (m_fileScreenNext >= m_fileScreenLen) {
        dropDataFile(m_fileScreenErr);
        return 0;
    }
    return m_fileScreen[static_cast<size_t>(m_fileScreenNext++)];
}

void frms_RS_GRAPH_1::xsubScaleLineDraw() {
    const AppState& s = app();
    const float X1 = line_X_base->X1();
    const float X2 = line_X_base->X2();
    auto scaleLine = [&](int i, int32_t colour) {
        pic_graph->setForeColor(colour);
        pic_graph->Line(X1, s.sngScaleY[i], X2, s.sngScaleY[i]);
    };
    if (s.ChData[0].iSigned == 1) {
        for (int i = 0; i <= 6; ++i)
            scaleLine(i, i == 3 ? kBlack : kGrey);
    } else {
        for (int i = 0; i <= 3; ++i)
            scaleLine(i, kGrey);
        scaleLine(4, kBlack);
    }
    pic_graph->setForeColor(s.lPenColor);
}

void frms_RS_GRAPH_1::xsubGraphRequest() {
    rearmTimer1(1);
}

void frms_RS_GRAPH_1::Cmd_Clear_Click() {
    AppState& s = app();
    ini::xsubRingClear();
    pic_graph->Cls();
    xsubScaleLineDraw();
    s.lRcvCount = 0;
    lbl_data_su->setText(QStringLiteral("0"));
    xsubReadoutReset();
    m_shown.clear();
    xsubCurDeltaShow();
    xsubTriggerDisarm();
    if (s.engine) s.engine->LastClear();
}

void ini::xsubCtrlNameInit() {
    static const char* const kControlNames[32] = {
        "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "HT",  "LF",
        "HM",  "CL",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
        "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "IS4", "IS3", "IS2", "IS1"};
    auto& names = app().strCtrlName;
    for (int i = 0; i < 256; ++i) {
        if (i < 128)
            names[i] = QString(QChar(i));
        else if (i >= 160 && i < 224)
            names[i] = appSub::fromCp932(QByteArray(1, static_cast<char>(i)));
        else
            names[i] = QStringLiteral(".");
    }
    for (int i = 0; i < 32; ++i)
        names[i] = QLatin1String(kControlNames[i]);
}
