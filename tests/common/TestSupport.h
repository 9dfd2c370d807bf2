#pragma once

#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>

#include "FakeEngine.h"

class QWidget;
class frms_RS_GRAPH_1;

namespace testsupport {

// Fresh application state, a scripted engine and the main window started as the program does,
// with the settings file read from programDir. The timers are stopped so that a test calls
// ticks itself; the returned engine stays owned by the state.
struct Started {
    frms_RS_GRAPH_1* form = nullptr;
    FakeEngine* engine = nullptr;
};
Started startWithFakeEngine(const QString& programDir);

// Starts with a caller-made engine (a real one on a pseudo-terminal, for example).
frms_RS_GRAPH_1* startWithEngine(const QString& programDir,
                                 std::unique_ptr<tessavue::SerialEngine> engine);

// The window on the real engine with the port at `path` open at `baud`, as a first run that
// chose that port leaves the settings.
frms_RS_GRAPH_1* startOnDevice(const QString& programDir, const QString& path, const QString& baud);

// Closes the window without the exit question and forgets the state.
void finish(frms_RS_GRAPH_1* form);

void stopTimers(frms_RS_GRAPH_1* form);

// Runs receive ticks, as the receive timer would, until done() or ms have passed.
bool ticksUntil(frms_RS_GRAPH_1* form, const std::function<bool()>& done, int ms);

// Runs `act` on the next modal window that comes up (as a user would answer it), while the
// caller goes on and opens it. Waits up to five seconds for the window.
void onNextModal(std::function<void(QWidget*)> act);

// Clicks the child button with this objectName inside w.
void clickChild(QWidget* w, const QString& objectName);

} // namespace testsupport
