#pragma once

#include <QDialog>
#include <QString>
#include <optional>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The number of samples across the graph as the user typed it: a plain, optionally signed
// decimal number, a fraction rounded half to even; nothing for any other text.
std::optional<double> xfunXDimRead(const QString& text);

// Chooses the number of samples across the graph: a preset or a typed value of 10..800.
// Reads and writes only the transfer value iSetXDim.
class frms_X_Dimension : public QDialog {
    Q_OBJECT
public:
    explicit frms_X_Dimension(QWidget* parent);

    void Cmb_x_Click();
    void Command1_Click();
    void Command2_Click();

    QGroupBox* Frame1 = nullptr;
    QComboBox* Cmb_x = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

private:
    void Form_Load();
};
