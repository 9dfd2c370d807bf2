// Placeholder until this subject is built.
#include "app/AppState.h"
#include "app/frms_RS_GRAPH_1.h"
#include "storage/FileErrors.h"
#include "dialogs/Msg.h"

void frms_RS_GRAPH_1::Cmd_memTOFile_Click() {}
void frms_RS_GRAPH_1::xsubMemToFile() {}
