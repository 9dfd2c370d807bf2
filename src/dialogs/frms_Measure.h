#pragma once

#include <array>

#include "AnalysisWindow.h"

// The measurements of the span: count, range, mean, RMS, spread, period, frequency and duty.
class frms_Measure : public AnalysisWindow {
    Q_OBJECT
public:
    // The rows, top to bottom.
    enum Row {
        Count,
        Min,
        Max,
        PeakToPeak,
        Mean,
        Rms,
        StdDev,
        Period,
        PeriodSeconds,
        Frequency,
        Duty
    };
    static constexpr int kRows = Duty + 1;

    explicit frms_Measure(QWidget* parent, AnalysisSource source);

    std::array<QLabel*, kRows> Lbl_name{};
    std::array<QLabel*, kRows> lbl_meas{};

protected:
    void xsubShowSpan(const AnalysisSpan& span, double rate) override;
    QString xfunCopyText() const override;
};
