#pragma once

#include <QDialog>
#include <array>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// "Memory → File": the file name and whether all data or only the screen is saved.
// Reports through iDlgOK; closing it any other way than "YES" counts as "NO".
class frms_MemSave : public QDialog {
    Q_OBJECT
public:
    explicit frms_MemSave(QWidget* parent = nullptr);

    void Form_Load();
    void opn_data_Click();
    void Command1_Click();
    void Command2_Click();
    void reject() override;

    QLabel* Label1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    std::array<QRadioButton*, 2> opn_data{};
    QLineEdit* Text1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};
