#include "app/frms_RS_GRAPH_1.h"
#include "print/frms_Print_test.h"

void frms_RS_GRAPH_1::Cmd_Print_Click() {
    // The receive timer keeps running under the modal dialog, so the live graph goes on.
    frms_Print_test dialog(this);
    dialog.exec();
}
