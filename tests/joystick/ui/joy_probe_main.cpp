// kinemo-joy with a scripted user, for the process tests: runs the real
// program function and acts as the environment and the working folder say.
//
// KINEMO_PROBE_ANSWERS is the answer to the first message box (ok, cancel, or
// wait: leave it open), later ones get OK; each box shown is printed as
// "box: FIRST LINE". The probe presses "Verbinden" once the connect dialog
// shows and "LOS!" once the main window shows, and prints "running" once its
// status says so. A file "action" appearing in the working folder presses "Ende".
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <string>
#include <utility>

#include "joystick/joy_texts.h"
#include "joystick/ui/connect_dialog.h"
#include "joystick/ui/joy_app.h"
#include "joystick/ui/main_dialog.h"
#include "joystick/ui/main_dialog_ids.h"

namespace {

using namespace kinemo::joy::ui;

template <typename T>
T* FindWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* window = qobject_cast<T*>(widget); window != nullptr && window->isVisible()) {
            return window;
        }
    }
    return nullptr;
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void ScheduleProbe() {
    struct State {
        std::string answer = qEnvironmentVariable("KINEMO_PROBE_ANSWERS").toStdString();
        QMessageBox* waiting = nullptr;
        bool connectDone = false, started = false, reported = false;
    };
    auto state = std::make_shared<State>();
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [state] {
        State& s = *state;
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (box != s.waiting) {
                const std::string text = box->text().toStdString();
                Say("box: " + text.substr(0, text.find('\n')));
                const std::string answer = std::exchange(s.answer, "");
                if (answer == "wait") {
                    s.waiting = box;
                } else {
                    box->button(answer == "cancel" ? QMessageBox::Cancel : QMessageBox::Ok)
                        ->click();
                }
            }
            return;
        }
        if (ConnectDialog* dialog = FindWindow<ConnectDialog>(); dialog && !s.connectDone) {
            s.connectDone = true;
            dialog->Control<QAbstractButton>(kIdConnect)->click();
        }
        MainDialog* main = FindWindow<MainDialog>();
        if (main == nullptr) {
            return;
        }
        if (QFile::remove(QStringLiteral("action"))) {
            main->Control<QAbstractButton>(kIdEnd)->click();
        }
        if (!s.started) {
            s.started = true;
            main->Control<QAbstractButton>(kIdStart)->click();
        }
        if (!s.reported && main->Text(kIdStatus) == QString::fromUtf8(kinemo::joy::kStatusRun)) {
            s.reported = true;
            Say("running");
        }
    });
    timer->start(20);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(ScheduleProbe)

int main(int argc, char** argv) {
    return RunJoyProgram(argc, argv);
}
