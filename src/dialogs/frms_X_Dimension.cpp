#include "frms_X_Dimension.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <cmath>

#include "app/state/AppState.h"
#include "toolkit/Controls.h"

namespace {
constexpr int kXDimMin = 10;
constexpr int kXDimMax = 800;
constexpr int kPresets[] = {10,  20,  30,  40,  45,  50,  60,  64,  70,  80,  90,  100,
                            128, 135, 150, 180, 200, 225, 250, 256, 270, 300, 315, 350,
                            360, 400, 450, 500, 512, 550, 600, 650, 700, 720, 750, 800};
} // namespace

std::optional<double> xfunXDimRead(const QString& text) {
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)$"));
    if (!number.match(text).hasMatch()) return std::nullopt;
    return std::nearbyint(text.toDouble());
}

frms_X_Dimension::frms_X_Dimension(QWidget* parent) : QDialog(parent) {
    setupDialog(this, QStringLiteral("frms_X_Dimension"), QStringLiteral("Set X-Dimension"));
    setFixedSizeTw(this, 4680, 2385);

    Frame1 = control<QGroupBox>(this, QStringLiteral("Frame1"), {120, 480, 4335, 1215},
                                QStringLiteral("X-Dimension"));
    Cmb_x = control<QComboBox>(Frame1, QStringLiteral("Cmb_x"), {120, 360, 1575, 300});
    Text1 = control<QLineEdit>(Frame1, QStringLiteral("Text1"), {1920, 360, 1455, 300});
    Label1 = control<QLabel>(Frame1, QStringLiteral("Label1"), {1920, 720, 2055, 255},
                             QStringLiteral("10 ～ 800 Point"));
    Command1 = control<QPushButton>(this, QStringLiteral("Command1"), {1560, 1800, 1455, 375},
                                    QStringLiteral("Ｏ　Ｋ"));
    Command1->setDefault(true);
    Command2 = control<QPushButton>(this, QStringLiteral("Command2"), {3120, 1800, 1335, 375},
                                    QStringLiteral("キャンセル"));

    connect(Cmb_x, &QComboBox::activated, this, &frms_X_Dimension::Cmb_x_Click);
    connect(Command1, &QPushButton::clicked, this, &frms_X_Dimension::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &frms_X_Dimension::Command2_Click);

    Form_Load();
}

void frms_X_Dimension::Form_Load() {
    Text1->setText(QString::number(app().iSetXDim));
    for (int preset : kPresets)
        Cmb_x->addItem(QString::number(preset));
    Cmb_x->setCurrentIndex(Cmb_x->findText(Text1->text()));
}

void frms_X_Dimension::Cmb_x_Click() {
    Text1->setText(Cmb_x->currentText());
}

void frms_X_Dimension::Command1_Click() {
    Text1->setText(Text1->text().trimmed());
    const std::optional<double> value = xfunXDimRead(Text1->text());
    if (!value) return;
    if (*value >= kXDimMin && *value <= kXDimMax) app().iSetXDim = static_cast<int16_t>(*value);
    accept();
}

void frms_X_Dimension::Command2_Click() {
    reject();
}
