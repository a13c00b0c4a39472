// KinemoSpeech's application frame in this process: the windows side by
// side, the about box from the window, the settings saved at the end. The
// ways out and the settings read at the next start: speech_program_test.
#include "keyboard/ui/speech_app.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "keyboard/ui/about_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "platform/dialog_scripted.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"
#include "tests/tools/cli_process.h"

namespace kinemo::keyboard::ui {
namespace {

using kinemo::cli::test::ReadFileBytes;
using kinemo::cli::test::TempFolder;
using testing::FindWindow;

struct AppFixture {
    AppFixture() : link(port) {
        services.port = &port;  // never connected here
        services.link = &link;
        services.messages = &messages;
        services.settingsPath = folder.File("settings.kms");
    }
    // Runs the session; `act` runs once the event loop serves the windows.
    int Run(std::function<void()> act) {
        QTimer::singleShot(0, std::move(act));
        bool timedOut = false;  // never hang: a missed click ends the loop too
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&timedOut] {
            timedOut = true;
            QCoreApplication::exit(0);
        });
        guard.start(20000);
        const int code = RunSpeechSession(services, nullptr);
        EXPECT_FALSE(timedOut);
        return code;
    }

    TempFolder folder;
    InterfacePort port;
    PortLink link;
    platform::ScriptedMessageService messages;
    SpeechAppServices services;
};

TEST(SpeechApp, ConnectDialogBesideTheMainWindowAboutBoxFromTheWindowAndSaveAtEnde) {
    AppFixture f;
    bool beside = false;
    bool sawAbout = false;
    const int code = f.Run([&beside, &sawAbout] {
        MainDialog* main = FindWindow<MainDialog>();
        ConnectDialog* connect = FindWindow<ConnectDialog>();
        ASSERT_NE(main, nullptr);
        ASSERT_NE(connect, nullptr);
        beside = !main->isModal() && !connect->isModal() && connect->parentWidget() == nullptr &&
                 connect->x() >= main->frameGeometry().right();
        QTimer::singleShot(0, [&sawAbout] {
            if (AboutDialog* about = FindWindow<AboutDialog>()) {
                sawAbout = about->isModal();
                about->Control<QPushButton>(platform::kIdOk)->click();
            }
        });
        main->Control<QPushButton>(kIdCredit)->click();  // modal until the click above
        main->Control<QPushButton>(kIdEnd)->click();
    });
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(beside);
    EXPECT_TRUE(sawAbout);
    EXPECT_EQ(ReadFileBytes(f.services.settingsPath).size(), SettingsFileSize(1));
    EXPECT_TRUE(f.messages.Requests().empty());
}

TEST(SpeechApp, FailedSaveIsReportedAndTheProgramStillEndsWithZero) {
    AppFixture f;
    f.services.settingsPath = f.folder.File("no-such-folder/settings.kms");
    const int code = f.Run([] {
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(FindWindow<MainDialog>(), &escape);
    });
    EXPECT_EQ(code, 0);
    ASSERT_EQ(f.messages.Requests().size(), 1U);
    const platform::MessageRequest& box = f.messages.Requests()[0];
    EXPECT_TRUE(box.text.startsWith(QString::fromUtf8(kSaveFailedText))) << box.text.toStdString();
    EXPECT_GT(box.text.size(), QString::fromUtf8(kSaveFailedText).size() + 1);  // and why
    EXPECT_EQ(platform::EffectiveCaption(box), QStringLiteral("KinemoSpeech"));
}

}  // namespace
}  // namespace kinemo::keyboard::ui
