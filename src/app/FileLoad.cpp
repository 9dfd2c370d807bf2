#include <QFileInfo>
#include <QLabel>
#include <QScrollBar>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "storage/DataFiles.h"
#include "storage/FileView.h"
#include "storage/frms_File_Disp.h"
#include "toolkit/CountText.h"
#include "toolkit/FileNames.h"

void frms_RS_GRAPH_1::cmd_File_Click() {
    xsubFileModeEnter();
    {
        frms_File_Disp dialog(this);
        dialog.exec();
    }
    xsubFileChosenShow();
}

void frms_RS_GRAPH_1::xsubFileFromCommandLine(const QString& path) {
    AppState& s = app();
    xsubFileModeEnter();
    // As if the user had double-clicked the file in "Read File", which would have shown its
    // folder and so remembers it.
    s.strSelFile = QFileInfo(path).absoluteFilePath();
    const QString folder = QFileInfo(s.strSelFile).absolutePath();
    if (xfunIsFolder(folder)) s.strDataDir = folder;
    if (!appSub::xfunDataFileTry(s.strSelFile)) s.strSelFile.clear();
    xsubFileChosenShow();
}

void frms_RS_GRAPH_1::xsubFileModeEnter() {
    AppState& s = app();
    s.iDispMode = kDispFile;
    xsubDispFile();
    if (s.iFileNo == -1) lbl_data_su->clear();
}

void frms_RS_GRAPH_1::xsubFileChosenShow() {
    AppState& s = app();
    if (!s.strSelFile.isEmpty()) {
        setWindowTitle(s.strAppTitle + QStringLiteral(" File ") + s.strSelFile);
        s.strDispFile = s.strSelFile;
        if (!FileView::open(s.strSelFile)) return;
        xsubLensFileOpened();
        s.iDispMode = kDispFile;
        lbl_data_su->setText(xfunCountText(s.lFileLen));

        iScrollBusy = 1;
        xsubPosBarSetup();
        iScrollBusy = 0;
    } else if (s.iFileNo == -1) {
        HScroll1->setVisible(false);
        HScroll2->setVisible(false);
        lbl_data_su->clear();
    }
    rearmTimer1(100);
}
