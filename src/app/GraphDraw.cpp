#include <QLabel>
#include <QPointF>
#include <QScopeGuard>
#include <algorithm>
#include <vector>

#include "app/ByteZoom.h"
#include "app/ChannelZoom.h"
#include "app/Settings.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "graph/GraphMath.h"
#include "storage/FileView.h"
#include "toolkit/Colors.h"
#include "toolkit/PictureBox.h"

namespace {

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
    if (xfunLensOn()) {
        xsubLensDraw();
        return;
    }
    if (m_zoom->zoomed()) {
        m_zoom->draw();
        return;
    }
    if (app().iDispMode == kDispFile) m_zoom->follow();
    xsubReadoutReset();
    m_shown.clear();
    const auto deltas = qScopeGuard([this] { xsubCurDeltaShow(); });
    const PaneFrame fr = paneFrame(*this);
    if (!validChannel(channel)) return;
    const AppState& s = app();
    const ChannelRecord& ch = s.ChData[channel];
    pic_graph->setForeColor(ch.lColor);
    pic_graph->Cls();

    const ViewScreen view = xfunViewScreen();
    if (!view.positioned) return;
    xsubScaleLineDraw();
    m_shown = view.samples;
    for (size_t i = 0; i < view.samples.size(); ++i)
        xsubPlotPoint(static_cast<int16_t>(i), xfunSignedValue(view.samples[i], ch.iSigned),
                      ch.iXDim - 1, ch.iYMax - ch.iYMin, ch.iYMin, fr.W, fr.H, fr.X0, fr.Y0);
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
    m_zoom->reset();
    m_channelZoom->reset();
    pic_graph->Cls();
    xsubScaleLineDraw();
    s.lRcvCount = 0;
    lbl_data_su->setText(QStringLiteral("0"));
    xsubReadoutReset();
    m_shown.clear();
    xsubCurDeltaShow();
    xsubTriggerDisarm();
    if (s.engine) s.engine->LastClear();
    xsubLensRestart();
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
