// The sequencer program with a scripted user: runs the real program function
// and, once the windows are up, acts as the environment variable
// KINEMO_PROBE_ACTION says, so process tests can check how the program ends.
// ("Abbrechen" in the connect dialog ending the loop: SequencerApp tests.)
//
//   escape-main  Escape in the main window
//   end-run      connect, start an endless movement of M1, then "Ende"
//   signal-run   connect, start an endless movement of M1, then SIGTERM
#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <csignal>
#include <cstdlib>
#include <cstring>

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
        if (auto* window = qobject_cast<T*>(widget)) {
            return window;
        }
    }
    return nullptr;
}

// Calls `step` every 20 ms until it returns true.
void Poll(std::function<bool()> step) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, step = std::move(step)] {
        if (step()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(20);
}

void Click(kinemo::platform::DialogWindow* window, int id) {
    window->Control<QAbstractButton>(id)->click();
}

void StartEndlessRunThen(bool bySignal) {
    Poll([bySignal] {
        ConnectDialog* connect = FindWindow<ConnectDialog>();
        MainDialog* main = FindWindow<MainDialog>();
        if (connect == nullptr || main == nullptr || !main->isVisible()) {
            return false;
        }
        Click(connect, kinemo::platform::kIdOk);
        Poll([connect, main, bySignal] {
            if (!connect->Connected()) {
                return false;
            }
            Click(main, 1091);  // "Max. dauer:" off: M1 runs until stopped
            Click(main, 1059);  // M1 "Rechts"
            Click(main, kinemo::ui::kIdRunList);
            // The program is ended once M1 has turned a while: 50 exchanges
            // of the run.
            Poll([main, bySignal] {
                if (main->Run().Live().Read().ticks < 50) {
                    return false;
                }
                if (bySignal) {
                    std::raise(SIGTERM);
                } else {
                    Click(main, kinemo::ui::kIdEnd);
                }
                return true;
            });
            return true;
        });
        return true;
    });
}

void ScheduleProbe() {
    const char* action = std::getenv("KINEMO_PROBE_ACTION");
    if (action == nullptr) {
        return;
    }
    if (std::strcmp(action, "escape-main") == 0) {
        Poll([] {
            MainDialog* main = FindWindow<MainDialog>();
            if (main == nullptr || !main->isVisible()) {
                return false;
            }
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(main, &escape);
            return true;
        });
    } else if (std::strcmp(action, "end-run") == 0) {
        StartEndlessRunThen(false);
    } else if (std::strcmp(action, "signal-run") == 0) {
        StartEndlessRunThen(true);
    }
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(ScheduleProbe)

int main(int argc, char** argv) {
    return kinemo::ui::RunSequencerProgram(argc, argv);
}
