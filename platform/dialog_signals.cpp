#include "platform/dialog_signals.h"

#include <QObject>
#include <QSocketNotifier>
#include <utility>

void WatchTerminationSignals(kinemo::platform::TerminationSignals& termination, QObject* parent,
                             std::function<void(int)> handler) {
    if (termination.Fd() < 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(termination.Fd(), QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [&termination, handler = std::move(handler)] {
                         // Several signals may have come since the last look.
                         while (const int signal = termination.Take()) {
                             handler(signal);
                         }
                     });
}
