// Helpers of the KinemoJoy window tests: an SDL virtual joystick read through
// the joystick layer, scripted message boxes and file dialogs, a settings
// file in a fresh folder, and user actions on controls by id.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "joystick/joy_connect.h"
#include "joystick/joy_settings.h"
#include "joystick/joy_texts.h"
#include "joystick/joystick_source.h"
#include "joystick/ui/main_dialog.h"
#include "joystick/ui/main_dialog_ids.h"
#include "platform/dialog_scripted.h"
#include "platform/dialog_window.h"
#include "platform/joystick.h"
#include "tests/sequencer/ui/wait_until.h"
#include "tests/tools/cli_process.h"

namespace kinemo::joy::ui::testing {

using kinemo::cli::test::ReadFileBytes;
using kinemo::cli::test::TempFolder;
using kinemo::cli::test::WriteFileBytes;
using kinemo::ui::testing::WaitUntil;

// Names the test binary's application like the program, so that message
// boxes without a caption of their own read "KinemoJoy" as in the program.
struct ProgramTitle : ::testing::Environment {
    void SetUp() override {
        QCoreApplication::setApplicationName(QString::fromUtf8(kProgramTitle));
    }
};
inline ::testing::Environment* const kProgramTitleSet =
    ::testing::AddGlobalTestEnvironment(new ProgramTitle);

// A virtual joystick (4 axes, 6 buttons, a hat) held full left and the device
// source that reads it, as the program's runs read a real one.
class TestStick {
  public:
    TestStick() {
        EXPECT_TRUE(system_.Ok()) << system_.Error();
        EXPECT_TRUE(stick_.Attach("Testknüppel", 4, 6, 1));
        source_ = std::make_unique<DeviceSource>(stick_.Index());
        EXPECT_TRUE(source_->Opened());
        platform::JoystickPosition fullLeft;
        fullLeft.axes[0] = 0;
        stick_.Set(fullLeft);
    }
    platform::VirtualJoystick& Stick() { return stick_; }
    DeviceSource& Source() { return *source_; }
    platform::JoystickCaps Caps() const { return source_->Caps(); }

  private:
    platform::JoystickSystem system_;
    platform::VirtualJoystick stick_;
    std::unique_ptr<DeviceSource> source_;
};

// A user's actions on a dialog's controls.
inline void Click(platform::DialogWindow& dialog, int id) {
    auto* button = dialog.Control<QAbstractButton>(id);
    ASSERT_NE(button, nullptr) << "control " << id;
    button->click();
}

// The user picks entry `index` of a drop-down list (as with the mouse: only
// enabled lists take it, and the selection handler runs).
inline void Choose(platform::DialogWindow& dialog, int id, int index) {
    auto* combo = dialog.Control<QComboBox>(id);
    ASSERT_NE(combo, nullptr) << "control " << id;
    if (!combo->isEnabled()) {
        return;
    }
    combo->setCurrentIndex(index);
    Q_EMIT combo->activated(index);
}

inline std::string Text(const platform::DialogWindow& dialog, int id) {
    return dialog.Text(id).toStdString();
}

inline std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// Queues the answers to the next message boxes: o OK, c Cancel, r Retry,
// i Ignore, a Abort, y Yes, n No.
inline void Answer(platform::ScriptedMessageService& messages, std::string_view answers) {
    using enum platform::MessageResult;
    for (const char a : answers) {
        messages.Answer(std::array{kOk, kCancel, kRetry, kIgnore, kAbort, kYes, kNo}.at(
            std::string_view("ocriayn").find(a)));
    }
}

// The message boxes shown so far: text, caption and buttons of each.
using Box = std::tuple<std::string, std::string, platform::MessageButtons>;
inline std::vector<Box> Boxes(const platform::ScriptedMessageService& messages) {
    std::vector<Box> boxes;
    for (const platform::MessageRequest& box : messages.Requests()) {
        boxes.emplace_back(box.text.toStdString(), box.caption.toStdString(), box.buttons);
    }
    return boxes;
}

// The main window as the program opens it once the connect dialog has
// connected to the box a test puts on COM1, the stick held full left. Ends
// are recorded and stop the run as the program frame does. A derived rig
// opens it once its box is there and calls Close() before the box goes.
class MainWindowRig {
  public:
    void Open(const std::string& settingsPath, bool extension = false,
              std::function<void(QWidget*)> showAbout = {}) {
        TakeJoystickCaps(settings, stick.Caps());
        SetExtensionModule(settings, extension);
        settings.portNumber = 1;
        EXPECT_TRUE(ConnectInterface(link, settings, nullptr));
        dialog = std::make_unique<MainDialog>(
            settings, MainDialogServices{.link = &link,
                                         .source = &stick.Source(),
                                         .messages = &messages,
                                         .files = &files,
                                         .endProgram =
                                             [this](int code, bool save) {
                                                 ends.emplace_back(code, save);
                                                 dialog->Controller().StopAndWait();
                                             },
                                         .showAbout = std::move(showAbout),
                                         .settingsPath = settingsPath,
                                         .caps = stick.Caps()});
        dialog->show();
    }
    void Close() {
        dialog.reset();  // stops a run and waits for its all-off exchange
        link.Close();
    }
    MainDialog& D() { return *dialog; }
    bool WaitForRunHandled() {
        return WaitUntil([&] { return !dialog->Running() && dialog->IsEnabled(kIdStart); });
    }

    TestStick stick;
    DriverLink link;
    JoySettings settings;
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
    std::vector<std::pair<int, bool>> ends;
    std::unique_ptr<MainDialog> dialog;
};

}  // namespace kinemo::joy::ui::testing
