// The sequencer program with a scripted user: runs the real program function
// and, once the windows are up, connects, runs M1 without end and after 50
// exchanges presses "Ende" or, with KINEMO_PROBE_ACTION=signal-run, raises
// SIGTERM instead.
#include <QApplication>
#include <QPushButton>
#include <QTimer>
#include <csignal>
#include <utility>

#include "sequencer/ui/main_dialog.h"
#include "sequencer/ui/main_dialog_ids.h"
#include "sequencer/ui/sequencer_app.h"

namespace {

using kinemo::ui::ConnectDialog;
using kinemo::ui::MainDialog;

void ScheduleProbe() {
    const QString action = qEnvironmentVariable("KINEMO_PROBE_ACTION");
    // One step every 20 ms, once both windows are up, until the probe has done its part.
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [=, asked = false, started = false]() mutable {
        MainDialog* main = nullptr;
        ConnectDialog* connect = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            main = main ? main : qobject_cast<MainDialog*>(window);
            connect = connect ? connect : qobject_cast<ConnectDialog*>(window);
        }
        if (main == nullptr || connect == nullptr || !main->isVisible() ||
            !(asked || connect->isVisible())) {
            return;
        }
        if (!std::exchange(asked, true)) {
            connect->Control<QAbstractButton>(kinemo::platform::kIdOk)->click();
        }
        if (!connect->Connected()) {
            return;
        }
        if (!std::exchange(started, true)) {
            for (const int id : {1091, 1059, int(kinemo::ui::kIdRunList)}) {
                main->Control<QAbstractButton>(id)->click();  // M1 "Rechts" without end, "LOS!"
            }
        } else if (main->Run().Live().Read().ticks >= 50) {
            timer->stop();
            if (action == "signal-run") {
                std::raise(SIGTERM);
            } else {
                main->Control<QAbstractButton>(kinemo::ui::kIdEnd)->click();
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
