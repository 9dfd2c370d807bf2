#include <QAction>
#include <QLabel>
#include <QMenu>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "dialogs/frms_Trigger.h"
#include "graph/GraphMath.h"
#include "toolkit/PictureBox.h"
#include "toolkit/Twips.h"

void frms_RS_GRAPH_1::pic_graph_ContextMenu(const QPoint& pos) {
    mnu_Trigger->setEnabled(app().iDispMode == kDispScanning);
    mnu_Graph->popup(pic_graph->mapToGlobal(pos));
}

void frms_RS_GRAPH_1::mnu_Trigger_Click() {
    if (app().iDispMode != kDispScanning) return;
    if (xfunLensOn()) return xsubChannelTriggerDialog();
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
    // The trigger on a channel ends where the byte trigger does; the next drawing shows why.
    channelTrigger.disarm();
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
