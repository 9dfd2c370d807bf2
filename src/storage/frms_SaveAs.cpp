#include "storage/frms_SaveAs.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/AppState.h"
#include "dialogs/Msg.h"
#include "storage/DataFiles.h"
#include "storage/FormControls.h"
#include "storage/StorageNames.h"

frms_SaveAs::frms_SaveAs(QWidget* parent, const QString& name, const QString& caption,
                         const QString& prompt, const QString& path, int choiceHeight)
    : QDialog(parent) {
    setObjectName(name);
    setWindowTitle(caption);
    const int pathTop = choiceHeight > 0 ? 40 + choiceHeight + 12 : 42;
    setFixedSize(460, pathTop + 82);

    Label1 = placedChild<QLabel>(this, QStringLiteral("Label1"), {16, 12, 200, 22}, prompt);
    Text1 = placedChild<QLineEdit>(this, QStringLiteral("Text1"), {16, pathTop, 428, 26});
    Text1->setText(path);
    Command1 = placedChild<QPushButton>(this, QStringLiteral("Command1"),
                                        {236, pathTop + 40, 100, 30}, QStringLiteral("YES"));
    Command2 = placedChild<QPushButton>(this, QStringLiteral("Command2"),
                                        {344, pathTop + 40, 100, 30}, QStringLiteral("NO"));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, &frms_SaveAs::Command2_Click);
}

bool frms_SaveAs::xfunNameAccepted() {
    const AppState& s = app();
    const QString path = Text1->text();
    // Writing over the log while the engine appends to it would interleave two files in one.
    if (s.iLogOn == 1 && appSub::xfunIsLogFile(path, s.strLogFile)) {
        Msg::MsgBoxShow(QStringLiteral("このファイルはロギング処理で使用しています｡"), Msg::kOKOnly,
                        QString());
        return false;
    }
    return appSub::xfunOverwriteAsk(path) != Msg::kNo;
}

void frms_SaveAs::Command1_Click() {
    if (!xfunNameAccepted()) return;
    app().iDlgOK = 1;
    accept();
}

void frms_SaveAs::Command2_Click() {
    reject();
}

void frms_SaveAs::reject() {
    app().iDlgOK = 0;
    QDialog::reject();
}
