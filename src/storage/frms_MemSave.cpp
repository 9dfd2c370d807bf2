#include "storage/frms_MemSave.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>

#include "app/state/AppState.h"
#include "toolkit/Controls.h"

frms_MemSave::frms_MemSave(QWidget* parent)
    : frms_SaveAs(parent, QStringLiteral("frms_MemSave"), QStringLiteral("Memory → File"),
                  QStringLiteral("セーブします"), app().strMemFile, 840) {
    Frame1 = control<QGroupBox>(this, QStringLiteral("Frame1"), {240, 600, 6420, 840},
                                QStringLiteral("Data"));
    const QString texts[2] = {QStringLiteral("すべてのデータ"),
                              QStringLiteral("表示されているデータ")};
    for (int i = 0; i < 2; ++i) {
        opn_data[i] = control<QRadioButton>(Frame1, indexedName("opn_data", i),
                                            {180.0f + 3000 * i, 330, 2850, 360}, texts[i]);
        connect(opn_data[i], &QRadioButton::toggled, this, [this](bool on) {
            if (on) opn_data_Click();
        });
    }
    setTabOrder(opn_data[1], Text1); // the choice comes before the name, as it is laid out
    Form_Load();
}

void frms_MemSave::Form_Load() {
    opn_data[app().iMemSaveMode == 1 ? 0 : 1]->setChecked(true);
    opn_data_Click();
}

void frms_MemSave::opn_data_Click() {
    app().iMemSaveSel = opn_data[0]->isChecked() ? 1 : 0;
}

void frms_MemSave::Command1_Click() {
    AppState& s = app();
    s.strMemFile = Text1->text();
    if (!xfunNameAccepted()) return;
    s.iDlgOK = 1;
    s.iMemSaveMode = s.iMemSaveSel;
    accept();
}
