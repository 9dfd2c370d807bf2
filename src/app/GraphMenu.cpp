#include <QAction>
#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QCoreApplication>
#include <QDateTime>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QProgressDialog>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "dialogs/frms_Measure.h"
#include "dialogs/frms_Spectrum.h"
#include "dialogs/frms_Trigger.h"
#include "graph/GraphMath.h"
#include "storage/DataFiles.h"
#include "storage/FileErrors.h"
#include "storage/GraphExport.h"
#include "storage/StorageNames.h"
#include "storage/frms_SaveAs.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Twips.h"

void frms_RS_GRAPH_1::pic_graph_ContextMenu(const QPoint& pos) {
    mnu_Trigger->setEnabled(app().iDispMode == 2);
    mnu_Graph->popup(pic_graph->mapToGlobal(pos));
}

void frms_RS_GRAPH_1::mnu_Trigger_Click() {
    if (app().iDispMode != 2) return;
    const auto [low, high] = xfunLevelRange(app().ChData[0].iSigned);
    TriggerSettings current = trigger.settings();
    if (!trigger.everChosen())
        current.level = xfunTriggerLevelProposal(m_shown, app().ChData[0].iSigned);
    frms_Trigger dialog(this, current, low, high);
    if (dialog.exec() == QDialog::Accepted) xsubTriggerArm(dialog.chosen());
}

void frms_RS_GRAPH_1::xsubTriggerArm(const TriggerSettings& settings) {
    trigger.arm(settings, app().lRingTotal, clockMs());
    xsubTriggerPlace();
    iRedrawReq = 1;
    iClearReq = 1;
}

void frms_RS_GRAPH_1::xsubTriggerDisarm() {
    if (!trigger.armed()) return;
    trigger.disarm();
    xsubTriggerPlace();
    iRedrawReq = 1;
    iClearReq = 1;
}

void frms_RS_GRAPH_1::xsubTriggerFollowView() {
    // The level stays the byte it was, read in the new view; the search and a held screen go on.
    trigger.setLevel(
        xfunSignedValue(xfunRawByte(trigger.settings().level), app().ChData[0].iSigned));
    xsubTriggerPlace();
}

void frms_RS_GRAPH_1::xsubTriggerPlace() {
    const bool on = trigger.armed();
    line_trig_level->setVisible(on);
    lbl_trig_mark->setVisible(on);
    lbl_trig_status->setVisible(on);
    if (!on) return;

    const ChannelRecord& ch = app().ChData[0];
    const TriggerSettings& set = trigger.settings();
    const float y1 = line_Y_base->Y1();
    const float y2 = line_Y_base->Y2();
    line_trig_level->setY(
        xfunMapY(set.level, static_cast<int16_t>(ch.iYMax - ch.iYMin), ch.iYMin, y2 - y1, y2));
    const float x =
        xfunMapX(xfunTriggerIndex(set.positionPct, ch.iXDim), static_cast<int16_t>(ch.iXDim - 1),
                 line_X_base->X2() - line_X_base->X1(), line_X_base->X1());
    const float markHalf = widthTw(lbl_trig_mark) / 2;
    setLeftTw(lbl_trig_mark, x - markHalf);

    QString status = QStringLiteral("トリガ待ち");
    if (trigger.stopped())
        status = QStringLiteral("停止");
    else if (trigger.show() == LiveTrigger::Show::Held)
        status = QStringLiteral("トリガ");
    lbl_trig_status->setText(status);
    // Top right, unless the mark would cover the text there: then top left.
    const float right = line_X_base->X2();
    const float textTw = lbl_trig_status->fontMetrics().horizontalAdvance(status) * kTwipsPerPixel;
    const bool markNear = x + markHalf + kTwipsPerPixel * 2 > right - textTw;
    lbl_trig_status->setAlignment((markNear ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter);
    setLeftTw(lbl_trig_status, markNear ? line_X_base->X1() : right - widthTw(lbl_trig_status));
}

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

QByteArray frms_RS_GRAPH_1::xfunShownCsv() const {
    return appSub::xfunCsvText(m_shown, xfunSampleOrigin(), app().ChData[0].iSigned);
}

void frms_RS_GRAPH_1::mnu_SaveImage_Click() {
    // Taken now: the live trace moves on while the name is being typed.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    pic_graph->grab().save(&buffer, "PNG");
    xsubExportSave(QStringLiteral("IMG"), QStringLiteral(".png"), QStringLiteral("Graph → PNG"),
                   QStringLiteral("画像をセーブします"), png);
}

void frms_RS_GRAPH_1::mnu_SaveCsv_Click() {
    xsubExportSave(QStringLiteral("CSV"), QStringLiteral(".csv"), QStringLiteral("Graph → CSV"),
                   QStringLiteral("値をセーブします"), xfunShownCsv());
}

void frms_RS_GRAPH_1::mnu_CopyValues_Click() {
    QGuiApplication::clipboard()->setText(QString::fromUtf8(xfunShownCsv()));
}

void frms_RS_GRAPH_1::xsubExportSave(const QString& prefix, const QString& extension,
                                     const QString& caption, const QString& prompt,
                                     const QByteArray& bytes) {
    const QString proposal = appSub::xfunDefaultFileName(ini::xfunHomeDir(), prefix,
                                                         QDateTime::currentDateTime(), extension);
    frms_SaveAs dialog(this, QStringLiteral("frms_SaveAs"), caption, prompt, proposal);
    dialog.exec();
    if (app().iDlgOK != 1) return;
    // Shown only when the save takes long (a slow disk, a pipe whose reader lags).
    constexpr int kProgressAfterMs = 500;
    QProgressDialog progress(QStringLiteral("ファイルに書いています｡"),
                             QStringLiteral("キャンセル"), 0, static_cast<int>(bytes.size()), this);
    progress.setWindowTitle(caption);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kProgressAfterMs);
    const int code = appSub::xfunSaveBytes(
        dialog.Text1->text(), reinterpret_cast<const uint8_t*>(bytes.constData()),
        static_cast<size_t>(bytes.size()), [&progress](size_t done) {
            progress.setValue(static_cast<int>(done));
            QCoreApplication::processEvents();
            return !progress.wasCanceled();
        });
    if (code != 0 && code != appSub::kSaveCancelled) appSub::xsubFileErrMsg(code);
}
