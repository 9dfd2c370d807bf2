#include "storage/frms_MemSave.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "app/AppState.h"
#include "dialogs/Msg.h"
#include "storage/DataFiles.h"
#include "storage/FormControls.h"
#include "storage/StorageNames.h"

frms_MemSave::frms_MemSave(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frms_MemSave"));
    setWindowTitle(QStringLiteral("Memory → File"));
    setFixedSize(460, 190);

    Label1 = placedChild<QLabel>(this, QStringLiteral("Label1"), {16, 12, 200, 22},
                                 QStringLiteral("セーブします"));
    Frame1 = placedChild<QGroupBox>(this, QStringLiteral("Frame1"), {16, 40, 428, 56},
                                    QStringLiteral("Data"));
    const QString texts[2] = {QStringLiteral("すべてのデータ"),
                              QStringLiteral("表示されているデータ")};
    for (int i = 0; i < 2; ++i) {
        opn_data[i] = placedChild<QRadioButton>(Frame1, indexedName("opn_data", i),
                                                {12 + 200 * i, 22, 190, 24}, texts[i]);
        connect(opn_data[i], &QRadioButton::toggled, this, [this](bool on) {
            if (on) opn_data_Click();
        });
    }

    Text1 = placedChild<QLineEdit>(this, QStringLiteral("Text1"), {16, 108, 428, 26});
    Command1 = placedChild<QPushButton>(this, QStringLiteral("Command1"), {236, 148, 100, 30},
                                        QStringLiteral("YES"));
    Command2 = placedChild<QPushButton>(this, QStringLiteral("Command2"), {344, 148, 100, 30},
                                        QStringLiteral("NO"));
    connect(Command1, &QPushButton::clicked, this, &frms_MemSave::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frms_MemSave::Command2_Click);

    Form_Load();
}

void frms_MemSave::Form_Load() {
    const AppState& s = app();
    Text1->setText(s.strMemFile);
    opn_data[s.iMemSaveMode == 1 ? 0 : 1]->setChecked(true);
    opn_data_Click();
}

void frms_MemSave::opn_data_Click() {
    app().iMemSaveSel = opn_data[0]->isChecked() ? 1 : 0;
}

void frms_MemSave::Command1_Click() {
    AppState& s = app();
    s.strMemFile = Text1->text();
    // Writing over the log while the engine appends to it would interleave two files in one.
    if (s.iLogOn == 1 && appSub::xfunIsLogFile(s.strMemFile, s.strLogFile)) {
        Msg::MsgBoxShow(QStringLiteral("このファイルはロギング処理で使用しています｡"), 0,
                        QString());
        return;
    }
    if (appSub::xfunOverwriteAsk(s.strMemFile) == 7) return;
    s.iDlgOK = 1;
    s.iMemSaveMode = s.iMemSaveSel;
    accept();
}

void frms_MemSave::Command2_Click() {
    reject();
}

void frms_MemSave::reject() {
    app().iDlgOK = 0;
    QDialog::reject();
}
