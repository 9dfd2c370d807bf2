#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "toolkit/Colors.h"
#include "toolkit/CountText.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Twips.h"

namespace {

// What the three display modes set alike; the rest differs per mode and stays with it.
struct ModeLook {
    const char* countCaption;
    QString windowCaption;
    QPushButton* highlighted;
    bool printEnabled;
    bool clearEnabled;
    bool memToFileEnabled;
    bool freeCursorEnabled;
    Qt::CursorShape pointer;
};

} // namespace

static void applyModeLook(frms_RS_GRAPH_1* w, const ModeLook& look) {
    w->lbl_Count_Const->setText(QLatin1String(look.countCaption));
    w->setWindowTitle(look.windowCaption);
    for (QPushButton* b : {w->Cmd_Scanning, w->Cmd_Memory, w->Cmd_File})
        setBackColor(b, b == look.highlighted ? kCyan : kButtonFace);
    w->Cmd_Print->setEnabled(look.printEnabled);
    w->Cmd_Clear->setEnabled(look.clearEnabled);
    w->Cmd_memTOFile->setEnabled(look.memToFileEnabled);
    w->lbl_XPosition->setText(QStringLiteral("-----"));
    w->lbl_Value->setText(QStringLiteral("-----"));
    w->lbl_Value_hex->setText(QStringLiteral("---"));
    for (QLabel* l : {w->lbl_XPosition, w->lbl_Value, w->lbl_Value_hex})
        l->setEnabled(look.freeCursorEnabled);
    w->pic_graph->setCursor(look.pointer);
}

void frms_RS_GRAPH_1::xsubDispScanning() {
    AppState& s = app();
    s.strDispFile.clear();
    applyModeLook(this, {"Sampling Count", s.strAppTitle + QStringLiteral(" Scanning"),
                         Cmd_Scanning, false, true, false, false, Qt::ArrowCursor});
    Cmd_Test->setEnabled(true);
    lbl_data_su->setText(xfunCountText(s.lRcvCount));
    iRedrawReq = 1;
    iClearReq = 1;
}

void frms_RS_GRAPH_1::xsubDispMemory() {
    AppState& s = app();
    xsubTriggerDisarm();
    s.strDispFile.clear();
    applyModeLook(this, {"Memory Count", s.strAppTitle + QStringLiteral(" Memory Readings"),
                         Cmd_Memory, true, false, s.lMemCount >= 1, true, Qt::CrossCursor});
}

void frms_RS_GRAPH_1::xsubDispFile() {
    const AppState& s = app();
    xsubTriggerDisarm();
    applyModeLook(this, {"File Count", s.strAppTitle + QStringLiteral(" File ") + s.strDispFile,
                         Cmd_File, true, false, false, true, Qt::CrossCursor});
}

void frms_RS_GRAPH_1::Cmd_scanning_Click() {
    app().iDispMode = kDispScanning;
    xsubDataFileClose();
    HScroll1->setVisible(false);
    HScroll2->setVisible(false);
    xsubCurXPlace();
    xsubDispScanning();
}

void frms_RS_GRAPH_1::xsubLogButton() {
    setBackColor(Cmd_Log, app().iLogOn == 1 ? kRed : kLightGrey);
}
