// Placeholder until this subject is built.
#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "storage/FileErrors.h"
#include "dialogs/Msg.h"

int16_t Msg::MsgBoxAsk(const QString&, int16_t, const QString&) { return 6; }
void Msg::MsgBoxShow(const QString&, int16_t, const QString&) {}
