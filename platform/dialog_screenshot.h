// What the programs' screenshot tools share: they drive the real windows off
// screen (QT_QPA_PLATFORM=offscreen) and save each one's picture as PNG.
#pragma once

#include <QDir>
#include <functional>

#include "platform/dialog_window.h"

class QWidget;

namespace kinemo::platform::screenshot {

// Serves window events for `ms` milliseconds, so windows redraw and a run
// goes on meanwhile.
void ServeEvents(int ms);

// Serves window events until `done` holds, for `ms` milliseconds at the most;
// returns whether it holds.
bool ServeUntil(const std::function<bool()>& done, int ms);

// Saves the picture of `window` as `name` in `dir` and prints the path; on
// failure prints "TOOL: cannot write PATH" on standard error.
bool Save(QWidget& window, const QDir& dir, const char* name, const char* tool);

// Clicks the button `id` of `window` as a user would.
void Click(DialogWindow& window, int id);

}  // namespace kinemo::platform::screenshot
