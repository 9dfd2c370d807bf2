// Placeholder until this subject is built.
#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "storage/FileErrors.h"
#include "dialogs/Msg.h"

void frms_RS_GRAPH_1::xsubGraphDrawLive(int16_t) {}
void frms_RS_GRAPH_1::xsubGraphDrawView(int16_t) {}
void frms_RS_GRAPH_1::xsubPlotPoint(int16_t, int16_t, int16_t, int16_t, int16_t, float, float, float, float) {}
void frms_RS_GRAPH_1::xsubReadoutReset() {}
void frms_RS_GRAPH_1::xsubScaleLineDraw() {}
uint8_t frms_RS_GRAPH_1::xfunLastDataGet(int32_t) { return 0; }
void frms_RS_GRAPH_1::xsubGraphRequest() {}
void frms_RS_GRAPH_1::Cmd_Clear_Click() {}
void ini::xsubCtrlNameInit() {}
