#pragma once

class frms_RS_GRAPH_1;

// "再生..." in the pane's menus: in the File view, plays the shown file through the live path
// (the scanning view, its channel pane, trigger, measurements and console) in the replay window.
void xsubReplaySetup(frms_RS_GRAPH_1* window);
