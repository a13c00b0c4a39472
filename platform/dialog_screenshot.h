// What the programs' screenshot tools share: they drive the real windows off
// screen (QT_QPA_PLATFORM=offscreen) and save each one's picture as PNG.
#pragma once

#include <QDir>
#include <functional>
#include <initializer_list>
#include <string>

#include "platform/dialog_window.h"

class QWidget;

namespace kinemo::platform::screenshot {

// An option of a screenshot tool with one value ("--audio FILE").
struct ValueOption {
    const char* name;
    std::string* value;
};

// Reads "[OUTPUT_DIR] [--scale N] [OPTION VALUE...]" before the application
// object is made, which reads the scale: returns the folder (default
// docs/screenshots). With --scale the windows are drawn at N x 100 % and
// every saved picture's name ends in "_N00" (Save); at 1 it has no ending.
// Each of `more` stores its value; a bad scale ends the tool with exit code 2.
QString ReadOptions(int argc, char** argv, std::initializer_list<ValueOption> more = {});

// Serves window events for `ms` milliseconds, so windows redraw and a run
// goes on meanwhile.
void ServeEvents(int ms);

// Serves window events until `done` holds, for `ms` milliseconds at the most;
// returns whether it holds.
bool ServeUntil(const std::function<bool()>& done, int ms);

// Saves the picture of `window` as `name` (with the scale's ending, see
// ReadOptions) in `dir` and prints the path; on failure prints
// "TOOL: cannot write PATH" on standard error.
bool Save(QWidget& window, const QDir& dir, const char* name, const char* tool);

// Clicks the button `id` of `window` as a user would.
void Click(DialogWindow& window, int id);

}  // namespace kinemo::platform::screenshot
