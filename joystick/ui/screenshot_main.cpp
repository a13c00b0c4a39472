// kinemo-joy-screenshots: renders KinemoJoy's real windows off screen to PNG
// files for the documentation (run with QT_QPA_PLATFORM=offscreen).
//
//   kinemo-joy-screenshots [OUTPUT_DIR] [--scale 2]   (default docs/screenshots)
//
// A virtual joystick drives the main window's run against the simulated box,
// so the pictures show KinemoJoy at work: main window, connect dialog and
// about box. The settings file goes to a temporary folder.
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "joystick/joy_connect.h"
#include "joystick/joy_texts.h"
#include "joystick/ui/about_dialog.h"
#include "joystick/ui/connect_dialog.h"
#include "joystick/ui/main_dialog.h"
#include "joystick/ui/main_dialog_ids.h"
#include "joystick/ui/resource_paths.h"
#include "platform/dialog_screenshot.h"
#include "platform/dialog_scripted.h"
#include "simulator/simulated_box.h"

namespace {

using kinemo::platform::DialogWindow;
namespace joy = kinemo::joy;
namespace ui = kinemo::joy::ui;

using kinemo::platform::screenshot::Click;
using kinemo::platform::screenshot::ServeEvents;

bool Save(QWidget& window, const QDir& dir, const char* name) {
    return kinemo::platform::screenshot::Save(window, dir, name, "kinemo-joy-screenshots");
}

void Choose(DialogWindow& window, int id, int index) {
    auto* combo = window.Control<QComboBox>(id);
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

int Fail(const char* what) {
    std::fprintf(stderr, "kinemo-joy-screenshots: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const QString output = kinemo::platform::screenshot::ReadOptions(argc, argv);
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(joy::kProgramTitle));
    ui::resources::InitResources();
    const QDir dir(output);
    QTemporaryDir settingsFolder;
    if (!QDir().mkpath(dir.path()) || !settingsFolder.isValid()) {
        return Fail("cannot create the output or settings folder");
    }

    kinemo::simulator::SimulatedBox box;
    const std::string device = box.Start();
    if (device.empty()) {
        return Fail(box.error().c_str());
    }
    setenv("KINEMO_PORT_COM1", device.c_str(), 1);

    kinemo::platform::JoystickSystem joysticks;
    kinemo::platform::VirtualJoystick stick;
    if (!joysticks.Ok() || !stick.Attach("Kinemo-Testjoystick", 4, 8, 1)) {
        return Fail("no virtual joystick");
    }
    joy::DeviceSource source(stick.Index());
    kinemo::platform::ScriptedMessageService messages;
    kinemo::platform::ScriptedFileDialogService files;
    joy::JoySettings settings;
    joy::DriverLink link;

    // The connect dialog as a first start shows it, with the module chosen.
    ui::ConnectDialogServices connectServices;
    connectServices.messages = &messages;
    ui::ConnectDialog connect(settings, std::move(connectServices));
    connect.SetChecked(ui::kIdExtension, true);
    connect.show();
    ServeEvents(200);
    bool ok = Save(connect, dir, "joy_connect_dialog.png");
    connect.hide();

    joy::TakeJoystickCaps(settings, source.Caps());
    joy::SetExtensionModule(settings, true);
    settings.portNumber = 1;
    if (!joy::ConnectInterface(link, settings, nullptr)) {
        return Fail("no connection to the simulated box");
    }

    ui::MainDialogServices services;
    services.link = &link;
    services.source = &source;
    services.messages = &messages;
    services.files = &files;
    services.settingsPath = QDir(settingsFolder.path()).filePath("settings.kmj").toStdString();
    services.caps = source.Caps();
    ui::MainDialog main(settings, std::move(services));
    main.show();
    // M3 from buttons 3 and 4 at 60 %, M4 at the throttle (Z), the off
    // button on button 8.
    Click(main, ui::kIdDirButtons + 2);
    Choose(main, ui::kIdButtonLeftList + 2, 2);
    Choose(main, ui::kIdButtonRightList + 2, 3);
    main.SetSliderValue(ui::kIdSpeedSlider + 2, 60);
    Click(main, ui::kIdDirFixed + 3);
    Choose(main, ui::kIdFixedDirList + 3, 2);
    Click(main, ui::kIdSpeedThrottle + 3);
    Choose(main, ui::kIdThrottleList + 3, 2);
    Click(main, ui::kIdOffButton);

    kinemo::platform::JoystickPosition position;
    position.axes[0] = 13000;  // M1 "L" at 50 %
    position.axes[1] = 60000;  // M2 "R" at 80 %
    position.axes[2] = 45000;  // the throttle at 69 %
    position.buttons = 1U << 2;
    stick.Set(position);
    Click(main, ui::kIdStart);
    ServeEvents(1500);
    ok = Save(main, dir, "joy_main_window.png") && ok;
    Click(main, ui::kIdEmergencyStop);
    main.Controller().WaitUntilIdle(5000);
    ServeEvents(100);

    ui::AboutDialog about(&main);
    about.show();
    ServeEvents(100);
    ok = Save(about, dir, "joy_about_box.png") && ok;
    about.hide();
    main.Controller().StopAndWait();
    link.Close();
    box.Stop();
    return ok ? 0 : 1;
}
