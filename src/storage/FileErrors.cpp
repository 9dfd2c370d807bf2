// Placeholder until this subject is built.
#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "storage/FileErrors.h"
#include "dialogs/Msg.h"

int appSub::fileErrCodeFromErrno(int) { return 0; }
QString appSub::fileErrText(int) { return {}; }
void appSub::xsubFileErrMsg(int) {}
