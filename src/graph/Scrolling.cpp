// Placeholder until this subject is built.
#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "storage/FileErrors.h"
#include "dialogs/Msg.h"

int16_t frms_RS_GRAPH_1::xfunViewStepFwd() { return 0; }
int16_t frms_RS_GRAPH_1::xfunViewStepBack() { return 0; }
void frms_RS_GRAPH_1::xsubPosBarSync() {}
void frms_RS_GRAPH_1::HScroll1_Change() {}
void frms_RS_GRAPH_1::HScroll2_Change() {}
void frms_RS_GRAPH_1::xsubPosBarSetup() {}
