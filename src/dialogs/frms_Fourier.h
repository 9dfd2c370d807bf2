#pragma once

#include <QPixmap>
#include <QWidget>
#include <vector>

#include "AnalysisWindow.h"

// The spectrum drawn: level in dB over frequency from 0 to half the rate, the peak marked and
// the bin under the mouse lined.
class FourierPlot : public QWidget {
    Q_OBJECT
public:
    static constexpr double kTopDb = 10;
    static constexpr double kBottomDb = -110;

    explicit FourierPlot(QWidget* parent);
    void setSpectrum(std::vector<double> levelsDb, int n, double rate, int peakBin);
    void setCursorBin(int bin); // -1: none
    // The bin under pixel column x, or -1 off the plot.
    int binAt(int x) const;
    int xOfBin(int bin) const;

signals:
    void mouseMovedPx(int x); // -1 when the mouse has left

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    QRect plotArea() const;
    void paintFurniture(QPainter& p) const;
    int yOfLevel(double db) const;

    std::vector<double> m_levels;
    int m_n = 0;
    double m_rate = 0;
    int m_peak = -1;
    int m_cursor = -1;
    QPixmap m_furniture; // background, scales and labels, drawn once for the length and rate
};

// The magnitude spectrum of the span, through the window function chosen.
class frms_Fourier : public AnalysisWindow {
    Q_OBJECT
public:
    explicit frms_Fourier(QWidget* parent, AnalysisSource source);

    void cmb_window_Click();
    // The readout of the bin under the mouse (x in the plot's pixels, -1 when it has left).
    void pic_spectrum_MouseMove(int x);

    QLabel* Label_window = nullptr;
    QComboBox* cmb_window = nullptr; // 矩形, ハニング, ブラックマン・ハリス, フラットトップ
    FourierPlot* pic_spectrum = nullptr;
    QLabel* lbl_peak = nullptr;
    QLabel* lbl_cursor = nullptr;
    QLabel* lbl_fullscale = nullptr; // what 0 dB is on a channel

protected:
    void xsubShowSpan(const AnalysisSpan& span, double rate) override;
    // CSV like the pane's export: "Bin,Hz,dB" (or cycles per sample without a rate).
    QString xfunCopyText() const override;

private:
    // "2.5 Hz, -3.01 dB" for bin m of what is shown.
    QString xfunBinText(int m) const;

    std::vector<double> m_levels;
    int m_n = 0;
    double m_rate = 0;
    int m_mouseX = -1;
};
