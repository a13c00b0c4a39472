// kinemo-joy with a scripted user, for the process tests: runs the real
// program function and acts as the environment and the working folder say.
//
//   KINEMO_PROBE_ANSWERS  answers to the message boxes in turn, comma
//                         separated (ok, cancel, or wait: leave it open);
//                         each box shown is printed as "box: FIRST LINE"
//   KINEMO_PROBE_CONNECT  "connect" presses "Verbinden", "cancel" presses
//                         "Abbrechen" once the connect dialog shows
//   KINEMO_PROBE_START    set: presses "LOS!" once the main window shows and
//                         prints "running" once its status says so
//
// A file "action" appearing in the working folder is one action in the main
// window: "end" ("Ende"), "escape", "close" (the close box).
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

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

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value == nullptr ? std::string() : std::string(value);
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// Answers the box on top, unless it is the one left open.
void AnswerBox(QMessageBox* box, std::string& answers, QMessageBox*& waiting) {
    if (box == waiting) {
        return;
    }
    const std::string text = box->text().toStdString();
    Say("box: " + text.substr(0, text.find('\n')));
    const std::size_t comma = answers.find(',');
    const std::string answer = answers.substr(0, comma);
    answers.erase(0, comma == std::string::npos ? answers.size() : comma + 1);
    if (answer == "wait") {
        waiting = box;
    } else if (QAbstractButton* button =
                   box->button(answer == "cancel" ? QMessageBox::Cancel : QMessageBox::Ok)) {
        button->click();
    } else {
        box->reject();
    }
}

void Act(MainDialog* main) {
    QFile file(QStringLiteral("action"));
    if (!file.open(QIODevice::ReadOnly)) {
        return;
    }
    const QByteArray action = file.readAll().trimmed();
    file.remove();
    if (action == "end") {
        main->Control<QAbstractButton>(kIdEnd)->click();
    } else if (action == "escape") {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(main, &escape);
    } else if (action == "close") {
        main->close();
    }
}

void ScheduleProbe() {
    struct State {
        std::string answers = Env("KINEMO_PROBE_ANSWERS");
        QMessageBox* waiting = nullptr;
        bool connectDone = false, started = false, reported = false;
    };
    auto state = std::make_shared<State>();
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [state] {
        State& s = *state;
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            AnswerBox(box, s.answers, s.waiting);
            return;
        }
        const std::string connect = Env("KINEMO_PROBE_CONNECT");
        if (ConnectDialog* dialog = FindWindow<ConnectDialog>();
            dialog && !connect.empty() && !s.connectDone) {
            s.connectDone = true;
            dialog->Control<QAbstractButton>(connect == "cancel" ? kIdCancel : kIdConnect)->click();
        }
        MainDialog* main = FindWindow<MainDialog>();
        if (main == nullptr) {
            return;
        }
        Act(main);
        if (Env("KINEMO_PROBE_START").empty()) {
            return;
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
