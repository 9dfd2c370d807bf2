#include "frms_Trigger.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "toolkit/Controls.h"

frms_Trigger::frms_Trigger(QWidget* parent, const TriggerSettings& current, int16_t levelMin,
                           int16_t levelMax)
    : QDialog(parent) {
    setupDialog(this, QStringLiteral("frms_Trigger"), QStringLiteral("Set Trigger"));
    setFixedSizeTw(this, 5400, 2895);

    Frame1 = control<QGroupBox>(this, QStringLiteral("Frame1"), {120, 120, 5160, 660},
                                QStringLiteral("モード"));
    const QString modes[4] = {QStringLiteral("オフ"), QStringLiteral("ノーマル"),
                              QStringLiteral("オート"), QStringLiteral("シングル")};
    for (int k = 0; k < 4; ++k) {
        opn_mode[k] = control<QRadioButton>(Frame1, indexedName("opn_mode", k),
                                            {120.0f + 1260 * k, 300, 1215, 300}, modes[k]);
        connect(opn_mode[k], &QRadioButton::toggled, this, [this](bool on) {
            if (on) opn_mode_Click();
        });
    }

    Frame2 = control<QGroupBox>(this, QStringLiteral("Frame2"), {120, 900, 2520, 660},
                                QStringLiteral("スロープ"));
    const QString slopes[2] = {QStringLiteral("立上り"), QStringLiteral("立下り")};
    for (int k = 0; k < 2; ++k)
        opn_slope[k] = control<QRadioButton>(Frame2, indexedName("opn_slope", k),
                                             {120.0f + 1200 * k, 300, 1155, 300}, slopes[k]);

    Frame3 = control<QGroupBox>(this, QStringLiteral("Frame3"), {2760, 900, 2520, 660},
                                QStringLiteral("レベル"));
    spn_level = control<QSpinBox>(Frame3, QStringLiteral("spn_level"), {120, 270, 855, 315});
    spn_level->setRange(levelMin, levelMax);
    Label1 = control<QLabel>(Frame3, QStringLiteral("Label1"), {1080, 300, 1320, 255},
                             QStringLiteral("%1 ～ %2").arg(levelMin).arg(levelMax));

    Frame4 = control<QGroupBox>(this, QStringLiteral("Frame4"), {120, 1680, 5160, 660},
                                QStringLiteral("トリガ位置"));
    spn_pos = control<QSpinBox>(Frame4, QStringLiteral("spn_pos"), {120, 270, 855, 315});
    spn_pos->setRange(0, 100);
    Label2 = control<QLabel>(Frame4, QStringLiteral("Label2"), {1080, 300, 3240, 255},
                             QStringLiteral("% (画面の左端 0 ～ 右端 100)"));

    Command1 = control<QPushButton>(this, QStringLiteral("Command1"), {2280, 2400, 1455, 375},
                                    QStringLiteral("Ｏ　Ｋ"));
    Command1->setDefault(true);
    Command2 = control<QPushButton>(this, QStringLiteral("Command2"), {3840, 2400, 1335, 375},
                                    QStringLiteral("キャンセル"));
    connect(Command1, &QPushButton::clicked, this, &frms_Trigger::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frms_Trigger::Command2_Click);

    opn_mode[static_cast<int>(current.mode)]->setChecked(true);
    opn_slope[static_cast<int>(current.slope)]->setChecked(true);
    spn_level->setValue(current.level);
    spn_pos->setValue(current.positionPct);
    opn_mode_Click();
}

frms_Trigger::frms_Trigger(QWidget* parent, const ChannelTriggerSettings& current,
                           const QStringList& channels, std::vector<double> proposals)
    : frms_Trigger(parent, {current.mode, 0, current.slope, current.positionPct}, 0, 0) {
    spn_level->setVisible(false);
    Label1->setVisible(false);
    Frame3->setTitle(QStringLiteral("チャンネルとレベル"));
    cmb_channel = control<QComboBox>(Frame3, QStringLiteral("cmb_channel"), {120, 270, 1140, 315});
    cmb_channel->addItems(channels);
    dbl_level =
        control<QDoubleSpinBox>(Frame3, QStringLiteral("dbl_level"), {1320, 270, 1080, 315});
    dbl_level->setRange(-1e12, 1e12);
    dbl_level->setDecimals(4);
    cmb_channel->setCurrentIndex(current.channel);
    dbl_level->setValue(current.level);
    connect(cmb_channel, &QComboBox::currentIndexChanged, this,
            [this, proposals = std::move(proposals)](int channel) {
                if (channel >= 0 && channel < static_cast<int>(proposals.size()))
                    dbl_level->setValue(proposals[static_cast<size_t>(channel)]);
            });
}

ChannelTriggerSettings frms_Trigger::chosenOnChannel() const {
    const TriggerSettings s = chosen();
    return {s.mode, cmb_channel->currentIndex(), dbl_level->value(), s.slope, s.positionPct};
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
    if (dbl_level) dbl_level->interpretText();
    spn_pos->interpretText();
    accept();
}

void frms_Trigger::Command2_Click() {
    reject();
}
