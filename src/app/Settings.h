#pragma once

#include <QByteArray>
#include <QString>

#include "app/state/Places.h"

struct AppState;

// The settings file Tessavue.OVR: nine comma-separated lines in code page 932.
namespace appSub {

// Reads the file into the state; stops quietly at the first missing or bad field. A name that
// is not a regular file (a pipe, a device, a folder) reads as no file.
void xsubSettingsRead();
// Writes the file; a failure leaves the old file as it was, nothing half-written beside it,
// and is told with its file error text.
void xsubSettingsWrite();

// Starts on `port` (source COM ON) for this run; the file keeps its own port and source until
// the user picks another. An empty port changes nothing.
void xsubRunPortUse(const QString& port);

// The file's bytes for a state, and the reverse; kept apart from the file for testing.
QByteArray settingsBytes(const AppState& s);
void applySettings(const QByteArray& bytes, AppState& s);

} // namespace appSub
