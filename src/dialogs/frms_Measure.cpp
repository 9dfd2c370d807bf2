#include "frms_Measure.h"

#include <QComboBox>
#include <QLabel>

#include "graph/Measurements.h"
#include "toolkit/Controls.h"
#include "toolkit/CountText.h"

namespace {
constexpr float kRowTopTw = 600;
constexpr float kRowHeightTw = 330;
const QString kNoValue = QStringLiteral("-----");
} // namespace

frms_Measure::frms_Measure(QWidget* parent, AnalysisSource source)
    : AnalysisWindow(parent, std::move(source), QStringLiteral("frms_Measure"),
                     QStringLiteral("測定"), 6360, kRowTopTw + kRows * kRowHeightTw + 600) {
    const QString names[kRows] = {QStringLiteral("サンプル数"),  QStringLiteral("最小"),
                                  QStringLiteral("最大"),        QStringLiteral("ピーク間"),
                                  QStringLiteral("平均"),        QStringLiteral("実効値"),
                                  QStringLiteral("標準偏差"),    QStringLiteral("周期 (サンプル)"),
                                  QStringLiteral("周期 (秒)"),   QStringLiteral("周波数"),
                                  QStringLiteral("デューティ比")};
    for (int r = 0; r < kRows; ++r) {
        const float top = kRowTopTw + r * kRowHeightTw;
        Lbl_name[r] =
            control<QLabel>(this, indexedName("Lbl_name", r), {120, top + 30, 2400, 255}, names[r]);
        lbl_meas[r] =
            control<QLabel>(this, indexedName("lbl_meas", r), {2580, top, 3660, 300}, kNoValue);
        lbl_meas[r]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        lbl_meas[r]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        lbl_meas[r]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    placeButtons(kRowTopTw + kRows * kRowHeightTw + 120);
    placeChannel(120, kRowTopTw + kRows * kRowHeightTw + 150);
}

void frms_Measure::xsubShowSpan(const AnalysisSpan& span, double rate) {
    const Measurements m = xfunMeasure(span.values);
    const bool any = m.count > 0;
    // Bytes are whole numbers; a channel's units may be of any size.
    const bool units = channelShown();
    auto fixed = [any, units](double v, int decimals) {
        if (!any) return kNoValue;
        return units ? QString::number(v, 'g', 6) : QString::number(v, 'f', decimals);
    };
    lbl_meas[Count]->setText(xfunCountText(m.count));
    lbl_meas[Min]->setText(any ? QString::number(m.min) : kNoValue);
    lbl_meas[Max]->setText(any ? QString::number(m.max) : kNoValue);
    lbl_meas[PeakToPeak]->setText(any ? QString::number(m.max - m.min) : kNoValue);
    lbl_meas[Mean]->setText(fixed(m.mean, 2));
    lbl_meas[Rms]->setText(fixed(m.rms, 2));
    lbl_meas[StdDev]->setText(fixed(m.stdDev, 2));
    const std::optional<double> period = m.periodSamples;
    lbl_meas[Period]->setText(period ? QString::number(*period, 'f', 2) : kNoValue);
    Lbl_name[Count]->setText(units ? QStringLiteral("フレーム数") : QStringLiteral("サンプル数"));
    lbl_meas[PeriodSeconds]->setText(period && rate > 0 ? QString::number(*period / rate, 'g', 6) +
                                                              QStringLiteral(" s")
                                                        : kNoValue);
    lbl_meas[Frequency]->setText(period ? xfunFrequencyText(1 / *period, rate) : kNoValue);
    lbl_meas[Duty]->setText(m.dutyPct ? QString::number(*m.dutyPct, 'f', 1) + QStringLiteral(" %")
                                      : kNoValue);
}

QString frms_Measure::xfunCopyText() const {
    QString text;
    for (int r = 0; r < kRows; ++r)
        text += Lbl_name[r]->text() + QLatin1Char('\t') + lbl_meas[r]->text() + QLatin1Char('\n');
    text += Label_rate->text() + QLatin1Char('\t') + lbl_rate->text() + QStringLiteral(" (") +
            cmb_rate->currentText() + QStringLiteral(")\n");
    return text;
}
