// Placeholder until this subject is built.
#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "storage/FileErrors.h"
#include "dialogs/Msg.h"

void frms_RS_GRAPH_1::Opn_YDim_Click(int) {}
void frms_RS_GRAPH_1::xsubYRangeLabel(int16_t) {}
void frms_RS_GRAPH_1::xsubYGridBuild() {}
void frms_RS_GRAPH_1::xsubScalePanelLayout() {}
