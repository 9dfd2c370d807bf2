#pragma once

#include <QString>

// File error codes of the program (53 file not found, 61 disk full, ...) and their texts.
namespace appSub {

// The code for an errno value reported by the platform.
int fileErrCodeFromErrno(int err);
QString fileErrText(int code);
// Shows the text of the code in the message box and waits until it is closed.
void xsubFileErrMsg(int code);

} // namespace appSub
