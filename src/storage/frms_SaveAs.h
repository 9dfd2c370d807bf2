#pragma once

#include "storage/YesNoDialog.h"

class QLabel;
class QLineEdit;

// Asks for the name of a file to save, starting from a proposal: a prompt, the editable path
// and "YES"/"NO", with room between prompt and path for a choice of a derived dialog. "YES"
// refuses the file the running log is written to and asks before overwriting; the dialog
// reports through iDlgOK, and closing it any other way than "YES" counts as "NO".
class frms_SaveAs : public YesNoDialog {
    Q_OBJECT
public:
    frms_SaveAs(QWidget* parent, const QString& name, const QString& caption, const QString& prompt,
                const QString& path, float choiceHeightTw = 0);

    void Command1_Click() override;

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;

protected:
    // True when the typed name may be written; otherwise the dialog stays open for another.
    bool xfunNameAccepted();
};
