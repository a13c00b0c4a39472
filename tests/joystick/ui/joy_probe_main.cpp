// kinemo-joy with a scripted user, for the process tests: runs the real
// program function and acts as the environment and standard input say.
//
//   KINEMO_PROBE_ANSWERS  answers to the message boxes in turn, comma
//                         separated (ok, cancel, or wait: leave it open);
//                         each box shown is printed as "box: FIRST LINE"
//   KINEMO_PROBE_CONNECT  "connect" presses "Verbinden", "cancel" presses
//                         "Abbrechen" once the connect dialog shows
//   KINEMO_PROBE_START    set: presses "LOS!" once the main window shows and
//                         prints "running" once its status says so
//
// Each line on standard input is one action in the main window: "end"
// ("Ende"), "escape", "close" (the close box).
#include <unistd.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QSocketNotifier>
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

using kinemo::joy::ui::ConnectDialog;
using kinemo::joy::ui::MainDialog;

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

void Act(const std::string& action) {
    MainDialog* main = FindWindow<MainDialog>();
    if (main == nullptr) {
        return;
    }
    if (action == "end") {
        main->Control<QAbstractButton>(kinemo::joy::ui::kIdEnd)->click();
    } else if (action == "escape") {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(main, &escape);
    } else if (action == "close") {
        main->close();
    }
}

void ScheduleProbe() {
    auto* timer = new QTimer(qApp);
    auto answers = std::make_shared<std::string>(Env("KINEMO_PROBE_ANSWERS"));
    auto connectDone = std::make_shared<bool>(false);
    auto started = std::make_shared<bool>(false);
    auto reported = std::make_shared<bool>(false);
    auto waiting = std::make_shared<QMessageBox*>(nullptr);
    QObject::connect(timer, &QTimer::timeout, [=] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            if (box == *waiting) {
                return;
            }
            const std::string text = box->text().toStdString();
            Say("box: " + text.substr(0, text.find('\n')));
            const std::size_t comma = answers->find(',');
            const std::string answer = answers->substr(0, comma);
            answers->erase(0, comma == std::string::npos ? answers->size() : comma + 1);
            if (answer == "wait") {
                *waiting = box;
                return;
            }
            if (QAbstractButton* button =
                    box->button(answer == "cancel" ? QMessageBox::Cancel : QMessageBox::Ok)) {
                button->click();
            } else {
                box->reject();
            }
            return;
        }
        if (ConnectDialog* connect = FindWindow<ConnectDialog>(); connect && !*connectDone) {
            const std::string what = Env("KINEMO_PROBE_CONNECT");
            if (!what.empty()) {
                *connectDone = true;
                connect
                    ->Control<QAbstractButton>(what == "cancel" ? kinemo::joy::ui::kIdCancel
                                                                : kinemo::joy::ui::kIdConnect)
                    ->click();
            }
        }
        MainDialog* main = FindWindow<MainDialog>();
        if (main == nullptr || Env("KINEMO_PROBE_START").empty()) {
            return;
        }
        if (!*started) {
            *started = true;
            main->Control<QAbstractButton>(kinemo::joy::ui::kIdStart)->click();
        }
        if (!*reported &&
            main->Text(kinemo::joy::ui::kIdStatus) == QString::fromUtf8(kinemo::joy::kStatusRun)) {
            *reported = true;
            Say("running");
        }
    });
    timer->start(20);

    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, qApp);
    auto pending = std::make_shared<std::string>();
    QObject::connect(input, &QSocketNotifier::activated, [input, pending] {
        char buffer[64];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input->setEnabled(false);  // end of input
            return;
        }
        pending->append(buffer, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending->find('\n')) != std::string::npos;) {
            Act(pending->substr(0, end));
            pending->erase(0, end + 1);
        }
    });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(ScheduleProbe)

int main(int argc, char** argv) {
    return kinemo::joy::ui::RunJoyProgram(argc, argv);
}
