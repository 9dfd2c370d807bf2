#pragma once

#include <QDialog>
#include <cstdint>
#include <functional>
#include <vector>

#include "graph/Fourier.h"
#include "graph/Measurements.h"

class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTimer;

// Four times a second, as a meter reads: readouts that change faster cannot be read, and each
// refresh paints both windows, which costs about as much as a picture of the pane.
constexpr int kAnalysisRefreshMs = 250;

// "11,520 /s", "872.73 /s", or "-----" without a rate.
QString xfunRateText(double perSecond);
// A frequency in Hz with a rate, else in cycles per sample.
QString xfunFrequencyText(double cyclesPerSample, double rate);

// The span of one view: the byte pane's samples, or a decoded channel's in its units.
struct AnalysisSpan {
    std::vector<double> values;
    double lineRate = 0;       // samples a second "回線から" (frames for a lens); 0: none
    bool rateMeasured = false; // lineRate was counted as frames came, not worked out
    double fullScale = kFullScaleAmplitude; // the amplitude of a 0 dB sine
    QString fullScaleNote;                  // where that comes from; empty for the byte view
    bool operator==(const AnalysisSpan&) const = default;
};

// What the two windows look at: the rate choice they share for the run, the names of the
// channels they may choose (none in the byte view), and the span of channel `channel` (ignored
// in the byte view) as the main window shows it.
struct AnalysisSource {
    RateChoice* rateChoice = nullptr;
    std::function<QStringList()> channels;
    std::function<AnalysisSpan(int channel)> span;
};

// What the measurement and the spectrum window share: non-modal beside the main window, the
// sample-rate row at the top, "コピー" and "閉じる" at the bottom, and a refresh whenever the
// screen's span or the rate has changed, no faster than kAnalysisRefreshMs. Closing hides the
// window, so its choices last for the run.
class AnalysisWindow : public QDialog {
    Q_OBJECT
public:
    // Works out and shows the span, when it or the rate changed since it was last shown.
    void xsubRefresh();
    // Works out and shows the span whether or not it changed (a choice of this window did).
    void xsubRefreshNow();
    void cmb_rate_Click();
    void txt_rate_Change();
    void Cmd_Copy_Click();

    QLabel* Label_rate = nullptr;
    QComboBox* cmb_rate = nullptr; // "回線から", "入力", "なし"
    QSpinBox* txt_rate = nullptr;  // the entered rate
    QLabel* lbl_rate = nullptr;    // the rate in use
    QLabel* Label_channel = nullptr;
    QComboBox* cmb_channel = nullptr; // shown while a lens is on
    QPushButton* Cmd_Copy = nullptr;
    QPushButton* Cmd_Close = nullptr;
    QTimer* Timer_Refresh = nullptr;

protected:
    AnalysisWindow(QWidget* parent, AnalysisSource source, const QString& name,
                   const QString& caption, float widthTw, float heightTw);
    // The two buttons, right-aligned with their top at this twip.
    void placeButtons(float top);
    // The channel's label and list, from this twip.
    void placeChannel(float left, float top);
    virtual void xsubShowSpan(const AnalysisSpan& span, double rate) = 0;
    // The span shown is a channel's (a lens is on).
    bool channelShown() const { return m_channelShown; }
    // The clipboard's text of what is shown.
    virtual QString xfunCopyText() const = 0;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    AnalysisSource m_source;

private:
    float m_widthTw;
    void xsubChannelList();

    bool m_channelShown = false;
    bool m_current = false; // m_span and m_rate are what is shown
    AnalysisSpan m_span;
    double m_rate = 0;
};
