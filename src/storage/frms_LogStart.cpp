#include "storage/frms_LogStart.h"

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <sys/stat.h>

#include "app/AppState.h"
#include "dialogs/Msg.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
#include "storage/FormControls.h"
#include "toolkit/FileNames.h"

frms_LogStart::frms_LogStart(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frms_LogStart"));
    setWindowTitle(QStringLiteral("Log Start"));
    setFixedSize(460, 170);

    Label1 = placedChild<QLabel>(this, QStringLiteral("Label1"), {16, 12, 300, 22},
                                 QStringLiteral("Ｌｏｇを開始します"));
    Text1 = placedChild<QLineEdit>(this, QStringLiteral("Text1"), {16, 42, 428, 26});
    Label2 = placedChild<QLabel>(this, QStringLiteral("Label2"), {16, 84, 140, 24},
                                 QStringLiteral("Log File Max Size"));
    Cmb_Max_size = placedChild<QComboBox>(this, QStringLiteral("Cmb_Max_size"), {160, 84, 100, 24});
    Command1 = placedChild<QPushButton>(this, QStringLiteral("Command1"), {236, 128, 100, 30},
                                        QStringLiteral("YES"));
    Command2 = placedChild<QPushButton>(this, QStringLiteral("Command2"), {344, 128, 100, 30},
                                        QStringLiteral("NO"));
    connect(Command1, &QPushButton::clicked, this, &frms_LogStart::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frms_LogStart::Command2_Click);

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

void frms_LogStart::Command2_Click() {
    reject();
}

void frms_LogStart::reject() {
    app().iDlgOK = 0;
    QDialog::reject();
}
