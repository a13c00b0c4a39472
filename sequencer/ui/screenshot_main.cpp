// kinemo-screenshots: renders the real windows off screen to PNG files for the
// documentation (run with QT_QPA_PLATFORM=offscreen).
//
//   kinemo-screenshots [OUTPUT_DIR] [--scale 2]   (default docs/screenshots)
//
// The main window runs a small movement against the simulated box, so the
// pictures show the sequencer at work: main window with the live strip,
// connect dialog, simulator window, the "Vorschau" window and about box.
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/dialog_file.h"
#include "platform/dialog_screenshot.h"
#include "platform/dialog_scripted.h"
#include "sequencer/engine/interface_binding.h"
#include "sequencer/ui/about_dialog.h"
#include "sequencer/ui/connect_dialog.h"
#include "sequencer/ui/main_dialog.h"
#include "sequencer/ui/main_dialog_ids.h"
#include "sequencer/ui/preview_window.h"
#include "sequencer/ui/resource_paths.h"
#include "sequencer/ui/sequencer_app.h"
#include "simulator/simulated_box.h"
#include "simulator/ui/simulator_window.h"

namespace {

using kinemo::platform::DialogWindow;

using kinemo::platform::screenshot::Click;
using kinemo::platform::screenshot::ServeEvents;
using kinemo::platform::screenshot::ServeUntil;

bool Save(QWidget& window, const QDir& dir, const char* name) {
    return kinemo::platform::screenshot::Save(window, dir, name, "kinemo-screenshots");
}

// Two movements; the second one, shown, turns M1 right at 75 % and M2 left,
// speeding up from 20 % to 60 %; M1 runs until stopped.
void PrepareMovements(kinemo::ui::MainDialog& main) {
    main.SetText(kinemo::ui::kIdMovementName, QStringLiteral("Greifer öffnen"));
    Click(main, kinemo::ui::kIdAdd);
    main.SetText(kinemo::ui::kIdMovementName, QStringLiteral("Arm schwenken"));
    Click(main, 1059);  // M1 "Rechts"
    main.SetSliderValue(1023, 74);
    main.SetSliderValue(1031, 100);
    Click(main, 1091);  // M1 without maximum duration
    Click(main, 1052);  // M2 "Links"
    main.SetSliderValue(1024, 20);
    main.SetSliderValue(1032, 0);
    Click(main, 1064);  // M2 "Beschleunigung"
    main.SetSliderValue(1028, 60);
    main.SetSliderValue(1036, 0);
    main.SetText(1108, QStringLiteral("400"));
    main.SetText(1096, QStringLiteral("2000"));
}

}  // namespace

int main(int argc, char** argv) {
    const QString output = kinemo::platform::screenshot::ReadOptions(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kinemo::ui::kProgramTitle));
    kinemo::ui::resources::InitResources();
    const QDir dir(output);
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "kinemo-screenshots: cannot create %s\n", qPrintable(dir.path()));
        return 1;
    }

    kinemo::simulator::SimulatedBox box;
    const std::string device = box.Start();
    if (device.empty()) {
        std::fprintf(stderr, "kinemo-screenshots: %s\n", box.error().c_str());
        return 1;
    }
    setenv("KINEMO_PORT_COM1", device.c_str(), 1);
    kinemo::simulator::SimulatorWindow simulator(box);
    simulator.show();

    kinemo::engine::DriverLink link;
    kinemo::platform::ScriptedMessageService messages;
    kinemo::platform::ScriptedFileDialogService files;
    kinemo::ui::MainDialog main(link, messages, files, nullptr, nullptr);
    main.show();

    kinemo::ui::ConnectDialogServices services;
    services.connect = [&link](const std::string& port,
                               const kinemo::ui::ConnectStatusSink& status) {
        return kinemo::engine::ConnectInterface(link, port, status);
    };
    services.messages = &messages;
    kinemo::ui::ConnectDialog connect(std::move(services));
    connect.show();
    ServeEvents(200);
    bool ok = Save(connect, dir, "connect_dialog.png");

    Click(connect, kinemo::platform::kIdOk);
    if (!ServeUntil([&connect] { return connect.Connected(); }, 10000)) {
        std::fprintf(stderr, "kinemo-screenshots: no connection to the simulated box\n");
        return 1;
    }

    PrepareMovements(main);
    Click(main, kinemo::ui::kIdRunList);
    ServeEvents(1500);
    ok = Save(main, dir, "main_window.png") && ok;
    ok = Save(simulator, dir, "simulator_window.png") && ok;
    Click(main, kinemo::ui::kIdEmergencyStop);
    main.Run().WaitUntilIdle(5000);
    ServeEvents(100);

    // "Vorschau" from the context menu, as the user opens it.
    main.ContextMenu()
        ->findChild<QAction*>(QString::number(kinemo::ui::kCommandPreview))
        ->trigger();
    auto* preview = main.findChild<kinemo::ui::PreviewWindow*>(
        QString::fromLatin1(kinemo::ui::kPreviewWindowName));
    if (preview == nullptr) {
        std::fprintf(stderr, "kinemo-screenshots: no preview window\n");
        return 1;
    }
    ServeEvents(200);
    ok = Save(*preview, dir, "preview_window.png") && ok;
    preview->hide();

    kinemo::ui::AboutDialog about(&main);
    about.show();
    ServeEvents(100);
    ok = Save(about, dir, "about_box.png") && ok;
    about.hide();
    box.Stop();
    return ok ? 0 : 1;
}
