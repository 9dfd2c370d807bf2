#pragma once

#include <QString>
#include <cstdint>

// What the program tells the user when a port will not open, goes away, or loses bytes.

// " (why)" to append to an open-failure text for the engine's result, or empty when the result
// gives no reason (not an errno).
QString xfunPortOpenReason(const QString& portName, int16_t result);

// Why the line's settings and DTR/RTS do not apply to this port (a plain TCP port carries bytes
// only), or empty when they do.
QString xfunLineControlNote(const QString& portName);

QString xfunPortLostText(const QString& portName);
QString xfunBytesLostText(uint64_t lostBytes);
// The log's reader (a pipe) fell so far behind that logging had to end.
QString xfunLogStalledText();
// The log's time side file could not be made or written; the log itself goes on.
QString xfunTimeFileFailedText(int error);
