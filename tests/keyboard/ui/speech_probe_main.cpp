// kinemo-speech with a scripted user, for process tests. Message boxes are
// printed as "box: <caption>: <text>" and answered with OK unless
// KINEMO_PROBE_KEEP_BOXES is set. KINEMO_PROBE_ACTION "cancel" cancels the
// connect dialog; "run…" connects, sets M1 "R", presses "LOS!" and prints
// "running" after 20 ticks, then "run-ende" clicks "&Ende", "run-escape"
// presses Escape, "run-close" closes the window and "run" waits for a signal.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "keyboard/ui/connect_dialog.h"
#include "keyboard/ui/main_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "keyboard/ui/speech_app.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"

namespace {

namespace ui = kinemo::keyboard::ui;
using ui::testing::FindWindow;

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

// One step of the scripted user, every 10 ms: message boxes first.
void Step() {
    static const std::string action = Env("KINEMO_PROBE_ACTION");
    static QPointer<ui::ConnectDialog> connect;  // hidden once connected
    static QMessageBox* seenBox = nullptr;
    static bool started = false, done = false;
    if (auto* box = FindWindow<QMessageBox>()) {
        if (box != seenBox)
            Say("box: " + box->windowTitle().toStdString() + ": " + box->text().toStdString());
        seenBox = box;
        if (Env("KINEMO_PROBE_KEEP_BOXES").empty())
            box->accept();
        return;
    }
    auto* main = FindWindow<ui::MainDialog>();
    if (main == nullptr || done)
        return;
    if (connect == nullptr) {
        connect = FindWindow<ui::ConnectDialog>();
        done = connect != nullptr && !action.starts_with("run");
        if (connect != nullptr)
            connect
                ->Control<QPushButton>(action == "cancel" ? kinemo::platform::kIdCancel
                                                          : kinemo::platform::kIdOk)
                ->click();
    } else if (!started && connect->Connected()) {
        auto* state = main->Control<QComboBox>(ui::kIdStartState);
        state->setCurrentIndex(kinemo::keyboard::kMotorRight);
        emit state->activated(kinemo::keyboard::kMotorRight);
        main->Control<QPushButton>(ui::kIdStart)->click();
        started = true;
    } else if (started && main->Run().Variables().ticks.load() >= 20) {
        Say("running");
        done = true;
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        if (action == "run-ende")
            main->Control<QPushButton>(ui::kIdEnd)->click();
        else if (action == "run-escape")
            QApplication::sendEvent(main, &escape);
        else if (action == "run-close")
            main->close();
    }
}

void ScheduleProbe() {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, Step);
    timer->start(10);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(ScheduleProbe)

int main(int argc, char** argv) {
    return kinemo::keyboard::ui::RunSpeechProgram(argc, argv);
}
