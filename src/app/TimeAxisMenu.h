#pragma once

#include <functional>

class QMenu;
class ChannelPane;

// Adds "X 軸" to menu: frames, seconds, the wall clock, or a channel of the device's own clock
// (milliseconds) for pane's X; changed runs after a choice.
void xsubAddTimeAxisMenu(QMenu* menu, ChannelPane* pane, std::function<void()> changed);
