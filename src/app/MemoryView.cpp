#include <QDateTime>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "storage/FileView.h"
#include "storage/StorageNames.h"
#include "storage/frms_File_Save.h"
#include "storage/frms_MemSave.h"
#include "toolkit/CountText.h"

void frms_RS_GRAPH_1::Cmd_Memory_Click() {
    AppState& s = app();
    if (iMemBusy == 1 || iScrollBusy == 1) return;
    // The fetch lets events run: keep the receive tick off the graph and a second click out.
    s.iLiveDraw = 0;
    iMemBusy = 1;
    MemoryView::xsubMemLoad();
    FileView::close();
    xsubLensMemLoaded();

    s.iDispMode = kDispMemory;
    iScrollBusy = 1;
    xsubPosBarSetup();
    lbl_data_su->setText(xfunCountText(s.lMemCount));
    s.lMemTop = std::max(s.lMemCount - s.ChData[0].iXDim, 0);
    // Opens on the newest screen; iBarLast stays 0, so the first arrow click is taken as a jump.
    HScroll1->setValue(HScroll1->maximum());
    xsubGraphRequest();
    xsubDispMemory();
    iScrollBusy = 0;
    iMemBusy = 0;
    s.iLiveDraw = 1;
}

void frms_RS_GRAPH_1::Cmd_memTOFile_Click() {
    Cmd_memTOFile->setEnabled(false);
    xsubMemToFile();
    xsubGraphRequest();
    Cmd_memTOFile->setEnabled(true);
}

void frms_RS_GRAPH_1::xsubMemToFile() {
    AppState& s = app();
    s.iMemSaveSel = 1;
    if (s.lMemCount == 0) return;
    s.strMemFile = appSub::xfunDefaultFileName(ini::xfunHomeDir(), QStringLiteral("MEM"),
                                               QDateTime::currentDateTime());
    {
        frms_MemSave dialog(this);
        dialog.exec();
    }
    if (s.iDlgOK == 1) {
        frms_File_Save progress(this);
        progress.exec();
        xsubLensMemSaved();
    }
}
