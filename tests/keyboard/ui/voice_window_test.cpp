// The speech input of KinemoSpeech's window: spoken commands (synthetic
// speech made at test time) through the real recogniser into a run on a
// pseudo-terminal box, the word shown, the refusals, and the small settings
// file beside settings.kms.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "keyboard/ui/main_dialog_ids.h"
#include "keyboard/ui/speech_app.h"
#include "keyboard/ui/voice_settings.h"
#include "tests/keyboard/ui/speech_dialog_test_support.h"
#include "tests/platform/pty_peer.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/wait_until.h"
#include "tests/tools/cli_process.h"

namespace kinemo::keyboard::ui {
namespace {

using kinemo::cli::test::ReadFileBytes;
using kinemo::cli::test::TempFolder;
using kinemo::testing::Bytes;
using kinemo::testing::PtyPeer;
using kinemo::testing::ScopedPortOverride;
using kinemo::ui::testing::WaitUntil;
using testing::FindWindow;
using namespace std::string_literals;

constexpr int kBound = 90000;  // generous: speech is played at speaking pace

// "links" then "stopp", spoken once (about four seconds), heard with a copy
// of the shipped word list, where they type "a" and "x".
class VoiceWindow : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        folder_ = new TempFolder;
        std::ofstream(folder_->File("spoken.txt")) << "links a\nstopp x\n";
        std::ifstream shipped(ShippedWordList());
        std::ofstream(Words()) << shipped.rdbuf();
        const std::string command =
            "bash '" KINEMO_SOURCE_DIR "/scripts/make-test-speech.sh' commands '" + Speech() +
            "' '" + folder_->File("spoken.txt") + "' --voices de --speeds 150 --noise 0.01";
        generated_ = shipped.good() && std::system(command.c_str()) == 0;
    }
    static void TearDownTestSuite() { delete folder_; }
    void SetUp() override { ASSERT_TRUE(generated_) << "the speech generator failed"; }

    static std::string Words() { return folder_->File("words.txt"); }
    static std::string Speech() { return folder_->File("speech.wav"); }

    static TempFolder* folder_;
    static bool generated_;
};
TempFolder* VoiceWindow::folder_ = nullptr;
bool VoiceWindow::generated_ = false;

// a: M1 "L"; x: "Notaus".
KeyboardSettings SpokenKeys() {
    KeyboardSettings s;
    const int left = s.keys.Append('a');
    s.keys.SetAction(left, kSetStates);
    s.keys.SetIncluded(left, 0, true);
    s.keys.SetValue(left, 0, kMotorLeft);
    s.keys.SetAction(s.keys.Append('x'), kEmergencyStop);
    return s;
}

TEST_F(VoiceWindow, SpokenCommandsActInARunAndTheBoxAndListAreSavedAtEnde) {
    PtyPeer box;
    box.StartBox(2, {0x00});
    const ScopedPortOverride com1("COM1", box.DevicePath());
    TempFolder home;
    InterfacePort port;
    ASSERT_TRUE(port.connect(1));
    PortLink link(port);
    platform::ScriptedMessageService messages;
    platform::ScriptedFileDialogService files;
    files.Answer(QString::fromStdString(Words()));
    SpeechAppServices services{&port,   &link, &messages, &files, home.File("settings.kms"),
                               Speech()};

    std::string typed;
    QString shown;
    QString status;
    QTimer::singleShot(0, [&] {
        MainDialog* main = FindWindow<MainDialog>();
        FindWindow<ConnectDialog>()->hide();
        main->ApplySettings(SpokenKeys());
        main->SetKeyObserver([&typed](std::uint8_t c, int) { typed.push_back(char(c)); });
        main->Control<QPushButton>(kIdChooseWordList)->click();
        main->Control<QCheckBox>(kIdVoiceInput)->click();
        main->Control<QPushButton>(kIdStart)->click();
        // The Notaus word ends the run.
        WaitUntil([main] { return !main->Run().Running() && main->IsEnabled(kIdStart); }, kBound);
        shown = main->Text(kIdHeardWord);
        status = main->Text(kIdStatus);
        main->Control<QPushButton>(kIdEnd)->click();
    });
    EXPECT_EQ(RunSpeechSession(services, nullptr), 0);
    EXPECT_EQ(typed, "ax");
    EXPECT_EQ(shown, QStringLiteral("Gehört: stopp"));
    EXPECT_EQ(status, QStringLiteral("Ende"));
    // M1 "L" on the wire after "links", all off as the last word.
    const std::vector<Bytes> wire = box.Requests();
    ASSERT_FALSE(wire.empty());
    EXPECT_NE(std::find(wire.begin(), wire.end(), Bytes{0xC1, 0x01}), wire.end());
    EXPECT_EQ(wire.back(), (Bytes{0xC1, 0x00}));
    const std::string expected = "Spracheingabe=ein\nWortliste=" + Words() + "\n";
    EXPECT_EQ(ReadFileBytes(home.File("spracheingabe.txt")),
              Bytes(expected.begin(), expected.end()));
    EXPECT_TRUE(messages.Requests().empty());
    ASSERT_EQ(files.Requests().size(), 1U);
    EXPECT_EQ(files.Requests()[0].filter, QStringLiteral("*.txt"));
}

TEST_F(VoiceWindow, RefusedWordListIsReportedAndUncheckedAndTheRunGoesOn) {
    PtyPeer box;
    box.StartBox(2, {0x00});
    const ScopedPortOverride com1("COM1", box.DevicePath());
    testing::DialogFixture f;
    ASSERT_TRUE(f.port.connect(1));
    MainDialog& main = f.Main();
    main.SetVoiceServices(nullptr, Speech());
    const std::string bad = folder_->File("bad.txt");
    std::ofstream(bad) << "links a\nrechts\n";
    const std::string missing = folder_->File("missing.txt");
    const std::pair<std::string, std::string> cases[] = {
        {bad, bad + ": Zeile 2: Zum Wort fehlt das Zeichen (erwartet: WORT ZEICHEN [SCHWELLE])"},
        {missing, "Die Datei \"" + missing + "\" kann nicht gelesen werden"},
    };
    main.Control<QPushButton>(kIdStart)->click();
    for (const auto& [list, message] : cases) {
        f.messages.ClearRequests();
        main.SetText(kIdWordList, QString::fromStdString(list));
        main.Control<QCheckBox>(kIdVoiceInput)->click();
        ASSERT_TRUE(WaitUntil([&f] { return !f.messages.Requests().empty(); }, kBound));
        EXPECT_EQ(f.messages.Requests()[0].text.toStdString(), message);
        EXPECT_EQ(platform::EffectiveCaption(f.messages.Requests()[0]),
                  QStringLiteral("KinemoSpeech"));
        EXPECT_FALSE(main.IsChecked(kIdVoiceInput));
        EXPECT_FALSE(main.Voice().Listening());
        EXPECT_EQ(main.Text(kIdHeardWord), QString());
    }
    EXPECT_TRUE(main.Run().Running());
    EXPECT_EQ(main.Text(kIdStatus), QStringLiteral("Run"));
}

TEST(VoiceSettingsFile, DamagedFilesGiveTheDefaultsAndGoodOnesRoundTrip) {
    TempFolder folder;
    const std::string path = folder.File(kVoiceSettingsFileName);
    EXPECT_EQ(VoiceSettingsPath(folder.File("settings.kms")), path);
    EXPECT_EQ(LoadVoiceSettings(path), VoiceSettings{});  // missing
    const VoiceSettings made{true, "/some where/ä.txt"};
    ASSERT_TRUE(SaveVoiceSettings(path, made).ok);
    EXPECT_EQ(LoadVoiceSettings(path), made);
    const std::string good = EncodeVoiceSettings(made);
    EXPECT_EQ(good, "Spracheingabe=ein\nWortliste=/some where/ä.txt\n");
    // A path no line can hold is stored as the shipped list.
    EXPECT_EQ(EncodeVoiceSettings({false, "a\nb"}), "Spracheingabe=aus\nWortliste=\n");

    std::vector<std::string> damaged;
    for (std::size_t n = 0; n < good.size(); ++n) {
        damaged.push_back(good.substr(0, n));
    }
    damaged.push_back(good + "x\n");
    damaged.push_back("Spracheingabe=ja\nWortliste=x\n");
    damaged.push_back("Spracheingabe=ein\nWortliste=a\0b\n"s);
    damaged.push_back("Spracheingabe=ein\nWortliste=" + std::string(kMaxVoiceSettingsBytes, 'a') +
                      "\n");
    for (const std::string& bytes : damaged) {
        VoiceSettings untouched = made;
        EXPECT_FALSE(DecodeVoiceSettings(bytes, untouched)) << bytes;
        EXPECT_EQ(untouched, made);
    }
    // Random changes of a good file: whatever still reads as one is what
    // the file gives, anything else the defaults.
    std::mt19937 random(7);
    for (int i = 0; i < 100; ++i) {
        std::string bytes = good;
        bytes.resize(good.size() - 8 + random() % 16);
        for (char& c : bytes) {
            c = random() % 8 == 0 ? static_cast<char>(random()) : c;
        }
        damaged.push_back(bytes);
    }
    for (const std::string& bytes : damaged) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
        VoiceSettings decoded;
        const bool ok = DecodeVoiceSettings(bytes, decoded);
        EXPECT_EQ(LoadVoiceSettings(path), ok ? decoded : VoiceSettings{}) << bytes;
    }
}

TEST(SpeechOptions, AudioFileHelpAndRefusals) {
    struct Case {
        std::vector<const char*> args;
        bool ok;
        std::string audio, error;
    };
    const Case cases[] = {
        {{"kinemo-speech", "--audio", "a.wav"}, true, "a.wav", ""},
        {{"kinemo-speech", "--audio"},
         false,
         "",
         "kinemo-speech: --audio braucht einen Dateinamen"},
        {{"kinemo-speech", "-x"}, false, "", "kinemo-speech: unbekanntes Argument \"-x\""},
    };
    for (const Case& c : cases) {
        SpeechOptions options;
        std::string error;
        std::vector<char*> argv;
        for (const char* a : c.args) {
            argv.push_back(const_cast<char*>(a));
        }
        EXPECT_EQ(ParseSpeechOptions(int(argv.size()), argv.data(), options, error), c.ok);
        EXPECT_EQ(options.audioPath, c.audio);
        EXPECT_EQ(error, c.error);
    }
    EXPECT_NE(std::string(kSpeechUsage).find("--audio DATEI.wav"), std::string::npos);
}

}  // namespace
}  // namespace kinemo::keyboard::ui
