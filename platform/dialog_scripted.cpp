#include "platform/dialog_scripted.h"

namespace kinemo::platform {

MessageResult ScriptedMessageService::Show(QWidget*, const MessageRequest& request) {
    MessageRequest recorded = request;
    recorded.caption = EffectiveCaption(request);
    requests_.push_back(recorded);
    if (answers_.empty()) {
        ++unscripted_;
        if (request.buttons != MessageButtons::kOk) {
            ++unscriptedQuestions_;
        }
        return ClosedBoxResult(request.buttons);
    }
    const MessageResult result = answers_.front();
    answers_.pop_front();
    return result;
}

QString ScriptedFileDialogService::Choose(QWidget*, const FileDialogRequest& request) {
    requests_.push_back(request);
    if (answers_.empty()) {
        ++unscripted_;
        return {};
    }
    QString path = answers_.front();
    answers_.pop_front();
    return path;
}

}  // namespace kinemo::platform
