#include "platform/dialog_events.h"

#include <QCoreApplication>

namespace kinemo::platform {

void PostDialogEvent(QObject* target, QEvent::Type type) {
    // Qt takes ownership of the event and delivers it on the target's thread.
    QCoreApplication::postEvent(target, new QEvent(type));
}

}  // namespace kinemo::platform
