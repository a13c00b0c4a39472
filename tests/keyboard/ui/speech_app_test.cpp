// KinemoSpeech's application frame in this process: the windows side by
// side, the about box from the window, the settings saved at the end. The
// ways out and the settings read at the next start: speech_program_test.
#include "keyboard/ui/speech_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <cstring>
#include <functional>

#include "keyboard/settings_file.h"
#include "keyboard/ui/about_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "platform/dialog_scripted.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"
#include "tests/tools/cli_process.h"

namespace kinemo::keyboard::ui {
namespace {

using testing::FindWindow;

// Runs a session (never connected) saving to `settingsPath`; `act` runs
// once the event loop serves the windows. A missed click ends the loop too.
int RunSession(const std::string& settingsPath, platform::ScriptedMessageService& messages,
               const std::function<void()>& act) {
    InterfacePort port;
    PortLink link(port);
    SpeechAppServices services;
    services.port = &port;
    services.link = &link;
    services.messages = &messages;
    services.settingsPath = settingsPath;
    QTimer::singleShot(0, act);
    QObject guard;  // gone with the session, and its timer with it
    QTimer::singleShot(20000, &guard, [] {
        ADD_FAILURE() << "the session did not end";
        QCoreApplication::exit(0);
    });
    return RunSpeechSession(services, nullptr);
}

TEST(SpeechApp, ConnectDialogBesideTheMainWindowAboutBoxFromTheWindowAndSaveAtEnde) {
    cli::test::TempFolder folder;
    platform::ScriptedMessageService messages;
    bool beside = false, sawAbout = false;
    EXPECT_EQ(RunSession(folder.File("settings.kms"), messages,
                         [&] {
                             MainDialog* main = FindWindow<MainDialog>();
                             ConnectDialog* connect = FindWindow<ConnectDialog>();
                             ASSERT_TRUE(main != nullptr && connect != nullptr);
                             beside = !main->isModal() && !connect->isModal() &&
                                      connect->parentWidget() == nullptr &&
                                      connect->x() >= main->frameGeometry().right();
                             QTimer::singleShot(0, [&sawAbout] {
                                 if (AboutDialog* about = FindWindow<AboutDialog>()) {
                                     sawAbout = about->isModal();
                                     about->Control<QPushButton>(platform::kIdOk)->click();
                                 }
                             });
                             main->Control<QPushButton>(kIdCredit)->click();  // modal until then
                             main->Control<QPushButton>(kIdEnd)->click();
                         }),
              0);
    EXPECT_TRUE(beside && sawAbout);
    EXPECT_EQ(cli::test::ReadFileBytes(folder.File("settings.kms")), EncodeSettings({}));
    EXPECT_TRUE(messages.Requests().empty());
}

TEST(SpeechApp, FailedSaveIsReportedAndTheProgramStillEndsWithZero) {
    cli::test::TempFolder folder;
    platform::ScriptedMessageService messages;
    EXPECT_EQ(RunSession(folder.File("no-such-folder/settings.kms"), messages,
                         [] {
                             QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
                             QApplication::sendEvent(FindWindow<MainDialog>(), &escape);
                         }),
              0);
    EXPECT_EQ(testing::Told(messages),
              std::vector<std::string>{"KinemoSpeech: " + std::string(kSaveFailedText) + "\n" +
                                       std::strerror(ENOENT)});
}

}  // namespace
}  // namespace kinemo::keyboard::ui
