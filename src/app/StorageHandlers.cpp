#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>

#include "LogFile.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "dialogs/Msg.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
#include "storage/FileView.h"
#include "storage/StorageNames.h"
#include "storage/frms_File_Disp.h"
#include "storage/frms_File_Save.h"
#include "storage/frms_LogStart.h"
#include "storage/frms_MemSave.h"
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
    s.iDispMode = 0;
    xsubDispFile();
    if (s.iFileNo == -1) lbl_data_su->clear();
}

void frms_RS_GRAPH_1::xsubFileChosenShow() {
    AppState& s = app();
    if (!s.strSelFile.isEmpty()) {
        setWindowTitle(s.strAppTitle + QStringLiteral(" File ") + s.strSelFile);
        s.strDispFile = s.strSelFile;
        if (!FileView::open(s.strSelFile)) return;
        s.iDispMode = 0;
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

void frms_RS_GRAPH_1::Cmd_Memory_Click() {
    AppState& s = app();
    if (iMemBusy == 1 || iScrollBusy == 1) return;
    // The fetch lets events run: keep the receive tick off the graph and a second click out.
    s.iLiveDraw = 0;
    iMemBusy = 1;
    MemoryView::xsubMemLoad();
    FileView::close();

    s.iDispMode = 1;
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

namespace {
constexpr int32_t kBytesPerMB = 1024 * 1024;
} // namespace

void frms_RS_GRAPH_1::Cmd_Log_Click() {
    xsubLogToggle();
    xsubLogButton();
    xsubGraphRequest();
    iRedrawReq = 1;
    iClearReq = 1;
}

void frms_RS_GRAPH_1::xsubLogToggle() {
    AppState& s = app();
    if (s.iLogOn != 0) {
        const int16_t answer = Msg::MsgBoxAsk(QStringLiteral("ログを中止しますか？"), 4, QString());
        // The engine may have ended the log by itself while the question was open.
        if (answer == 6 && s.iLogOn == 1) {
            s.engine->LogStop();
            s.strLogFile.clear();
            s.iLogOn = 0;
        }
        return;
    }
    s.strLogFile = appSub::xfunDefaultFileName(ini::xfunHomeDir(), QStringLiteral("LOG"),
                                               QDateTime::currentDateTime());
    {
        frms_LogStart dialog(this);
        dialog.exec();
    }
    if (s.iDlgOK != 1) {
        s.strLogFile.clear();
        return;
    }
    const int32_t result = s.engine->LogStart(xfunNameToBytes(s.strLogFile).toStdString(), 0,
                                              s.lLogMaxMB * kBytesPerMB);
    if (result == -1) {
        s.iLogOn = 1;
        return;
    }
    // The reason tells a pipe nobody reads (device not ready) from a folder that is missing.
    QString text = QStringLiteral("ファイルがオープンできません｡");
    if (result > 0)
        text += QStringLiteral(" (%1)").arg(
            appSub::fileErrText(appSub::fileErrCodeFromErrno(result, s.strLogFile)));
    Msg::MsgBoxShow(text, 0, QString());
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
    }
}
