#pragma once

#include "storage/YesNoDialog.h"

class QComboBox;
class QLabel;
class QLineEdit;

// "Log Start": the log file name and its size limit. Reports through iDlgOK; closing it any
// other way than "YES" counts as "NO".
class frms_LogStart : public YesNoDialog {
    Q_OBJECT
public:
    explicit frms_LogStart(QWidget* parent = nullptr);

    void Form_Load();
    void Command1_Click() override;

    QLabel* Label1 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* Cmb_Max_size = nullptr;
};
