#pragma once

#include <QString>

// File error codes of the program (53 file not found, 61 disk full, ...) and their texts.
namespace appSub {

// The code for an errno value reported by the platform. With the path that failed, a missing
// folder on the way to it (76) is told apart from a missing file (53). An errno that fits no
// code of the table keeps a number of its own (1000 + errno) and so gets the fallback text.
// A refused read is an access error (75); "cannot write" (70) would mislead there.
int fileErrCodeFromErrno(int err, const QString& path = QString(), bool reading = false);
QString fileErrText(int code);
// Shows the text of the code in the message box and waits until it is closed.
void xsubFileErrMsg(int code);

} // namespace appSub
