#include "frms_Trigger.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "DialogSetup.h"
#include "toolkit/Twips.h"

namespace {
template <typename W>
W* placed(W* w, const QString& name, float left, float top, float width, float height) {
    named(w, name);
    placeTw(w, left, top, width, height);
    return w;
}
} // namespace

frms_Trigger::frms_Trigger(QWidget* parent, const TriggerSettings& current, int16_t levelMin,
                           int16_t levelMax)
    : QDialog(parent) {
    setupFixedDialog(this, QStringLiteral("frms_Trigger"), QStringLiteral("Set Trigger"));
    setFixedSize(twipsToPx(5400), twipsToPx(2895));

    Frame1 = placed(new QGroupBox(QStringLiteral("モード"), this), QStringLiteral("Frame1"), 120,
                    120, 5160, 660);
    const QString modes[4] = {QStringLiteral("オフ"), QStringLiteral("ノーマル"),
                              QStringLiteral("オート"), QStringLiteral("シングル")};
    for (int k = 0; k < 4; ++k) {
        opn_mode[k] = placed(new QRadioButton(modes[k], Frame1), indexedName("opn_mode", k),
                             120 + 1260 * k, 300, 1215, 300);
        connect(opn_mode[k], &QRadioButton::toggled, this, [this](bool on) {
            if (on) opn_mode_Click();
        });
    }

    Frame2 = placed(new QGroupBox(QStringLiteral("スロープ"), this), QStringLiteral("Frame2"), 120,
                    900, 2520, 660);
    const QString slopes[2] = {QStringLiteral("立上り"), QStringLiteral("立下り")};
    for (int k = 0; k < 2; ++k)
        opn_slope[k] = placed(new QRadioButton(slopes[k], Frame2), indexedName("opn_slope", k),
                              120 + 1200 * k, 300, 1155, 300);

    Frame3 = placed(new QGroupBox(QStringLiteral("レベル"), this), QStringLiteral("Frame3"), 2760,
                    900, 2520, 660);
    spn_level = placed(new QSpinBox(Frame3), QStringLiteral("spn_level"), 120, 270, 855, 315);
    spn_level->setRange(levelMin, levelMax);
    Label1 = placed(new QLabel(QStringLiteral("%1 ～ %2").arg(levelMin).arg(levelMax), Frame3),
                    QStringLiteral("Label1"), 1080, 300, 1320, 255);

    Frame4 = placed(new QGroupBox(QStringLiteral("トリガ位置"), this), QStringLiteral("Frame4"),
                    120, 1680, 5160, 660);
    spn_pos = placed(new QSpinBox(Frame4), QStringLiteral("spn_pos"), 120, 270, 855, 315);
    spn_pos->setRange(0, 100);
    Label2 = placed(new QLabel(QStringLiteral("% (画面の左端 0 ～ 右端 100)"), Frame4),
                    QStringLiteral("Label2"), 1080, 300, 3240, 255);

    Command1 = placed(new QPushButton(QStringLiteral("Ｏ　Ｋ"), this), QStringLiteral("Command1"),
                      2280, 2400, 1455, 375);
    Command1->setDefault(true);
    Command2 = placed(new QPushButton(QStringLiteral("キャンセル"), this),
                      QStringLiteral("Command2"), 3840, 2400, 1335, 375);
    connect(Command1, &QPushButton::clicked, this, &frms_Trigger::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frms_Trigger::Command2_Click);

    opn_mode[static_cast<int>(current.mode)]->setChecked(true);
    opn_slope[static_cast<int>(current.slope)]->setChecked(true);
    spn_level->setValue(current.level);
    spn_pos->setValue(current.positionPct);
    opn_mode_Click();
}

TriggerSettings frms_Trigger::chosen() const {
    TriggerSettings s;
    for (int k = 0; k < 4; ++k)
        if (opn_mode[k]->isChecked()) s.mode = static_cast<TriggerMode>(k);
    s.slope = opn_slope[1]->isChecked() ? TriggerSlope::Falling : TriggerSlope::Rising;
    s.level = static_cast<int16_t>(spn_level->value());
    s.positionPct = static_cast<int16_t>(spn_pos->value());
    return s;
}

void frms_Trigger::opn_mode_Click() {
    // Disarmed, the other settings are kept for the next arming but mean nothing now.
    const bool on = !opn_mode[0]->isChecked();
    for (QGroupBox* f : {Frame2, Frame3, Frame4})
        f->setEnabled(on);
}

void frms_Trigger::Command1_Click() {
    // A number still being typed counts as the user sees it.
    spn_level->interpretText();
    spn_pos->interpretText();
    accept();
}

void frms_Trigger::Command2_Click() {
    reject();
}
