#include "storage/frms_SaveAs.h"

#include <QLabel>
#include <QLineEdit>

#include "app/state/AppState.h"
#include "dialogs/Msg.h"
#include "storage/DataFiles.h"
#include "storage/StorageNames.h"
#include "toolkit/Controls.h"

namespace {
// The path goes under the prompt, or under the choice of a derived dialog when it has one.
float pathTop(float choiceHeightTw) {
    return choiceHeightTw > 0 ? 600 + choiceHeightTw + 180 : 630;
}
} // namespace

frms_SaveAs::frms_SaveAs(QWidget* parent, const QString& name, const QString& caption,
                         const QString& prompt, const QString& path, float choiceHeightTw)
    : YesNoDialog(parent, name, caption, 6900, pathTop(choiceHeightTw) + 1230) {
    const float top = pathTop(choiceHeightTw);
    Label1 = control<QLabel>(this, QStringLiteral("Label1"), {240, 180, 3000, 330}, prompt);
    Text1 = control<QLineEdit>(this, QStringLiteral("Text1"), {240, top, 6420, 390});
    Text1->setText(path);
    addYesNo(top + 600);
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
