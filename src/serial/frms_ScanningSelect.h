#pragma once

#include <QDialog>
#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

// The "Scanning Select" dialog: where live samples come from (serial port, test pattern or
// nothing), the port with its line parameters, and the test pattern. Created for each opening.
class frms_ScanningSelect : public QDialog {
    Q_OBJECT
public:
    explicit frms_ScanningSelect(QWidget* parent = nullptr);

    void Form_Load();
    void Opn_sel_Click(int index);
    void Command1_Click();
    void Command2_Click();

    // Port list offered after "COM1".."COM4": the serial ports present on this machine, by
    // device path, without the ones COM1..COM4 already stand for, then the persistent names
    // (links) found in persistentNamesDir.
    static QStringList
    machinePorts(const QString& persistentNamesDir = QStringLiteral("/dev/serial/by-id"));

    std::array<QRadioButton*, 3> Opn_sel{};
    QGroupBox* frm_COM = nullptr;
    QComboBox* Combo0 = nullptr;
    QComboBox* combo1 = nullptr;
    QComboBox* combo2 = nullptr;
    QComboBox* combo3 = nullptr;
    QComboBox* combo4 = nullptr;
    QComboBox* Combo5 = nullptr;
    QLabel* lbl_LineNote = nullptr; // why the line settings do not apply to the typed port
    QGroupBox* Frm_Test = nullptr;
    std::array<QRadioButton*, 3> opn_tp{};
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

private:
    void buildControls();
    // Greys the line settings for a port that carries bytes only, and says why.
    void showLineControl();
};
