#include <QCheckBox>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "dialogs/frms_Fourier.h"
#include "dialogs/frms_Measure.h"

namespace {
// Brings a window up beside the main window, made at its first opening.
template <typename Window> void openWindow(frms_RS_GRAPH_1* form, Window*& window) {
    if (!window)
        window = new Window(
            form, AnalysisSource{&form->rateChoice, [form] { return form->xfunAnalysisSpan(); }});
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

std::vector<int16_t> frms_RS_GRAPH_1::xfunAnalysisSpan() const {
    const AppState& s = app();
    return xfunSpanValues(m_shown, s.ChData[0].iSigned,
                          chk_curx[0]->isChecked() && chk_curx[1]->isChecked(), s.iCurXPos[0],
                          s.iCurXPos[1]);
}
