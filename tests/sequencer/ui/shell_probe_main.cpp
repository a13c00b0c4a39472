// The sequencer program with a scripted user: runs the real program function
// and, once the windows are up, acts as KINEMO_PROBE_ACTION says:
//   escape-main  Escape in the main window
//   end-run      connect, run M1 without end, "Ende" after 50 exchanges
//   signal-run   the same, then SIGTERM instead of "Ende"
#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <string>

#include "sequencer/ui/connect_dialog.h"
#include "sequencer/ui/main_dialog.h"
#include "sequencer/ui/main_dialog_ids.h"
#include "sequencer/ui/sequencer_app.h"

namespace {

using kinemo::ui::ConnectDialog;
using kinemo::ui::MainDialog;

template <typename T>
T* FindWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<T*>(widget); window != nullptr && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

void Click(kinemo::platform::DialogWindow* window, int id) {
    window->Control<QAbstractButton>(id)->click();
}

void ScheduleProbe() {
    const std::string action =
        std::getenv("KINEMO_PROBE_ACTION") ? std::getenv("KINEMO_PROBE_ACTION") : "";
    ConnectDialog* connect = nullptr;
    bool asked = false;
    bool started = false;
    // One step every 20 ms until the probe has done its part.
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [=]() mutable {
        MainDialog* main = FindWindow<MainDialog>();
        if (main == nullptr ||
            (connect == nullptr && (connect = FindWindow<ConnectDialog>()) == nullptr)) {
            return;
        }
        if (action == "escape-main") {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(main, &escape);
            return timer->stop();
        }
        if (!asked) {
            asked = true;
            Click(connect, kinemo::platform::kIdOk);
        }
        if (!connect->Connected()) {
            return;
        }
        if (!started) {
            started = true;
            Click(main, 1091);  // "Max. dauer:" off: M1 runs until stopped
            Click(main, 1059);  // M1 "Rechts"
            Click(main, kinemo::ui::kIdRunList);
        } else if (main->Run().Live().Read().ticks >= 50) {
            timer->stop();
            if (action == "signal-run") {
                std::raise(SIGTERM);
            } else {
                Click(main, kinemo::ui::kIdEnd);
            }
        }
    });
    timer->start(20);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(ScheduleProbe)

int main(int argc, char** argv) {
    return kinemo::ui::RunSequencerProgram(argc, argv);
}
