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
//
// "running" is printed once a run has ticked a while.
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
using kinemo::platform::kIdCancel;
using kinemo::platform::kIdOk;
using ui::testing::FindWindow;

void Say(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void Click(kinemo::platform::DialogWindow* window, int id) {
    window->Control<QAbstractButton>(id)->click();
}

// One step of the scripted user, every 10 ms: message boxes first, then the
// action, step by step.
class Probe {
  public:
    void operator()() {
        if (auto* box = FindWindow<QMessageBox>()) {
            if (box != seenBox_) {
                Say("box: " + box->windowTitle().toStdString() + ": " + box->text().toStdString());
                seenBox_ = box;
            }
            if (std::getenv("KINEMO_PROBE_KEEP_BOXES") == nullptr) {
                box->accept();
            }
            return;
        }
        auto* main = FindWindow<ui::MainDialog>();
        if (main == nullptr) {
            return;
        }
        if (step_ == kWindows && FindWindow<ui::ConnectDialog>() != nullptr) {
            connect_ = FindWindow<ui::ConnectDialog>();
            Begin(main);
        } else if (step_ == kConnecting && connect_ != nullptr && connect_->Connected()) {
            auto* state = main->Control<QComboBox>(ui::kIdStartState);
            state->setCurrentIndex(kinemo::keyboard::kMotorRight);
            emit state->activated(kinemo::keyboard::kMotorRight);
            Click(main, ui::kIdStart);
            step_ = kRunning;
        } else if (step_ == kRunning && main->Run().Variables().ticks.load() >= 20) {
            Say("running");
            step_ = kDone;
            End(main, action_.substr(3));
        }
    }

  private:
    enum Step { kWindows, kConnecting, kRunning, kDone };

    void Begin(ui::MainDialog* main) {
        step_ = kDone;
        if (action_ == "cancel") {
            Click(connect_, kIdCancel);
        } else if (action_ == "report-ende") {
            const kinemo::keyboard::KeyboardSettings s = main->CurrentSettings();
            Say("keys " + std::to_string(s.keys.Count()) + " m1 " +
                std::to_string(s.start.motors[0].startState));
            Click(main, ui::kIdEnd);
        } else if (action_.rfind("run", 0) == 0) {
            Click(connect_, kIdOk);
            step_ = kConnecting;
        }
    }
    static void End(ui::MainDialog* main, const std::string& way) {
        if (way == "-ende") {
            Click(main, ui::kIdEnd);
        } else if (way == "-escape") {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(main, &escape);
        } else if (way == "-close") {
            main->close();
        }
    }

    const std::string action_ =
        std::getenv("KINEMO_PROBE_ACTION") != nullptr ? std::getenv("KINEMO_PROBE_ACTION") : "";
    Step step_ = kWindows;
    QPointer<ui::ConnectDialog> connect_;
    QMessageBox* seenBox_ = nullptr;
};

void ScheduleProbe() {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, timer, Probe());
    timer->start(10);
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(ScheduleProbe)

int main(int argc, char** argv) {
    return kinemo::keyboard::ui::RunSpeechProgram(argc, argv);
}
