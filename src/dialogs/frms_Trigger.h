#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "graph/Trigger.h"

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

    TriggerSettings chosen() const;
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
    QGroupBox* Frame4 = nullptr; // trigger position
    QSpinBox* spn_pos = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};
