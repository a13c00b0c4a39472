// Scripted message boxes and file dialogs for tests: answers come from a queue
// and every request is recorded, so a test can check exactly what the program
// asked and nothing ever waits for a user.
#pragma once

#include <deque>
#include <vector>

#include "platform/dialog_file.h"
#include "platform/dialog_message.h"

namespace kinemo::platform {

class ScriptedMessageService : public MessageService {
  public:
    // Queues the answer to the next box.
    void Answer(MessageResult result) { answers_.push_back(result); }

    // Takes the next queued answer. Without one the box is answered as closed
    // (Cancel where the set has one, else OK) and counted as unscripted.
    MessageResult Show(QWidget* parent, const MessageRequest& request) override;

    const std::vector<MessageRequest>& Requests() const { return requests_; }
    int UnscriptedCount() const { return unscripted_; }
    // Unscripted boxes that offered a choice (more than an OK button).
    int UnscriptedQuestions() const { return unscriptedQuestions_; }
    std::size_t PendingAnswers() const { return answers_.size(); }
    void ClearRequests() { requests_.clear(); }

  private:
    std::deque<MessageResult> answers_;
    std::vector<MessageRequest> requests_;
    int unscripted_ = 0;
    int unscriptedQuestions_ = 0;
};

class ScriptedFileDialogService : public FileDialogService {
  public:
    // Queues the path chosen in the next dialog; an empty path cancels it.
    void Answer(const QString& path) { answers_.push_back(path); }

    // Takes the next queued path; without one the dialog counts as cancelled
    // and unscripted.
    QString Choose(QWidget* parent, const FileDialogRequest& request) override;

    const std::vector<FileDialogRequest>& Requests() const { return requests_; }
    int UnscriptedCount() const { return unscripted_; }
    std::size_t PendingAnswers() const { return answers_.size(); }

  private:
    std::deque<QString> answers_;
    std::vector<FileDialogRequest> requests_;
    int unscripted_ = 0;
};

}  // namespace kinemo::platform
