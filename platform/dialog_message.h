// Message boxes behind an interface, so that windows can be driven by tests
// without ever blocking on a modal box.
#pragma once

#include <QString>

class QWidget;

namespace kinemo::platform {

enum class MessageButtons { kOk, kOkCancel, kRetryCancel, kYesNoCancel, kAbortRetryIgnore };
enum class MessageIcon { kNone, kInformation, kWarning, kError, kQuestion };
enum class MessageResult { kOk, kCancel, kAbort, kRetry, kIgnore, kYes, kNo };

struct MessageRequest {
    QString text;
    QString caption;  // empty: the program's title
    MessageButtons buttons = MessageButtons::kOk;
    MessageIcon icon = MessageIcon::kNone;
};

// The program's title: the application name (the executable's file name
// without extension unless the program sets another).
QString ProgramTitle();

// The caption a box shows for `request`: its own, or the program's title.
QString EffectiveCaption(const MessageRequest& request);

// The answer of a box closed without a button: Cancel where the set has one,
// Abort for Abort/Retry/Ignore, else OK.
MessageResult ClosedBoxResult(MessageButtons buttons);

class MessageService {
  public:
    virtual ~MessageService() = default;
    // Shows the box modal to `parent` and returns the button pressed, or
    // ClosedBoxResult when it was closed without one.
    virtual MessageResult Show(QWidget* parent, const MessageRequest& request) = 0;
};

// Real message boxes.
class QtMessageService : public MessageService {
  public:
    MessageResult Show(QWidget* parent, const MessageRequest& request) override;
};

}  // namespace kinemo::platform
