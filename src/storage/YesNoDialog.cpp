#include "storage/YesNoDialog.h"

#include <QPushButton>

#include "app/state/AppState.h"
#include "toolkit/Controls.h"

YesNoDialog::YesNoDialog(QWidget* parent, const QString& name, const QString& caption,
                         float widthTw, float heightTw)
    : QDialog(parent) {
    setupDialog(this, name, caption);
    setFixedSizeTw(this, widthTw, heightTw);
}

void YesNoDialog::addYesNo(float topTw) {
    Command1 = control<QPushButton>(this, QStringLiteral("Command1"), {3540, topTw, 1500, 450},
                                    QStringLiteral("YES"));
    Command2 = control<QPushButton>(this, QStringLiteral("Command2"), {5160, topTw, 1500, 450},
                                    QStringLiteral("NO"));
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, &YesNoDialog::Command2_Click);
}

void YesNoDialog::Command2_Click() {
    reject();
}

void YesNoDialog::reject() {
    app().iDlgOK = 0;
    QDialog::reject();
}
