#include <QDateTime>
#include <QFile>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "dialogs/Msg.h"
#include "storage/FileErrors.h"
#include "storage/StorageNames.h"
#include "storage/frms_LogStart.h"
#include "toolkit/FileNames.h"

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
        const int16_t answer =
            Msg::MsgBoxAsk(QStringLiteral("ログを中止しますか？"), Msg::kYesNo, QString());
        // The engine may have ended the log by itself while the question was open.
        if (answer == Msg::kYes && s.iLogOn == 1) {
            s.engine->LogStop();
            s.strLogFile.clear();
            s.iLogOn = 0;
            xsubLensLogEnded();
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
        xsubLensLogStarted();
        return;
    }
    // The reason tells a pipe nobody reads (device not ready) from a folder that is missing.
    QString text = QStringLiteral("ファイルがオープンできません｡");
    if (result > 0)
        text += QStringLiteral(" (%1)").arg(
            appSub::fileErrText(appSub::fileErrCodeFromErrno(result, s.strLogFile)));
    Msg::MsgBoxShow(text, Msg::kOKOnly, QString());
}
