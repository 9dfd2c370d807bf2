#include <QLabel>
#include <QRadioButton>
#include <algorithm>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "graph/GraphMath.h"
#include "toolkit/Colors.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Twips.h"

namespace {

// A scale label's top stands this far above the line it names.
constexpr float kLabelRaise = 6;

// One labelled scale value of a view: the grid line there gives way to a scale line.
struct ScaleMark {
    int16_t value;
    int label;      // index of the Lbl_y / Lbl_YHex pair
    int scaleEntry; // index into sngScaleY
};

constexpr ScaleMark kSignedMarks[] = {{100, 0, 1}, {50, 1, 2}, {-50, 3, 4}, {-100, 4, 5}};
constexpr ScaleMark kUnsignedMarks[] = {{200, 0, 0}, {150, 1, 1}, {100, 3, 2}, {50, 4, 3}};

} // namespace

void frms_RS_GRAPH_1::Opn_YDim_Click(int) {
    ChannelRecord& ch = app().ChData[0];
    if (Opn_YDim[0]->isChecked()) {
        ch.iSigned = 1;
        ch.iYMax = 130;
        ch.iYMin = -130;
    } else {
        ch.iSigned = 0;
        ch.iYMax = 255;
        ch.iYMin = 0;
    }
    xsubYRangeLabel(0);
    xsubCurYBarSync();
    xsubCurYPlace();
    xsubYGridBuild();
    xsubTriggerFollowView();
    if (app().iDispMode == kDispFile || app().iDispMode == kDispMemory) xsubGraphDrawView(0);
    iRedrawReq = 1;
    iClearReq = 1;
}

void frms_RS_GRAPH_1::xsubYRangeLabel(int16_t channel) {
    const ChannelRecord& ch = app().ChData[channel];
    if (ch.iSigned == 1) {
        Lbl_Y_Max->setText(QStringLiteral("127"));
        Lbl_Y_Min->setText(QStringLiteral("-128"));
        Lbl_Y_MaxHex->setText(QStringLiteral("7Fh"));
        Lbl_y_MinHex->setText(QStringLiteral("80h"));
    } else {
        Lbl_Y_Max->setText(QString::number(ch.iYMax));
        Lbl_Y_Min->setText(QString::number(ch.iYMin));
        Lbl_Y_MaxHex->setText(xfunHexText(ch.iYMax));
        Lbl_y_MinHex->setText(xfunHexText(ch.iYMin));
    }
}

void frms_RS_GRAPH_1::xsubYGridBuild() {
    AppState& s = app();
    const ChannelRecord& ch = s.ChData[0];
    const float Y1 = line_Y_base->Y1();
    const float Y2 = line_Y_base->Y2();
    const auto span = static_cast<int16_t>(ch.iYMax - ch.iYMin);
    auto yOf = [&](int16_t d) { return xfunMapY(d, span, ch.iYMin, Y2 - Y1, Y2); };

    for (LineShape* line : line_gx)
        line->setVisible(true);
    // These reference lines only mark places; neither view shows them.
    line_Ys[1]->setVisible(false);
    Line_Y_127->setVisible(false);
    Line_y_m128->setVisible(false);

    const bool isSigned = ch.iSigned == 1;
    const auto& marks = isSigned ? kSignedMarks : kUnsignedMarks;
    const int16_t top = isSigned ? 120 : 240;
    const int16_t bottom = isSigned ? -120 : 10;
    size_t k = 1;
    for (int16_t d = top; d >= bottom; d -= 10) {
        if (d == 0) continue; // the zero line of the signed view is a scale line
        const float y = yOf(d);
        LineShape* line = line_gx[k++];
        line->setEnds(line->X1(), y, line->X2(), y);
        const auto mark = std::find_if(std::begin(marks), std::end(marks),
                                       [d](const ScaleMark& m) { return m.value == d; });
        if (mark == std::end(marks)) {
            line->setBorderColor(kButtonFace);
            continue;
        }
        Lbl_y[mark->label]->setText(QString::number(d));
        Lbl_YHex[mark->label]->setText(xfunHexText(d));
        setTopTw(Lbl_y[mark->label], y - kLabelRaise);
        setTopTw(Lbl_YHex[mark->label], y - kLabelRaise);
        line->setBorderColor(kGrey);
        line->setVisible(false);
        s.sngScaleY[mark->scaleEntry] = y;
    }

    const float middleTop = line_Ys[1]->Y1() - kLabelRaise;
    if (isSigned) {
        line_X_base->setVisible(true);
        Lbl_y[2]->setText(QStringLiteral("0"));
        Lbl_YHex[2]->setText(QStringLiteral("00h"));
        setTopTw(Lbl_YHex[2], middleTop);
        s.sngScaleY[0] = yOf(127);
        s.sngScaleY[3] = yOf(0);
        s.sngScaleY[6] = yOf(-128);
    } else {
        line_X_base->setVisible(false);
        Lbl_y[2]->clear();
        Lbl_YHex[2]->clear();
        s.sngScaleY[4] = line_X_base->Y1();
    }
    setTopTw(Lbl_y[2], middleTop);
}

void frms_RS_GRAPH_1::xsubScalePanelLayout() {
    placeTw(Pic_Scale, 0, 0, line_Y_base->X1() - 1, heightTw(pic_graph));
}
