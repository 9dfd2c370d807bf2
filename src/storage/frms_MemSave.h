#pragma once

#include <array>

#include "storage/frms_SaveAs.h"

class QGroupBox;
class QRadioButton;

// "Memory → File": the file name and whether all data or only the screen is saved.
class frms_MemSave : public frms_SaveAs {
    Q_OBJECT
public:
    explicit frms_MemSave(QWidget* parent = nullptr);

    void Form_Load();
    void opn_data_Click();
    void Command1_Click() override;

    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, 2> opn_data{};
};
