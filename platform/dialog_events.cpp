#include "platform/dialog_events.h"

#include <QCoreApplication>
#include <utility>

#include "platform/thread_handover.h"

namespace kinemo::platform {
namespace {

class PostedCallEvent : public QEvent {
  public:
    explicit PostedCallEvent(std::function<void()> call)
        : QEvent(kPostedCallEvent), call_(std::move(call)) {}
    void Run() const { call_(); }

  private:
    std::function<void()> call_;
};

}  // namespace

void PostDialogEvent(QObject* target, QEvent::Type type) {
    // Qt takes ownership of the event and delivers it on the target's thread.
    QCoreApplication::postEvent(target, new QEvent(type));
}

void PostFilledEvent(QObject* target, QEvent* event) {
    MarkHandedOver(event);
    QCoreApplication::postEvent(target, event);
}

void PostCall(QObject* receiver, std::function<void()> call) {
    PostFilledEvent(receiver, new PostedCallEvent(std::move(call)));
}

bool RunPostedCall(QEvent* event) {
    if (event->type() != kPostedCallEvent) {
        return false;
    }
    MarkTakenOver(event);
    static_cast<const PostedCallEvent*>(event)->Run();
    return true;
}

}  // namespace kinemo::platform
