// kinemo-speech-cli as a process against a pseudo-terminal box, with keys
// typed on a terminal or into a named pipe on its standard input, or spoken.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "keyboard/settings_file.h"
#include "tests/keyboard/box_wire.h"
#include "tests/platform/pty_peer.h"
#include "tests/tools/cli_process.h"

namespace kinemo::speech {
namespace {

using namespace cli::test;
using keyboard::KeyboardSettings;
using keyboard::testing::Bytes;
using keyboard::testing::PtyPeer;
using keyboard::testing::WaitForWire;
using keyboard::testing::Words;

// M1 starts "L" at 50 %, M3 "L" at 100 %, the off switch is on (E8); "a" sets
// M1 "R", "ü" (0xFC) sets M1 to 25 %, "n" is "Notaus".
KeyboardSettings Keys() {
    KeyboardSettings settings;
    settings.start.motors[0].startState = settings.start.motors[2].startState =
        keyboard::kMotorLeft;
    settings.start.motors[0].startSpeed = 50;
    settings.start.offSwitch = true;
    int entry = settings.keys.Append('a');
    settings.keys.SetAction(entry, keyboard::kSetStates);
    settings.keys.SetIncluded(entry, 0, true);
    settings.keys.SetValue(entry, 0, keyboard::kMotorRight);
    entry = settings.keys.Append(0xFC);
    keyboard::ChooseAction(settings.keys, entry, keyboard::kSetSpeeds);
    settings.keys.SetIncluded(entry, 0, true);
    settings.keys.SetValue(entry, 0, 25);
    settings.keys.SetAction(settings.keys.Append('n'), keyboard::kEmergencyStop);
    return settings;
}

bool M1TurnedRight(const std::vector<Bytes>& r) {
    return !r.empty() && r.back().size() == 2 && (r.back()[1] & 3) == keyboard::kMotorRight;
}

// `run` with Keys() in motors.kms on COM2 against a pseudo-terminal
// box; standard input is a terminal or a named pipe the test holds open.
struct SpeechRun {
    explicit SpeechRun(bool terminalInput) : onTerminal(terminalInput) {
        WriteFileBytes(folder.File("motors.kms"), file);
        box.StartBox(2, {0x00});
        const std::string pipe = folder.File("keys");
        EXPECT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
        keys = ::open(pipe.c_str(), O_RDWR | O_CLOEXEC);
        child = std::make_unique<ChildProcess>(
            Command(KINEMO_SPEECH_CLI_PATH, {"run", "--settings", "motors.kms", "--port=COM2"}),
            folder.Path(), Environment{{"KINEMO_PORT_COM2", box.DevicePath()}},
            onTerminal ? terminal.DevicePath() : pipe);
        EXPECT_TRUE(WaitForWire(box, [](const auto& r) { return r.size() > 30; }));
    }
    ~SpeechRun() { EndInput(); }
    void Type(const std::string& text) {
        EXPECT_TRUE(onTerminal ? terminal.Write(Bytes(text.begin(), text.end()))
                               : ::write(keys, text.data(), text.size()) == ssize_t(text.size()));
    }
    // Ctrl-D on a terminal, the pipe's last writer closed otherwise.
    void EndInput() {
        if (onTerminal) {
            Type("\x04");
        } else if (keys >= 0) {
            ::close(std::exchange(keys, -1));
        }
    }
    // The run ended with `status` (and exit code 1 when the line was lost),
    // all-off last, the settings file only read.
    std::vector<std::uint8_t> ExpectEnd(const std::string& status, int exitCode = 0) {
        EXPECT_EQ(child->Wait(), (ProcessResult{exitCode, 0, "", status}));
        const std::vector<std::uint8_t> words = Words(box.Requests());
        EXPECT_TRUE(exitCode != 0 || words.back() == 0x00);
        EXPECT_EQ(ReadFileBytes(folder.File("motors.kms")), file);
        EXPECT_FALSE(std::filesystem::exists(folder.File("settings.kms")));  // not even the default
        EXPECT_EQ(terminal.Drain(100), Bytes{});                             // nothing echoed
        return words;
    }

    bool onTerminal;
    TempFolder folder;
    Bytes file = keyboard::EncodeSettings(Keys());
    PtyPeer box;
    PtyPeer terminal;
    int keys = -1;
    std::unique_ptr<ChildProcess> child;
};

// Every way out of a run, on a terminal or a pipe: the Notaus key after keys
// that reach the motors at once, without a line end (what a key does to the
// pulse patterns is the control loop's test), the input's end, SIGTERM
// (SIGINT and SIGHUP come the same way) and the file's off switch end
// all-off with exit code 0; a hang-up of the line ends the run with exit
// code 1 instead of spinning on the dead line. M1 and M3 start "L" after the
// connection test and the first tick; M3 runs to the end.
TEST(SpeechCli, EveryWayOutOfARun) {
    enum Way { kNotaus, kEndOfInput, kSigterm, kOffSwitch, kHangUp };
    const std::string cancelled = "Run\nAbgebrochen\nEnde\n";
    using Case = std::tuple<bool, Way, std::string>;
    for (const auto& [onTerminal, way, status] :
         {Case{false, kNotaus, "Run\nEnde\n"}, Case{true, kNotaus, "Run\nEnde\n"},
          Case{false, kEndOfInput, cancelled}, Case{true, kEndOfInput, cancelled},
          Case{false, kSigterm, cancelled}, Case{false, kOffSwitch, "Run\nEnde\n"},
          Case{false, kHangUp, "Run\nVerbindung zum Interface verloren\n"}}) {
        SCOPED_TRACE(::testing::Message() << onTerminal << way);
        SpeechRun run(onTerminal);
        if (way == kNotaus) {
            run.Type("a");
            ASSERT_TRUE(WaitForWire(run.box, M1TurnedRight));
            // At half speed M1 is never off three ticks in a row; at a quarter it is.
            run.Type("\xFC");
            const std::size_t typedAt = run.box.Requests().size();
            ASSERT_TRUE(WaitForWire(run.box, [typedAt](const auto& r) {
                std::string m1;
                for (const std::uint8_t word : Words(r)) {
                    m1 += (word & 3) != 0 ? '1' : '0';
                }
                return m1.find("000", typedAt) != std::string::npos;
            }));
            run.Type("n");
        } else if (way == kEndOfInput) {
            run.EndInput();
        } else if (way == kSigterm) {
            run.child->Signal(SIGTERM);
        } else if (way == kOffSwitch) {
            run.box.SetAnswer({0x80});  // E8
        } else {
            run.box.CloseMaster();
        }
        const std::vector<std::uint8_t> words = run.ExpectEnd(status, way == kHangUp ? 1 : 0);
        EXPECT_EQ(std::vector(words.begin(), words.begin() + 4),
                  (std::vector<std::uint8_t>{0x00, 0x00, 0x10, keyboard::kMotorLeft | 0x10}));
        EXPECT_EQ(words[words.size() - (way == kHangUp ? 1 : 2)] & 0x30, 0x10);
    }
}

// Spoken words made at test time: "links" types "a" (M1 "R"), "stopp" types
// "n" (Notaus); the run ends by the spoken Notaus, before the file's end.
TEST(SpeechCli, SpokenWordsFromASoundFileActAsTypedKeys) {
    TempFolder folder;
    WriteFileBytes(folder.File("settings.kms"), keyboard::EncodeSettings(Keys()));
    WriteFileText(folder.File("words.txt"), "links a 1e-25\nstopp n 1e-25\n");
    const std::string make = "bash '" KINEMO_SOURCE_DIR "/scripts/make-test-speech.sh' commands '" +
                             folder.File("spoken.wav") + "' '" + folder.File("words.txt") +
                             "' --voices de --speeds 150 >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0);
    PtyPeer box;
    box.StartBox(2, {0x00});
    EXPECT_EQ(RunProcess(Command(KINEMO_SPEECH_CLI_PATH,
                                 {"run", "--voice", "words.txt", "--audio", "spoken.wav"}),
                         folder.Path(), {{"KINEMO_PORT_COM1", box.DevicePath()}}),
              (ProcessResult{0, 0, "", "Run\nGehört: links\nGehört: stopp\nEnde\n"}));
    const std::vector<std::uint8_t> words = Words(box.Requests());
    EXPECT_NE(std::find(words.begin(), words.end(), 0x12), words.end());  // M1 "R", M3 "L"
    EXPECT_EQ(words.back(), 0x00);
}

// Each command refuses a bad settings file (which files are bad is the
// settings file's test) and leaves it as it was; a run without a box or
// without its word list ends before it starts; `keys` lists the settings.
TEST(SpeechCli, KeysAndRefusals) {
    const std::string invalid =
        "Ungültige Datei settings.kms\nLöschen Sie die Datei und starten Sie das Programm neu\n";
    Bytes truncated = keyboard::EncodeSettings(Keys());
    truncated.pop_back();
    KeyboardSettings listed = Keys();
    listed.start.motors[1] = {keyboard::kMotorRight, 7, true, 5, 6};
    listed.start.offSwitchInput = 0;
    listed.keys.Append('\n');
    using Case = std::tuple<Bytes, std::vector<std::string>, ProcessResult>;  // Bytes{}: no file
    const Case cases[] = {
        {truncated, {"run"}, {1, 0, "", invalid}},
        {truncated, {"keys"}, {1, 0, "", invalid}},
        {{}, {"run", "--port", "COM3"}, {1, 0, "", "Keine Verbindung zum Interface!\n"}},
        {{},
         {"run", "--voice", "missing.txt", "--audio", "spoken.wav", "--port", "COM3"},
         {1, 0, "", "Die Datei \"missing.txt\" kann nicht gelesen werden\n"}},
        {{},
         {},
         {2, 0, "",
          "kinemo-speech-cli: Befehl fehlt (kinemo-speech-cli --help zeigt die Befehle)\n"}},
        {keyboard::EncodeSettings(listed),
         {"keys", "settings.kms"},
         {0, 0,
          "Motor 1: Start L 50 %, Endtaster aus (L: E1, R: E2)\n"
          "Motor 2: Start R 7 %, Endtaster an (L: E6, R: E7)\n"
          "Motor 3: Start L 100 %, Endtaster aus (L: E5, R: E6)\n"
          "Motor 4: Start A 100 %, Endtaster aus (L: E7, R: E8)\n"
          "Austaster: an (E1)\nTasten: 4\n"
          "1 \"a\" Motorstatus ändern: M1 R, M2 -, M3 -, M4 -\n"
          "2 \"ü\" (0xFC) Geschwindigkeiten ändern: M1 25 %, M2 -, M3 -, M4 -\n"
          "3 \"n\" Notaus\n"
          "4 0x0A --keine Aktion--\n",
          ""}},
    };
    for (const auto& [file, args, result] : cases) {
        TempFolder folder;
        if (!file.empty()) {
            WriteFileBytes(folder.File("settings.kms"), file);
        }
        EXPECT_EQ(RunProcess(Command(KINEMO_SPEECH_CLI_PATH, args), folder.Path(),
                             {{"KINEMO_PORT_COM3", "/dev/kinemo-none"}}),
                  result);
        EXPECT_EQ(ReadFileBytes(folder.File("settings.kms")), file);
    }
}

}  // namespace
}  // namespace kinemo::speech
