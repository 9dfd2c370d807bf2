#include <QLabel>
#include <QScrollBar>

#include "app/ByteZoom.h"
#include "app/ChannelZoom.h"
#include "app/frms_RS_GRAPH_1.h"
#include "app/state/AppState.h"
#include "dialogs/frms_X_Dimension.h"
#include "dialogs/frms_set.h"
#include "print/frms_Print_test.h"
#include "toolkit/PictureBox.h"

void frms_RS_GRAPH_1::cmd_x_dimension_Click() {
    AppState& s = app();
    ChannelRecord& ch = s.ChData[0];
    s.iLiveDraw = 0;
    s.iSetXDim = ch.iXDim;
    frms_X_Dimension(this).exec();
    const bool widthChanged = s.iSetXDim != ch.iXDim;
    if (widthChanged) iClearReq = 1;
    m_zoom->reset();
    m_channelZoom->reset();
    s.iLiveDraw = 1;
    ch.iXDim = s.iSetXDim;
    if (widthChanged) xsubTriggerFollowView();
    xsubCurXClamp();
    xsubCurXPlace();
    lbl_XDiv->setText(QString::number(ch.iXDim));

    // The view start stays where it is; only the bars follow the new screen width. The set-up
    // hides them when the series fits one screen (and always in Scanning), and a hidden bar
    // has no thumb to place.
    iScrollBusy = 1;
    xsubPosBarSetup();
    if (HScroll1->isVisibleTo(this)) xsubPosBarSync();
    iScrollBusy = 0;

    rearmTimer1(10);
    iRedrawReq = 1;
}

void frms_RS_GRAPH_1::Cmd_set_Click() {
    AppState& s = app();
    s.lSetWidth = s.lLineWidth;
    s.lSetColor = s.lPenColor;
    s.iLiveDraw = 0;
    frms_set(this).exec();

    // Applied after Cancel too: the transfer values then still hold the unchanged pen.
    s.iLiveDraw = 1;
    s.lPenColor = s.lSetColor;
    s.lLineWidth = s.lSetWidth;
    s.ChData[0].lColor = s.lSetColor;
    pic_graph->setDrawWidth(s.lLineWidth);
    xsubCurXClamp();
    xsubCurXPlace();
    rearmTimer1(10);
    iRedrawReq = 1;
}

void frms_RS_GRAPH_1::Cmd_Print_Click() {
    // The receive timer keeps running under the modal dialog, so the live graph goes on.
    frms_Print_test dialog(this);
    dialog.exec();
}
