#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QScrollBar>
#include <algorithm>
#include <initializer_list>

#include "app/ByteZoom.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "graph/GraphMath.h"
#include "graph/ScrollMath.h"
#include "toolkit/CountText.h"
#include "toolkit/PictureBox.h"

int64_t frms_RS_GRAPH_1::xfunSampleOrigin() {
    switch (app().iDispMode) {
    case kDispFile:
        return app().lFileTop;
    case kDispMemory:
        return app().lMemTop;
    default:
        return 0;
    }
}

namespace {
bool signedView() {
    return app().ChData[0].iSigned == 1;
}
} // namespace

void frms_RS_GRAPH_1::xsubCurXClamp() {
    const int16_t last = static_cast<int16_t>(app().ChData[0].iXDim - 1);
    for (int16_t& pos : app().iCurXPos)
        pos = std::min(pos, last);
}

void frms_RS_GRAPH_1::xsubCurXPlace() {
    const AppState& s = app();
    const int16_t N = s.ChData[0].iXDim;
    for (int i = 0; i < 2; ++i)
        line_x_pro[i]->setX(nav::cursorX(s.iCurXPos[i], N, line_X_base->X1(), line_X_base->X2()));
    const int64_t origin = xfunSampleOrigin();
    for (int i = 0; i < 2; ++i) {
        const bool on = chk_curx[i]->isChecked();
        line_x_pro[i]->setVisible(on);
        if (on) lbl_cur_x[i]->setText(xfunCountText(origin + s.iCurXPos[i]));
        for (QWidget* w :
             std::initializer_list<QWidget*>{lbl_cur_x[i], lbl_cur_data[i], lbl_cur_data_hex[i],
                                             lbl_cur_data_char[i], hsc_x[i]})
            w->setVisible(on);
    }
    xsubCurDeltaShow();
    xsubLensCursors();
}

void frms_RS_GRAPH_1::xsubCurDeltaShow() {
    const bool both = chk_curx[0]->isChecked() && chk_curx[1]->isChecked();
    Frm_CurDelta->setVisible(both);
    if (!both) return;
    const AppState& s = app();
    lbl_cur_dx->setText(QString::number(s.iCurXPos[1] - s.iCurXPos[0]));
    // From the readouts as the last redraw left them; an empty one leaves nothing to subtract.
    bool read1 = false;
    bool read2 = false;
    const int v1 = lbl_cur_data[0]->text().toInt(&read1);
    const int v2 = lbl_cur_data[1]->text().toInt(&read2);
    lbl_cur_dy->setText(read1 && read2 ? QString::number(v2 - v1) : QStringLiteral("-----"));
}

void frms_RS_GRAPH_1::xsubCurYPlace() {
    const AppState& s = app();
    const ChannelRecord& ch = s.ChData[0];
    const float y1 = line_Y_base->Y1();
    const float y2 = line_Y_base->Y2();
    const auto span = static_cast<int16_t>(ch.iYMax - ch.iYMin);
    for (int i = 0; i < 2; ++i)
        line_y_pro[i]->setY(xfunMapY(s.iCurYPos[i], span, ch.iYMin, y2 - y1, y2));
    for (int i = 0; i < 2; ++i) {
        const bool on = chk_curY[i]->isChecked();
        line_y_pro[i]->setVisible(on);
        if (on) lbl_cur_y[i]->setText(QString::number(s.iCurYPos[i]));
        lbl_cur_y[i]->setVisible(on);
        vsc_y[i]->setVisible(on);
    }
    xsubLensCursors();
}

void frms_RS_GRAPH_1::xsubCurYBarSync() {
    for (QScrollBar* bar : vsc_y)
        bar->setRange(0, 255);
    for (int i = 0; i < 2; ++i) {
        int16_t& pos = app().iCurYPos[i];
        // The top of a bar is the highest value of the view; the Value set here runs
        // VSc_Y_Change as a user move would.
        if (signedView()) {
            pos = std::min<int16_t>(pos, 127);
            vsc_y[i]->setValue(127 - pos);
        } else {
            pos = std::max<int16_t>(pos, 0);
            vsc_y[i]->setValue(vsc_y[i]->maximum() - pos);
        }
    }
}

void frms_RS_GRAPH_1::VSc_Y_Change(int index) {
    const int value = vsc_y[index]->value();
    app().iCurYPos[index] =
        static_cast<int16_t>(signedView() ? 127 - value : vsc_y[index]->maximum() - value);
    xsubCurYPlace();
    if (app().iDispMode == kDispScanning) {
        iYAxisReq = 1;
        iRedrawReq = 1;
    } else {
        rearmTimer1(10);
    }
}

void frms_RS_GRAPH_1::hsc_x_Change(int index) {
    if (iSpinBusy == 1) return;
    iSpinBusy = 1;
    int16_t& pos = app().iCurXPos[index];
    const int16_t last = static_cast<int16_t>(app().ChData[0].iXDim - 1);
    const bool right = hsc_x[index]->value() != 0;
    const bool scanning = app().iDispMode == kDispScanning;
    int16_t moved = -1;
    if (scanning) {
        if (right && pos < last) {
            ++pos;
            iXAxisReq = 1;
        } else if (!right && pos > 0) {
            --pos;
            iXAxisReq = 1;
        }
    } else if (right ? pos < last : pos != 0) {
        pos = static_cast<int16_t>(pos + (right ? 1 : -1));
        xsubCurXPlace();
    } else {
        // The cursor stands at the edge of the screen: the data moves under it instead.
        moved = right ? xfunViewStepFwd() : xfunViewStepBack();
        xsubCurXPlace();
        if (moved == -1) {
            iScrollBusy = 1;
            xsubPosBarSync();
            iScrollBusy = 0;
        }
    }
    hsc_x[index]->setValue(1);
    if (!scanning && moved == -1) rearmTimer1(10);
    iRedrawReq = 1;
    iSpinBusy = 0;
}

void frms_RS_GRAPH_1::Chk_curX_Click(int index) {
    xsubCurXPlace();
    xsubGraphRequest();
    app().iCurXOn[index] = chk_curx[index]->isChecked() ? 1 : 0;
}

void frms_RS_GRAPH_1::Chk_CurY_Click(int index) {
    xsubCurYPlace();
    xsubGraphRequest();
    app().iCurYOn[index] = chk_curY[index]->isChecked() ? 1 : 0;
}

void frms_RS_GRAPH_1::pic_graph_MouseMove(float x, float y) {
    const QString noValue = QStringLiteral("-----");
    const QString noHex = QStringLiteral("---");
    const AppState& s = app();
    if (s.iDispMode == kDispScanning) {
        lbl_XPosition->setText(noValue);
        lbl_Value->setText(noValue);
        lbl_Value_hex->setText(noHex);
        return;
    }
    // The pointer's position, not the stored sample: the index is within the screen.
    const ChannelRecord& ch = s.ChData[0];
    std::optional<int64_t> K;
    if (m_zoom->zoomed())
        K = m_zoom->sampleAt(x);
    else if (const auto k = nav::screenIndexAt(x, line_X_base->X1(), line_X_base->X2(), ch.iXDim))
        K = *k;
    lbl_XPosition->setText(K ? QString::number(*K) : noValue);
    const auto v =
        nav::valueAt(y, line_Y_base->Y1(), line_Y_base->Y2(), ch.iYMax, ch.iYMin, signedView());
    lbl_Value->setText(v ? QString::number(*v) : noValue);
    lbl_Value_hex->setText(v ? xfunHexText(*v) : noHex);
}
