#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "app/ByteZoom.h"
#include "app/ChannelZoom.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "serial/PortNotices.h"
#include "serial/frms_ScanningSelect.h"
#include "storage/FileView.h"
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
    w->m_zoom->viewChanged();
    w->m_channelZoom->reset();
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
    FileView::close();
    HScroll1->setVisible(false);
    HScroll2->setVisible(false);
    xsubCurXPlace();
    xsubDispScanning();
}

void frms_RS_GRAPH_1::xsubLogButton() {
    setBackColor(Cmd_Log, app().iLogOn == 1 ? kRed : kLightGrey);
}

void frms_RS_GRAPH_1::Cmd_test_Click() {
    AppState& s = app();
    s.iLiveDraw = 0;
    {
        frms_ScanningSelect dialog(this);
        dialog.exec();
    }
    xsubDispSource();
    xsubLensRestart();
    if (s.iScanSource == kSourceOff) xsubTriggerDisarm();
    iRedrawReq = 1;
    iClearReq = 1;
    s.iLiveDraw = 1;
    xsubPortLabels();
}

void frms_RS_GRAPH_1::xsubDispSource() {
    switch (app().iScanSource) {
    case kSourceCom:
        Cmd_Test->setText(QStringLiteral("COM ON"));
        break;
    case kSourceTest:
        Cmd_Test->setText(QStringLiteral("Test"));
        break;
    case kSourceOff:
        Cmd_Test->setText(QStringLiteral("COM OFF"));
        break;
    default:
        break;
    }
    xsubLineButtons();
}

void frms_RS_GRAPH_1::xsubLineButtons() {
    const AppState& s = app();
    const bool open = s.iPortOpen == 1;
    if (open) {
        uint8_t status = 0;
        s.engine->ReadModemStatus(status);
        const auto showLine = [](const std::array<QPushButton*, 2>& buttons, bool on) {
            setBackColor(buttons[0], on ? kGreen : kLightGrey);
            setBackColor(buttons[1], on ? kLightGrey : kRed);
        };
        showLine(Cmd_RTS, (status & 0x01) != 0);
        showLine(Cmd_DTR, (status & 0x02) != 0);
    }
    const QString note = xfunLineControlNote(s.strPortName);
    for (QPushButton* b : {Cmd_DTR[0], Cmd_DTR[1], Cmd_RTS[0], Cmd_RTS[1]}) {
        b->setEnabled(open && note.isEmpty());
        b->setToolTip(note);
    }
}

void frms_RS_GRAPH_1::Cmd_DTR_Click(int index) {
    if (app().iPortOpen == 1)
        app().engine->SetLineSt(index == 0 ? int16_t(0x8002) : int16_t(0x0002));
    xsubLineButtons();
}

void frms_RS_GRAPH_1::Cmd_RTS_Click(int index) {
    if (app().iPortOpen == 1)
        app().engine->SetLineSt(index == 0 ? int16_t(0x8001) : int16_t(0x0001));
    xsubLineButtons();
}
