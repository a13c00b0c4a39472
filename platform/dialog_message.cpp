#include "platform/dialog_message.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace kinemo::platform {
namespace {

QMessageBox::StandardButtons ButtonsOf(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::kOk:
            return QMessageBox::Ok;
        case MessageButtons::kOkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::kRetryCancel:
            return QMessageBox::Retry | QMessageBox::Cancel;
        case MessageButtons::kYesNoCancel:
            return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        case MessageButtons::kAbortRetryIgnore:
            return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon IconOf(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::kNone:
            return QMessageBox::NoIcon;
        case MessageIcon::kInformation:
            return QMessageBox::Information;
        case MessageIcon::kWarning:
            return QMessageBox::Warning;
        case MessageIcon::kError:
            return QMessageBox::Critical;
        case MessageIcon::kQuestion:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

MessageResult ResultOf(int button, MessageButtons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return MessageResult::kOk;
        case QMessageBox::Cancel:
            return MessageResult::kCancel;
        case QMessageBox::Abort:
            return MessageResult::kAbort;
        case QMessageBox::Retry:
            return MessageResult::kRetry;
        case QMessageBox::Ignore:
            return MessageResult::kIgnore;
        case QMessageBox::Yes:
            return MessageResult::kYes;
        case QMessageBox::No:
            return MessageResult::kNo;
        default:
            break;
    }
    return ClosedBoxResult(buttons);
}

}  // namespace

MessageResult ClosedBoxResult(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::kOk:
            return MessageResult::kOk;
        case MessageButtons::kAbortRetryIgnore:
            return MessageResult::kAbort;
        default:
            return MessageResult::kCancel;
    }
}

QString ProgramTitle() {
    return QCoreApplication::applicationName();
}

QString EffectiveCaption(const MessageRequest& request) {
    return request.caption.isEmpty() ? ProgramTitle() : request.caption;
}

MessageResult QtMessageService::Show(QWidget* parent, const MessageRequest& request) {
    QMessageBox box(IconOf(request.icon), EffectiveCaption(request), request.text,
                    ButtonsOf(request.buttons), parent);
    return ResultOf(box.exec(), request.buttons);
}

}  // namespace kinemo::platform
