#include <QFileInfo>
#include <QLabel>
#include <QScrollBar>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
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
        xsubDataFileClose();
        setWindowTitle(s.strAppTitle + QStringLiteral(" File ") + s.strSelFile);
        s.strDispFile = s.strSelFile;

        int code = 0;
        const int fd = appSub::xfunOpenForRead(s.strSelFile, code);
        struct stat st {};
        if (fd >= 0 && ::fstat(fd, &st) != 0) {
            code = appSub::fileErrCodeFromErrno(errno, s.strSelFile);
            ::close(fd);
        }
        if (code != 0) {
            appSub::xsubFileErrMsg(code);
            s.iFileNo = -1;
            return;
        }
        s.iFileNo = fd;
        s.lFileLen = st.st_size;
        s.lFileTop = 0;
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

void frms_RS_GRAPH_1::xsubDataFileClose() {
    AppState& s = app();
    if (s.iFileNo == -1) return;
    ::close(s.iFileNo);
    s.iFileNo = -1;
}
