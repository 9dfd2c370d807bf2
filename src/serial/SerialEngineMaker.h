#pragma once

#include <memory>

#include "SerialEngine.h"

namespace ini {

// The engine the program runs on. While it connects to a network port the window keeps painting
// and its timers keep running; clicks and keys wait until the port is open or has failed, so
// nothing the user does can start another open meanwhile.
std::unique_ptr<tessavue::SerialEngine> xfunMakeSerialEngine();

} // namespace ini
