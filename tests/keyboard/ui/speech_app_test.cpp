// KinemoSpeech's application frame in this process (speech made at test
// time, the real recogniser, a pseudo-terminal box), and kinemo-speech as a
// process with a scripted user: how it ends, the wire and settings.kms.
#include "keyboard/ui/speech_app.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <tuple>

#include "keyboard/settings_file.h"
#include "keyboard/ui/about_dialog.h"
#include "keyboard/ui/main_dialog_ids.h"
#include "keyboard/ui/voice_settings.h"
#include "simulator/simulated_box.h"
#include "tests/keyboard/box_wire.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"
#include "tests/keyboard/voice/test_speech.h"

namespace kinemo::keyboard::ui {
namespace {

using namespace kinemo::cli::test;
using keyboard::testing::AddKey;
using kinemo::testing::Bytes;
using kinemo::ui::testing::WaitUntil;
using testing::FindWindow;
using voice::testing::TestSpeech;
using namespace std::string_literals;

constexpr int kBound = 90000;  // generous: speech is played at speaking pace

// A session with scripted messages and file dialog; `act` runs once the
// event loop serves the windows, and a session that does not end fails.
struct Session {
    int Run(const std::function<void()>& act, const std::string& settings = "settings.kms",
            const std::string& audio = "") {
        QTimer::singleShot(0, act);
        QObject guard;  // gone with the session, and its timer with it
        QTimer::singleShot(2 * kBound, &guard, [] {
            ADD_FAILURE() << "the session did not end";
            QCoreApplication::exit(0);
        });
        return RunSpeechSession({&port, &link, &messages, &files, plugged.File(settings), audio},
                                nullptr);
    }

    kinemo::testing::PluggableBox plugged;
    InterfacePort port;
    PortLink link{port};
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
};

// The connect dialog beside the main window, the about box modal from it;
// a save that fails at the end is told and the program still ends with 0.
TEST(SpeechApp, WindowsSideBySideAboutBoxFromTheWindowAndAFailedSaveIsTold) {
    Session s;
    bool beside = false, sawAbout = false;
    const auto act = [&] {
        MainDialog* main = FindWindow<MainDialog>();
        ConnectDialog* connect = FindWindow<ConnectDialog>();
        ASSERT_TRUE(main != nullptr && connect != nullptr);
        beside = !main->isModal() && !connect->isModal() && connect->parentWidget() == nullptr &&
                 connect->x() >= main->frameGeometry().right();
        QTimer::singleShot(0, [&sawAbout] {
            if (AboutDialog* about = FindWindow<AboutDialog>()) {
                sawAbout = about->isModal();
                about->Control<QPushButton>(platform::kIdOk)->click();
            }
        });
        main->Control<QPushButton>(kIdCredit)->click();  // modal until then
        QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(main, &escape);
    };
    EXPECT_EQ(s.Run(act, "no-such-folder/settings.kms"), 0);
    EXPECT_TRUE(beside && sawAbout);
    EXPECT_EQ(testing::Told(s.messages),
              std::vector<std::string>{"KinemoSpeech: " + std::string(kSaveFailedText) + "\n" +
                                       std::strerror(ENOENT)});
}

// The spoken "links" sets M1 "L" and "stopp" is "Notaus"; "schneller" and
// "langsamer" in between have no entry and are only typed. The word list is
// a copy of the shipped one, chosen with the file dialog, after one that
// cannot be read: that is told (the texts are the setup's own), the box
// unchecked and the run goes on.
TEST(VoiceWindow, SpokenCommandsActInARunAfterARefusedWordListAndTheListIsSavedAtEnde) {
    const TestSpeech& speech = TestSpeech::Get();
    ASSERT_TRUE(speech.Made());
    Session s;
    s.plugged.PlugIn(2, {0x00});
    ASSERT_TRUE(s.port.connect(1));
    const std::string words = s.plugged.File("words.txt"), missing = s.plugged.File("missing.txt");
    std::filesystem::copy_file(voice::testing::kShippedWordList, words);
    s.files.Answer(QString::fromStdString(words));
    KeyboardSettings keys;
    AddKey(keys.keys, 'a', kSetStates, {{0, kMotorLeft}});
    AddKey(keys.keys, 'x', kEmergencyStop);

    std::string typed;
    std::tuple<bool, bool, QString, bool, QString> refused;
    std::tuple<QString, QString> shown;
    const auto act = [&] {
        MainDialog* main = FindWindow<MainDialog>();
        FindWindow<ConnectDialog>()->hide();
        main->ApplySettings(keys);
        main->SetKeyObserver([&typed](std::uint8_t c, int) { typed.push_back(char(c)); });
        main->Control<QPushButton>(kIdStart)->click();
        main->SetText(kIdWordList, QString::fromStdString(missing));
        main->Control<QCheckBox>(kIdVoiceInput)->click();
        WaitUntil([&s] { return !s.messages.Requests().empty(); }, kBound);
        refused = {main->IsChecked(kIdVoiceInput), main->Voice().Listening(),
                   main->Text(kIdHeardWord), main->Run().Running(), main->Text(kIdStatus)};
        main->Control<QPushButton>(kIdChooseWordList)->click();
        main->Control<QCheckBox>(kIdVoiceInput)->click();
        WaitUntil([main] { return !main->Run().Running() && main->IsEnabled(kIdStart); }, kBound);
        shown = {main->Text(kIdHeardWord), main->Text(kIdStatus)};
        main->Control<QPushButton>(kIdEnd)->click();
    };
    EXPECT_EQ(s.Run(act, "settings.kms", speech.Commands()), 0);
    EXPECT_EQ(refused, std::tuple(false, false, QString(), true, QStringLiteral("Run")));
    EXPECT_EQ(testing::Told(s.messages),
              std::vector<std::string>{"KinemoSpeech: Die Datei \"" + missing +
                                       "\" kann nicht gelesen werden"});
    // M1 "L" on the wire after "links", all off as the last word.
    const std::vector<Bytes> wire = s.plugged.Box().Requests();
    EXPECT_EQ(std::tuple(typed, shown, std::ranges::count(wire, Bytes{0xC1, 0x01}) > 0,
                         wire.empty() ? Bytes{} : wire.back()),
              std::tuple(std::string(voice::testing::kSpokenTyped),
                         std::tuple(QStringLiteral("Gehört: stopp"), QStringLiteral("Ende")), true,
                         Bytes{0xC1, 0x00}));
    EXPECT_EQ(ReadFileText(s.plugged.File("spracheingabe.txt")),
              "Spracheingabe=ein\nWortliste=" + words + "\n");
}

// Truncated, oversized, changed and random files give the defaults and are
// never half read (what is refused leaves the settings untouched); a good
// one reads back as written.
TEST(VoiceSettingsFile, DamagedFilesGiveTheDefaultsAndGoodOnesRoundTrip) {
    TempFolder folder;
    const std::string path = folder.File(kVoiceSettingsFileName);
    EXPECT_EQ(LoadVoiceSettings(path), VoiceSettings{});  // missing
    const VoiceSettings made{true, "/some where/ä.txt"};
    ASSERT_TRUE(SaveVoiceSettings(path, made).ok);
    const std::string good = ReadFileText(path);
    EXPECT_EQ(std::pair(good, LoadVoiceSettings(path)),
              std::pair("Spracheingabe=ein\nWortliste=/some where/ä.txt\n"s, made));
    // A path no line can hold is stored as the shipped list.
    EXPECT_EQ(EncodeVoiceSettings({false, "a\nb"}), "Spracheingabe=aus\nWortliste=\n");

    std::vector<std::string> files = {
        good + "x\n", "Spracheingabe=ja\nWortliste=x\n", "Spracheingabe=ein\nWortliste=a\0b\n"s,
        "Spracheingabe=ein\nWortliste=" + std::string(kMaxVoiceSettingsBytes, 'a') + "\n"};
    for (std::size_t n = 0; n < good.size(); ++n)
        files.push_back(good.substr(0, n));
    const std::size_t refused = files.size();
    std::mt19937 random(7);
    for (int i = 0; i < 100; ++i) {
        std::string& bytes = files.emplace_back(good);
        bytes.resize(good.size() - 8 + random() % 16);
        for (char& c : bytes)
            c = random() % 8 == 0 ? static_cast<char>(random()) : c;
    }
    for (std::size_t i = 0; i < files.size(); ++i) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << files[i];
        VoiceSettings decoded = made;
        const bool ok = DecodeVoiceSettings(files[i], decoded);
        EXPECT_TRUE((!ok || i >= refused) && (ok || decoded == made)) << files[i];
        EXPECT_EQ(LoadVoiceSettings(path), ok ? decoded : VoiceSettings{}) << files[i];
    }
}

TEST(SpeechOptions, AudioFileAndRefusals) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"kinemo-speech", "--audio", "a.wav"}, ""},
        {{"kinemo-speech", "--audio"}, "kinemo-speech: --audio braucht einen Dateinamen"},
        {{"kinemo-speech", "-x"}, "kinemo-speech: unbekanntes Argument \"-x\""},
    };
    for (auto [args, message] : cases) {
        std::vector<char*> argv;
        for (std::string& arg : args)
            argv.push_back(arg.data());
        SpeechOptions options;
        std::string error;
        const bool ok = ParseSpeechOptions(int(argv.size()), argv.data(), options, error);
        EXPECT_EQ(std::tuple(ok, options.audioPath, error),
                  std::tuple(message.empty(), message.empty() ? "a.wav"s : ""s, message));
    }
}

// Every way out of a run ends with all motors off on the wire, exit code 0
// and the settings read at the start saved with what the run changed;
// "Abbrechen" ends with 0 without saving. A refused file (which files are
// refused is the settings file's test) ends before any window shows, with
// the message, exit code 1 and the file left as it was, also when a signal
// closes the message box.
TEST(SpeechProgram, EveryWayOutEndsWithAllOffAndSavesUnlessCancelledOrRefused) {
    KeyboardSettings read;
    AddKey(read.keys, 'x', kEmergencyStop);
    KeyboardSettings saved = read;
    saved.start.motors[0].startState = kMotorRight;
    const Bytes before = EncodeSettings(read), after = EncodeSettings(saved),
                zeros(SettingsFileSize(1), 0), three{1, 2, 3};  // count 0, and too short
    const std::string told = "box: KinemoSpeech: "s + kInvalidSettingsMessage + "\n";
    // The probe's action, the signal sent once the run goes or the box shows
    // and the file at the start (empty: none).
    const std::tuple<const char*, int, Bytes> ways[] = {
        {"run-ende", 0, before}, {"run-escape", 0, before}, {"run-close", 0, before},
        {"run", SIGINT, before}, {"run", SIGTERM, before},  {"run", SIGHUP, before},
        {"cancel", 0, {}},       {"cancel", 0, zeros},      {"cancel", SIGTERM, three}};
    for (const auto& [action, signal, file] : ways) {
        SCOPED_TRACE(std::string(action) + " " + std::to_string(signal));
        const bool runs = action[0] == 'r', refused = !runs && !file.empty();
        TempFolder folder;
        if (!file.empty())
            WriteFileBytes(folder.File("settings.kms"), file);
        simulator::SimulatedBox box(simulator::SimulatedBoxOptions::FastLine());
        const std::string device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
        ChildProcess child({KINEMO_SPEECH_PROBE}, folder.Path(),
                           {{"KINEMO_PROBE_ACTION", action},
                            {"KINEMO_PORT_COM1", device},
                            {"KINEMO_PROBE_KEEP_BOXES", refused && signal != 0 ? "1" : ""},
                            {"QT_QPA_PLATFORM", "offscreen"}});
        ASSERT_TRUE(child.WaitForText(runs ? "running" : refused ? told : ""));
        if (signal != 0)
            child.Signal(signal);
        const ProcessResult ended = child.Wait();
        const simulator::BoxSnapshot last = box.Snapshot();
        box.Stop();
        // M1 did turn, and everything is off at the end; a refusal tells
        // nothing but its message, as no window came up.
        EXPECT_EQ(std::tuple(ended.exitCode, last.motors[0].onTicks > 0U, last.outputs,
                             ReadFileBytes(folder.File("settings.kms"))),
                  std::tuple(refused ? 1 : 0, runs, 0U, runs ? after : file))
            << ended.err;
        EXPECT_TRUE(!refused || ended.out == told) << ended.out;
    }
}

}  // namespace
}  // namespace kinemo::keyboard::ui
