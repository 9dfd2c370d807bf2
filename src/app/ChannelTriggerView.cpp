#include <QLabel>

#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "channels/ChannelPane.h"
#include "channels/ChannelStore.h"
#include "dialogs/frms_Trigger.h"
#include "toolkit/Colors.h"
#include "toolkit/Controls.h"

void frms_RS_GRAPH_1::xsubChannelTriggerDialog() {
    const ChannelStore* shown = pic_channels->store();
    if (!shown) return;
    QStringList names;
    std::vector<double> proposals;
    for (int c = 0; c < Channels->channelCount(); ++c) {
        names << Channels->channel(c).name;
        proposals.push_back(xfunChannelLevelProposal(*shown, c, pic_channels->firstFrame(),
                                                     pic_channels->framesPerScreen()));
    }
    if (names.isEmpty()) return;
    ChannelTriggerSettings current = channelTrigger.settings();
    current.channel = std::clamp(current.channel, 0, int(names.size()) - 1);
    if (!channelTrigger.everChosen()) current.level = proposals[size_t(current.channel)];
    frms_Trigger dialog(this, current, names, std::move(proposals));
    if (dialog.exec() == QDialog::Accepted) xsubChannelTriggerArm(dialog.chosenOnChannel());
}

void frms_RS_GRAPH_1::xsubChannelTriggerArm(const ChannelTriggerSettings& settings) {
    channelTrigger.arm(settings, *Channels, clockMs());
    xsubChannelTriggerShow();
}

void frms_RS_GRAPH_1::xsubChannelTriggerTick() {
    const AppState& s = app();
    if (!channelTrigger.armed() || s.iLiveDraw != 1 || s.iDispMode != kDispScanning) return;
    if (channelTrigger.update(*Channels, s.ChData[0].iXDim, clockMs())) xsubChannelTriggerShow();
}

void frms_RS_GRAPH_1::xsubChannelTriggerShow() {
    if (!lbl_lens_trig_status) {
        // Above the plot, over the pane's top margin, in the byte trigger's colour.
        for (QLabel** l : {&lbl_lens_trig_mark, &lbl_lens_trig_status}) {
            *l = new QLabel(pic_channels);
            ::setForeColor(*l, kOrange);
            QFont f = (*l)->font();
            f.setPointSizeF(7.5);
            (*l)->setFont(f);
        }
        lbl_lens_trig_mark->setObjectName(QStringLiteral("lbl_lens_trig_mark"));
        lbl_lens_trig_status->setObjectName(QStringLiteral("lbl_lens_trig_status"));
        lbl_lens_trig_mark->setText(QStringLiteral("▼"));
    }
    const int frames = app().ChData[0].iXDim;
    const bool on = channelTrigger.armed();
    if (on && channelTrigger.show() != ChannelTrigger::Show::Running)
        pic_channels->showScreen(&channelTrigger.held(), 0, frames, channelTrigger.heldFirst());
    else
        pic_channels->showLive(Channels, frames);
    lbl_lens_trig_mark->setVisible(on);
    lbl_lens_trig_status->setVisible(on);
    if (on) {
        const ChannelTriggerSettings& set = channelTrigger.settings();
        const int p = xfunTriggerIndex(set.positionPct, static_cast<int16_t>(frames));
        const double x = ChannelPane::kLeft +
                         (pic_channels->right() - ChannelPane::kLeft) * p / std::max(frames - 1, 1);
        lbl_lens_trig_mark->setGeometry(int(x) - 6, 0, 12, int(ChannelPane::kTop));
        QString status = QStringLiteral("トリガ待ち");
        if (channelTrigger.stopped())
            status = QStringLiteral("停止");
        else if (channelTrigger.show() == ChannelTrigger::Show::Held)
            status = QStringLiteral("トリガ");
        const QString name = set.channel < Channels->channelCount()
                                 ? Channels->channel(set.channel).name
                                 : QString();
        lbl_lens_trig_status->setText(
            QStringLiteral("%1  %2 %3 %4")
                .arg(status, name,
                     set.slope == TriggerSlope::Rising ? QStringLiteral("↑") : QStringLiteral("↓"))
                .arg(set.level, 0, 'g', 6));
        lbl_lens_trig_status->setGeometry(int(pic_channels->right()) - 300, 0, 300,
                                          int(ChannelPane::kTop));
        lbl_lens_trig_status->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    }
    xsubLensCursors();
}
