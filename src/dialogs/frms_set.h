#pragma once

#include <QDialog>
#include <array>
#include <cstdint>

#include "toolkit/Colors.h"

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;

// Chooses the trace pen: one of nine colour swatches and a line width of 1..10 pixels.
// Reads and writes only the transfer values lSetColor and lSetWidth.
class frms_set : public QDialog {
    Q_OBJECT
public:
    explicit frms_set(QWidget* parent);

    // The swatch colours, 0x00BBGGRR, by swatch index.
    static constexpr std::array<int32_t, 9> kPalette = {
        kLightGrey, kRed, kOrange, kYellow, kGreen, kCyan, kBlue, kMagenta, kBlack};

    void lbl_clr_Click(int index);
    void Command1_Click();
    void Command2_Click();

    std::array<QLabel*, 9> lbl_clr{};
    QLabel* lbl_ttl = nullptr;
    QLabel* lbl_set_clr = nullptr;
    QGroupBox* Frame1 = nullptr;
    QComboBox* cmb_LineDraw = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;

protected:
    // Labels have no click of their own; a press on a swatch counts as its click.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Form_Load();
};
