#include <QCheckBox>

#include "app/ChannelZoom.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "channels/ChannelPane.h"
#include "channels/ChannelStore.h"
#include "dialogs/frms_Fourier.h"
#include "dialogs/frms_Measure.h"

namespace {
// Brings a window up beside the main window, made at its first opening.
template <typename Window> void openWindow(frms_RS_GRAPH_1* form, Window*& window) {
    if (!window) window = new Window(form, form->xfunAnalysisSource());
    window->show();
    window->raise();
    window->activateWindow();
}
} // namespace

void frms_RS_GRAPH_1::mnu_Measure_Click() {
    openWindow(this, frmMeasure);
}

void frms_RS_GRAPH_1::mnu_Spectrum_Click() {
    openWindow(this, frmSpectrum);
}

AnalysisSource frms_RS_GRAPH_1::xfunAnalysisSource() {
    return AnalysisSource{&rateChoice,
                          [this] {
                              QStringList names;
                              if (xfunLensOn() && pic_channels->store())
                                  for (int c = 0; c < pic_channels->store()->channelCount(); ++c)
                                      names << pic_channels->store()->channel(c).name;
                              return names;
                          },
                          [this](int channel) { return xfunAnalysisSpan(channel); }};
}

AnalysisSpan frms_RS_GRAPH_1::xfunAnalysisSpan(int channel) const {
    const AppState& s = app();
    const bool bothCursors = chk_curx[0]->isChecked() && chk_curx[1]->isChecked();
    const double characterRate =
        xfunSourceRate(s.iScanSource, s.strBaud, s.strParity, s.strDataBits, s.strStopBits);
    AnalysisSpan span;
    const ChannelStore* store = pic_channels ? pic_channels->store() : nullptr;
    if (!xfunLensOn() || !store) {
        const std::vector<int16_t> bytes =
            xfunSpanValues(m_shown, s.ChData[0].iSigned, bothCursors, s.iCurXPos[0], s.iCurXPos[1]);
        span.values.assign(bytes.begin(), bytes.end());
        span.lineRate = characterRate;
        return span;
    }
    // Zoomed, the cursors read the frames where they stand across the plot.
    const auto cursor = [&](int i) {
        return m_channelZoom->zoomed() ? m_channelZoom->cursorIndex(s.iCurXPos[i]) : s.iCurXPos[i];
    };
    span.values =
        xfunChannelSpan(*store, channel, pic_channels->firstFrame(),
                        pic_channels->framesPerScreen(), bothCursors, cursor(0), cursor(1));
    const lens::Format& format = store->format();
    span.lineRate = xfunLensFrameRate(&span.rateMeasured);
    const double gain = channel < store->channelCount() ? store->channel(channel).gain : 1;
    const FullScale full = xfunChannelFullScale(format, channel, gain, pic_channels->yRange());
    span.fullScale = full.amplitude;
    span.fullScaleNote =
        QStringLiteral("0 dB: ±%1 (%2)")
            .arg(full.amplitude, 0, 'g', 8)
            .arg(full.ofType ? QStringLiteral("型の範囲") : QStringLiteral("Y 範囲"));
    return span;
}

double frms_RS_GRAPH_1::xfunLensFrameRate(bool* measured) const {
    const AppState& s = app();
    *measured = false;
    if (!xfunLensOn()) return 0;
    // Text lines have no fixed length: only the live stream tells how many come.
    if (Channels->format().kind == lens::Format::Kind::Text) {
        *measured = true;
        return s.iDispMode == kDispScanning ? m_frameRate.rate(clockMs()) : 0;
    }
    return xfunFixedFrameRate(
        Channels->format(),
        xfunSourceRate(s.iScanSource, s.strBaud, s.strParity, s.strDataBits, s.strStopBits));
}
