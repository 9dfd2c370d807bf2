#include <QLabel>
#include <QScrollBar>

#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "frms_X_Dimension.h"

void frms_RS_GRAPH_1::cmd_x_dimension_Click() {
    AppState& s = app();
    ChannelRecord& ch = s.ChData[0];
    s.iLiveDraw = 0;
    s.iSetXDim = ch.iXDim;
    frms_X_Dimension(this).exec();
    const bool widthChanged = s.iSetXDim != ch.iXDim;
    if (widthChanged) iClearReq = 1;
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
