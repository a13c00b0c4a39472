// Termination signals on the window thread: the event loop watches the
// signal descriptor and hands each signal to ordinary code.
#pragma once

#include <functional>

#include "platform/termination_signals.h"

class QObject;

// Calls `handler(signalNumber)` on the GUI thread each time SIGINT, SIGTERM or
// SIGHUP arrives. The watch lives as long as `parent`; `termination` must outlive
// it.
void WatchTerminationSignals(kinemo::platform::TerminationSignals& termination, QObject* parent,
                             std::function<void(int)> handler);
