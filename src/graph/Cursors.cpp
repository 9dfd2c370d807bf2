// Placeholder until this subject is built.
#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "storage/FileErrors.h"
#include "dialogs/Msg.h"

void frms_RS_GRAPH_1::xsubCurXClamp() {}
void frms_RS_GRAPH_1::xsubCurXPlace() {}
void frms_RS_GRAPH_1::xsubCurYPlace() {}
void frms_RS_GRAPH_1::xsubCurYBarSync() {}
void frms_RS_GRAPH_1::hsc_x_Change(int) {}
void frms_RS_GRAPH_1::VSc_Y_Change(int) {}
void frms_RS_GRAPH_1::Chk_curX_Click(int) {}
void frms_RS_GRAPH_1::Chk_CurY_Click(int) {}
void frms_RS_GRAPH_1::pic_graph_MouseMove(float, float) {}
