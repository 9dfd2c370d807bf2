#pragma once

#include <QString>

class frms_RS_GRAPH_1;

namespace ini {

// Start-up from the defaults to the shown main window: defaults, settings file, the port when
// the saved source is the port (with the platform notice when it fails), then the window.
// Uses app().engine, creating the real engine when none is set. A runPort is used for this run
// in place of the saved port (see appSub::xsubRunPortUse).
frms_RS_GRAPH_1* xsubStartUp(const QString& programDir, const QString& runPort = QString());

// Holds a lock that the kernel drops when this process ends; false when another instance
// of the program with the same settings file holds it.
bool xfunSingleInstance(const QString& settingsFile);

// Entry point: returns the process exit code.
int Main(int argc, char** argv);

} // namespace ini
