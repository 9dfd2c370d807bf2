#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "frms_set.h"
#include "toolkit/PictureBox.h"

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
