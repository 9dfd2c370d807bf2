#include "frms_set.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "app/state/AppState.h"
#include "toolkit/Controls.h"

namespace {
QLabel* swatch(QWidget* parent, const QString& name, float left, float top) {
    auto* l = control<QLabel>(parent, name, {left, top, 375, 255});
    l->setFrameStyle(QFrame::Box | QFrame::Plain);
    return l;
}
} // namespace

frms_set::frms_set(QWidget* parent) : QDialog(parent) {
    setupDialog(this, QStringLiteral("frms_set"), QStringLiteral("Set Pen Color"));
    setFixedSizeTw(this, 4695, 2895);

    for (int k = 0; k < 9; ++k) {
        lbl_clr[k] = swatch(this, QStringLiteral("lbl_clr(%1)").arg(k), 120 + 480 * k, 120);
        setBackColor(lbl_clr[k], kPalette[k]);
        lbl_clr[k]->installEventFilter(this);
    }
    lbl_ttl = control<QLabel>(this, QStringLiteral("lbl_ttl"), {120, 600, 1335, 255},
                              QStringLiteral("Pen Color"));
    lbl_set_clr = swatch(this, QStringLiteral("lbl_set_clr"), 120, 960);
    Frame1 = control<QGroupBox>(this, QStringLiteral("Frame1"), {120, 1320, 3975, 735},
                                QStringLiteral("Line Width"));
    cmb_LineDraw =
        control<QComboBox>(Frame1, QStringLiteral("cmb_LineDraw"), {120, 240, 1215, 300});
    Command1 = control<QPushButton>(this, QStringLiteral("Command1"), {1920, 2280, 1335, 375},
                                    QStringLiteral("O K"));
    QFont okFont = Command1->font();
    okFont.setFamily(QStringLiteral("ＭＳ Ｐゴシック"));
    Command1->setFont(okFont);
    Command2 = control<QPushButton>(this, QStringLiteral("Command2"), {3360, 2280, 1215, 375},
                                    QStringLiteral("キャンセル"));

    connect(Command1, &QPushButton::clicked, this, &frms_set::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frms_set::Command2_Click);

    Form_Load();
}

void frms_set::Form_Load() {
    const AppState& s = app();
    setBackColor(lbl_set_clr, s.lSetColor);
    for (int width = 1; width <= 10; ++width)
        cmb_LineDraw->addItem(QString::number(width));
    cmb_LineDraw->setCurrentIndex(cmb_LineDraw->findText(QString::number(s.lLineWidth)));
}

bool frms_set::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) {
        for (int k = 0; k < 9; ++k) {
            if (watched == lbl_clr[k]) {
                lbl_clr_Click(k);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void frms_set::lbl_clr_Click(int index) {
    setBackColor(lbl_set_clr, backColor(lbl_clr[index]));
}

void frms_set::Command1_Click() {
    AppState& s = app();
    s.lSetColor = backColor(lbl_set_clr);
    s.lSetWidth = cmb_LineDraw->currentText().toInt();
    accept();
}

void frms_set::Command2_Click() {
    reject();
}
