// The kinemo-speech program with a scripted user: runs the real program
// function and acts as the environment variable KINEMO_PROBE_ACTION says, so
// process tests can check how the program starts and ends. Every message box
// is answered with OK (unless KINEMO_PROBE_KEEP_BOXES is set), its caption and
// text printed on standard output as "box: <caption>: <text>".
//
//   cancel        "Abbrechen" in the connect dialog
//   run-ende      connect, M1 starts "R", "LOS!", then "&Ende"
//   run-escape    the same, then Escape in the main window
//   run-close     the same, then the main window's close box
//   run           the same, then wait (the test sends a signal)
//   report-ende   print the loaded settings ("keys N m1 S"), then "&Ende"
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "keyboard/ui/connect_dialog.h"
#include "keyboard/ui/main_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "keyboard/ui/speech_app.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"

namespace {

namespace ui = kinemo::keyboard::ui;
using ui::testing::FindWindow;

// Calls `step` every 10 ms until it returns true.
void Poll(std::function<bool()> step) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, step = std::move(step)] {
        if (step()) {
            timer->stop();
            timer->deleteLater();
        }
    });
    timer->start(10);
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Click(kinemo::platform::DialogWindow* window, int id) {
    window->Control<QAbstractButton>(id)->click();
}

// Prints what every message box says and answers it with OK, unless
// KINEMO_PROBE_KEEP_BOXES is set (then a signal has to end it).
void AnswerMessageBoxes() {
    const bool keep = std::getenv("KINEMO_PROBE_KEEP_BOXES") != nullptr;
    Poll([keep, seen = static_cast<QMessageBox*>(nullptr)]() mutable {
        auto* box = FindWindow<QMessageBox>();
        if (box != nullptr && box != seen) {
            Say("box: " + box->windowTitle().toStdString() + ": " + box->text().toStdString());
            seen = box;
        }
        if (box != nullptr && !keep) {
            box->accept();
        }
        return false;
    });
}

void EndMain(ui::MainDialog* main, const std::string& way) {
    if (way == "ende") {
        Click(main, ui::kIdEnd);
    } else if (way == "escape") {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(main, &escape);
    } else if (way == "close") {
        main->close();
    }
}

// Connects, lets M1 start "R", starts a run and, once it has ticked a while,
// ends the program the way `way` names ("" waits for a signal).
void RunThen(const std::string& way) {
    Poll([way] {
        auto* connect = FindWindow<ui::ConnectDialog>();
        auto* main = FindWindow<ui::MainDialog>();
        if (connect == nullptr || main == nullptr) {
            return false;
        }
        Click(connect, kinemo::platform::kIdOk);
        Poll([connect, main, way] {
            if (!connect->Connected()) {
                return false;
            }
            auto* state = main->Control<QComboBox>(ui::kIdStartState);
            state->setCurrentIndex(kinemo::keyboard::kMotorRight);
            emit state->activated(kinemo::keyboard::kMotorRight);
            Click(main, ui::kIdStart);
            Poll([main, way] {
                if (main->Run().Variables().ticks.load() < 20) {
                    return false;
                }
                Say("running");
                EndMain(main, way);
                return true;
            });
            return true;
        });
        return true;
    });
}

void ScheduleProbe() {
    AnswerMessageBoxes();
    const char* value = std::getenv("KINEMO_PROBE_ACTION");
    const std::string action = value != nullptr ? value : "";
    if (action == "cancel") {
        Poll([] {
            auto* connect = FindWindow<ui::ConnectDialog>();
            if (connect == nullptr) {
                return false;
            }
            Click(connect, kinemo::platform::kIdCancel);
            return true;
        });
    } else if (action.rfind("run", 0) == 0) {
        RunThen(action.size() > 4 ? action.substr(4) : "");
    } else if (action == "report-ende") {
        Poll([] {
            auto* main = FindWindow<ui::MainDialog>();
            if (main == nullptr) {
                return false;
            }
            const kinemo::keyboard::KeyboardSettings s = main->CurrentSettings();
            Say("keys " + std::to_string(s.keys.Count()) + " m1 " +
                std::to_string(s.start.motors[0].startState));
            Click(main, ui::kIdEnd);
            return true;
        });
    }
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(ScheduleProbe)

int main(int argc, char** argv) {
    return kinemo::keyboard::ui::RunSpeechProgram(argc, argv);
}
