#include "storage/frms_LogStart.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <sys/stat.h>

#include "app/state/AppState.h"
#include "dialogs/Msg.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
#include "toolkit/Controls.h"
#include "toolkit/FileNames.h"

frms_LogStart::frms_LogStart(QWidget* parent)
    : YesNoDialog(parent, QStringLiteral("frms_LogStart"), QStringLiteral("Log Start"), 6900,
                  2550) {
    Label1 = control<QLabel>(this, QStringLiteral("Label1"), {240, 180, 4500, 330},
                             QStringLiteral("Ｌｏｇを開始します"));
    Text1 = control<QLineEdit>(this, QStringLiteral("Text1"), {240, 630, 6420, 390});
    Label2 = control<QLabel>(this, QStringLiteral("Label2"), {240, 1260, 2100, 360},
                             QStringLiteral("Log File Max Size"));
    Cmb_Max_size =
        control<QComboBox>(this, QStringLiteral("Cmb_Max_size"), {2400, 1260, 1500, 360});
    addYesNo(1920);

    Form_Load();
}

void frms_LogStart::Form_Load() {
    const AppState& s = app();
    Text1->setText(s.strLogFile);
    for (int mb = 1; mb <= 10; ++mb)
        Cmb_Max_size->addItem(QStringLiteral("%1 MB").arg(mb));
    Cmb_Max_size->setCurrentText(QStringLiteral("%1 MB").arg(s.lLogMaxMB));
}

void frms_LogStart::Command1_Click() {
    AppState& s = app();
    s.strLogFile = Text1->text();
    s.lLogMaxMB = Cmb_Max_size->currentText().chopped(3).toInt();
    const int32_t r = appSub::xfunOverwriteAsk(s.strLogFile);
    if (r == Msg::kNo) return;
    // The engine appends to what it finds; an overwrite means starting from an empty file. A
    // pipe is left alone: opening and closing it would end its reader before the log begins.
    struct stat st {};
    const bool pipe =
        ::stat(xfunNameToBytes(s.strLogFile).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
    if (r == Msg::kYes && !pipe) {
        int code = 0;
        const int fd = appSub::xfunCreateForWrite(s.strLogFile, code);
        if (fd >= 0) code = appSub::xfunClose(fd, s.strLogFile);
        if (code != 0) {
            appSub::xsubFileErrMsg(code);
            s.iDlgOK = 0;
            return;
        }
    }
    s.iDlgOK = 1;
    accept();
}
