#pragma once

#include <QDialog>
#include <array>
#include <cstdint>
#include <vector>

#include "channels/ChannelTrigger.h"
#include "graph/Trigger.h"

class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSpinBox;

// Sets the trigger of the live trace: the mode, the level within the current view's range, the
// slope and where the trigger point stands on the screen. The caller reads chosen() after "OK".
class frms_Trigger : public QDialog {
    Q_OBJECT
public:
    frms_Trigger(QWidget* parent, const TriggerSettings& current, int16_t levelMin,
                 int16_t levelMax);

    // On a decoded channel: the channel chosen among `channels` and a level in its units; a
    // choice of channel proposes proposals[channel] as the level.
    frms_Trigger(QWidget* parent, const ChannelTriggerSettings& current,
                 const QStringList& channels, std::vector<double> proposals);

    TriggerSettings chosen() const;
    ChannelTriggerSettings chosenOnChannel() const;
    void opn_mode_Click();
    void Command1_Click();
    void Command2_Click();

    QGroupBox* Frame1 = nullptr; // mode
    std::array<QRadioButton*, 4> opn_mode{};
    QGroupBox* Frame2 = nullptr; // slope
    std::array<QRadioButton*, 2> opn_slope{};
    QGroupBox* Frame3 = nullptr; // level
    QSpinBox* spn_level = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cmb_channel = nullptr;    // on a channel, in place of spn_level and Label1
    QDoubleSpinBox* dbl_level = nullptr; // on a channel
    QGroupBox* Frame4 = nullptr;         // trigger position
    QSpinBox* spn_pos = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};
