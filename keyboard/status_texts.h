// Fixed German texts of the keyboard controller that the window and the
// command line both show.
#pragma once

namespace kinemo::keyboard {

inline constexpr char kProgramName[] = "KinemoSpeech";

// Status texts of a run: before the first run, during a run, after
// "NOT-AUS" until the control thread has sent all-off, and after a run.
inline constexpr char kStatusReady[] = "Bereit";
inline constexpr char kStatusRun[] = "Run";
inline constexpr char kStatusStopped[] = "Abgebrochen";
inline constexpr char kStatusEnded[] = "Ende";

// "LOS!" (or the command line) without a connection to the box.
inline constexpr char kNoConnectionText[] = "Keine Verbindung zum Interface!";
// A run whose line went away.
inline constexpr char kLinkLostText[] = "Verbindung zum Interface verloren";

}  // namespace kinemo::keyboard
