// Placeholder until this subject is built.
#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "storage/FileErrors.h"
#include "dialogs/Msg.h"

void frms_RS_GRAPH_1::Timer_Receive_Timer() {}
void frms_RS_GRAPH_1::xsubModemLamps(uint8_t) {}
int16_t ini::xfunTestData() { return 0; }
