// Messages that worker threads post to a dialog.
//
// A worker never touches a widget; it posts one of these events, which Qt
// delivers on the dialog's own thread (QCoreApplication::postEvent is
// thread-safe).
#pragma once

#include <QEvent>
#include <QObject>
#include <functional>

namespace kinemo::platform {

// The end of a run, posted by a control thread after every run.
inline constexpr QEvent::Type kRunEndedEvent = static_cast<QEvent::Type>(QEvent::User + 5);
// A call to run on the receiver's thread (PostCall).
inline constexpr QEvent::Type kPostedCallEvent = static_cast<QEvent::Type>(QEvent::User + 6);

// Posts a parameterless event of `type` to `target`; callable from any thread.
void PostDialogEvent(QObject* target, QEvent::Type type);

// Posts an event the caller filled to `target`, marked as handed over (see
// thread_handover.h); the receiver calls MarkTakenOver(event) before reading it.
void PostFilledEvent(QObject* target, QEvent* event);

// Runs `call` on `receiver`'s thread; dropped when the receiver is deleted
// first. Callable from any thread. The receiver's event() hands events to
// RunPostedCall: every DialogWindow does.
void PostCall(QObject* receiver, std::function<void()> call);

// Runs a call posted by PostCall and returns true; false for other events.
bool RunPostedCall(QEvent* event);

}  // namespace kinemo::platform
