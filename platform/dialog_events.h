// Messages that worker threads post to a dialog.
//
// A worker never touches a widget; it posts one of these events, which Qt
// delivers on the dialog's own thread (QCoreApplication::postEvent is
// thread-safe).
#pragma once

#include <QEvent>
#include <QObject>

namespace kinemo::platform {

// The end of a run, posted by a control thread after every run.
inline constexpr QEvent::Type kRunEndedEvent = static_cast<QEvent::Type>(QEvent::User + 5);

// Posts a parameterless event of `type` to `target`; callable from any thread.
void PostDialogEvent(QObject* target, QEvent::Type type);

}  // namespace kinemo::platform
