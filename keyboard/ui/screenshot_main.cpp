// kinemo-speech-screenshots: renders KinemoSpeech's real windows off screen to
// PNG files for the documentation (run with QT_QPA_PLATFORM=offscreen).
//
//   kinemo-speech-screenshots [OUTPUT_DIR] [--scale 2] [--audio FILE.wav]
//
// OUTPUT_DIR defaults to docs/screenshots. The main window connects to the
// simulated box, gets a few keys and runs, with words typed into its input
// field, so the pictures show it at work: speech_main_window.png,
// speech_connect_dialog.png, speech_about_box.png. With --scale 2 the windows
// are drawn at 200 % and the names end in "_200". With --audio the speech
// input listens to FILE.wav during the run, and the picture is taken once a
// word has been heard (a recording of "links", for instance).
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QtTest/QTest>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "keyboard/box_link.h"
#include "keyboard/interface_port.h"
#include "keyboard/ui/about_dialog.h"
#include "keyboard/ui/connect_dialog.h"
#include "keyboard/ui/main_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "keyboard/ui/resource_paths.h"
#include "platform/dialog_screenshot.h"
#include "platform/dialog_scripted.h"
#include "simulator/simulated_box.h"

namespace {

using kinemo::keyboard::ui::MainDialog;
using kinemo::platform::DialogWindow;
namespace ids = kinemo::keyboard::ui;

using kinemo::platform::screenshot::Click;
using kinemo::platform::screenshot::ServeEvents;
using kinemo::platform::screenshot::ServeUntil;

bool Save(QWidget& window, const QDir& dir, const char* name) {
    return kinemo::platform::screenshot::Save(window, dir, name, "kinemo-speech-screenshots");
}

// Adds a key through the editor as a user would: the character into the
// new-key edit, "&Neu:", then the action.
void AddKey(MainDialog& main, QChar character, int action) {
    main.SetText(ids::kIdNewKey, QString(character));
    Click(main, ids::kIdAddKey);
    QComboBox* actions = main.Control<QComboBox>(ids::kIdAction);
    actions->setCurrentIndex(action);
    emit actions->activated(action);
}

// "l" turns M1 left, "r" turns it right, "s" slows M1 and M2 to 40 %.
void PrepareKeys(MainDialog& main) {
    AddKey(main, QLatin1Char('l'), kinemo::keyboard::kSetStates);
    Click(main, ids::kIdInclude);
    main.Control<QComboBox>(ids::kIdValueState)->setCurrentIndex(kinemo::keyboard::kMotorLeft);
    emit main.Control<QComboBox>(ids::kIdValueState)->activated(kinemo::keyboard::kMotorLeft);
    AddKey(main, QLatin1Char('r'), kinemo::keyboard::kSetStates);
    Click(main, ids::kIdInclude);
    main.Control<QComboBox>(ids::kIdValueState)->setCurrentIndex(kinemo::keyboard::kMotorRight);
    emit main.Control<QComboBox>(ids::kIdValueState)->activated(kinemo::keyboard::kMotorRight);
    AddKey(main, QLatin1Char('s'), kinemo::keyboard::kSetSpeeds);
    for (int j = 0; j < 2; ++j) {
        Click(main, ids::kIdInclude + j);
        main.SetSliderValue(ids::kIdValueSpeed + j, 40);
    }
    main.SetSliderValue(ids::kIdStartSpeed + 1, 75);
    Click(main, ids::kIdEndSwitches + 1);
    Click(main, ids::kIdOffSwitch);
}

}  // namespace

int main(int argc, char** argv) {
    std::string audio;
    const QString output =
        kinemo::platform::screenshot::ReadOptions(argc, argv, {{"--audio", &audio}});
    QApplication application(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(ids::kProgramTitle));
    ids::resources::InitResources();
    const QDir dir(output);
    if (!QDir().mkpath(dir.path())) {
        std::fprintf(stderr, "kinemo-speech-screenshots: cannot create %s\n",
                     qPrintable(dir.path()));
        return 1;
    }

    kinemo::simulator::SimulatedBox box;
    const std::string device = box.Start();
    if (device.empty()) {
        std::fprintf(stderr, "kinemo-speech-screenshots: %s\n", box.error().c_str());
        return 1;
    }
    setenv("KINEMO_PORT_COM1", device.c_str(), 1);

    kinemo::keyboard::InterfacePort port;
    kinemo::keyboard::PortLink link(port);
    kinemo::platform::ScriptedMessageService messages;
    MainDialog main(link, messages);
    main.show();

    ids::ConnectDialogServices services;
    services.connect = [&port](int number) { return port.connect(number); };
    services.messages = &messages;
    ids::ConnectDialog connect(std::move(services));
    connect.show();
    ServeEvents(200);
    bool ok = Save(connect, dir, "speech_connect_dialog.png");

    Click(connect, kinemo::platform::kIdOk);
    if (!ServeUntil([&connect] { return connect.Connected(); }, 10000)) {
        std::fprintf(stderr, "kinemo-speech-screenshots: no connection to the simulated box\n");
        return 1;
    }

    PrepareKeys(main);
    if (!audio.empty()) {
        main.SetVoiceServices(nullptr, audio);
        Click(main, ids::kIdVoiceInput);
    }
    Click(main, ids::kIdStart);
    ServeEvents(100);
    QTest::keyClicks(main.Control<QLineEdit>(ids::kIdInputField), QStringLiteral("ls"));
    ServeEvents(1000);
    if (!audio.empty() && !ServeUntil(
                              [&main] {
                                  return main.Text(ids::kIdHeardWord)
                                      .startsWith(QString::fromUtf8(ids::kHeardPrefix));
                              },
                              60000)) {
        std::fprintf(stderr, "kinemo-speech-screenshots: no word heard in %s\n", audio.c_str());
        for (const auto& request : messages.Requests()) {
            std::fprintf(stderr, "%s\n", qPrintable(request.text));
        }
        return 1;
    }
    ok = Save(main, dir, "speech_main_window.png") && ok;
    Click(main, ids::kIdEmergencyStop);
    main.Run().WaitUntilIdle(5000);
    ServeEvents(100);

    kinemo::keyboard::ui::AboutDialog about(&main);
    about.show();
    ServeEvents(100);
    ok = Save(about, dir, "speech_about_box.png") && ok;
    about.hide();
    box.Stop();
    return ok ? 0 : 1;
}
