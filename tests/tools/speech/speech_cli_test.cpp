// kinemo-speech-cli as a process: against a pseudo-terminal box with keys
// typed into a named pipe on its standard input, and against kinemo-sim.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "keyboard/settings_file.h"
#include "tests/keyboard/box_wire.h"
#include "tests/platform/pty_peer.h"
#include "tests/tools/cli_process.h"

namespace kinemo::speech {
namespace {

using cli::test::ChildProcess;
using cli::test::ProcessResult;
using cli::test::ReadFileBytes;
using cli::test::ReadFileText;
using cli::test::TempFolder;
using cli::test::WriteFileBytes;
using keyboard::KeyboardSettings;
using keyboard::testing::Bytes;
using keyboard::testing::PtyPeer;
using keyboard::testing::WaitForWire;
using keyboard::testing::Words;

constexpr char kInvalid[] =
    "Ungültige Datei settings.kms\nLöschen Sie die Datei und starten Sie das Programm neu\n";

// "a" sets M1 "R", "ü" (0xFC) sets M1 to 25 %, "n" is "Notaus"; M1 starts "L" at 50 %.
KeyboardSettings Keys() {
    KeyboardSettings settings;
    settings.start.motors[0].startState = keyboard::kMotorLeft;
    settings.start.motors[0].startSpeed = 50;
    int entry = settings.keys.Append('a');
    settings.keys.SetAction(entry, keyboard::kSetStates);
    settings.keys.SetIncluded(entry, 0, true);
    settings.keys.SetValue(entry, 0, keyboard::kMotorRight);
    entry = settings.keys.Append(0xFC);
    keyboard::ChooseAction(settings.keys, entry, keyboard::kSetSpeeds);
    settings.keys.SetIncluded(entry, 0, true);
    settings.keys.SetValue(entry, 0, 25);
    entry = settings.keys.Append('n');
    settings.keys.SetAction(entry, keyboard::kEmergencyStop);
    return settings;
}

std::vector<std::string> Cli(std::vector<std::string> args) {
    args.insert(args.begin(), KINEMO_SPEECH_CLI_PATH);
    return args;
}

// The CLI started in `folder` against `box`, its standard input a named pipe
// the test types into.
struct TypedRun {
    TypedRun(const TempFolder& folder, const PtyPeer& box,
             std::vector<std::string> args = {"run", "--port", "COM2"})
        : pipe(folder.File("keys.fifo")),
          made(::mkfifo(pipe.c_str(), 0600) == 0),
          child(Cli(std::move(args)), folder.Path(), {{"KINEMO_PORT_COM2", box.DevicePath()}},
                pipe),
          keys(::open(pipe.c_str(), O_WRONLY | O_CLOEXEC)) {}
    ~TypedRun() { Close(); }
    void Type(const std::string& bytes) {
        ASSERT_EQ(::write(keys, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    void Close() {
        if (keys >= 0) {
            ::close(std::exchange(keys, -1));
        }
    }

    std::string pipe;
    bool made;
    ChildProcess child;
    int keys;
};

// The bytes typed reach the keys as they are; what a key does to the pulse
// patterns is the control loop's test.
TEST(SpeechCli, TypedKeysDriveTheMotorsUntilTheNotausKey) {
    TempFolder folder;
    const Bytes file = keyboard::EncodeSettings(Keys());
    WriteFileBytes(folder.File("settings.kms"), file);
    PtyPeer box;
    box.StartBox(2, {0x00});
    TypedRun run(folder, box);
    ASSERT_TRUE(WaitForWire(box, [](const auto& r) { return r.size() > 20; }));
    run.Type("a");
    ASSERT_TRUE(WaitForWire(box, [](const auto& r) {
        return !r.empty() && r.back().size() == 2 && r.back()[1] == keyboard::kMotorRight;
    }));
    // At half speed no three ticks in a row are off; at a quarter they are.
    run.Type("\xFC");
    const std::size_t typedAt = box.Requests().size();
    ASSERT_TRUE(WaitForWire(box, [typedAt](const auto& r) {
        const std::vector<std::uint8_t> w = Words(r);
        for (std::size_t t = typedAt; t + 3 < w.size(); ++t) {
            if (w[t] == 0 && w[t + 1] == 0 && w[t + 2] == 0) {
                return true;
            }
        }
        return false;
    }));
    run.Type("n");
    const ProcessResult result = run.child.Wait();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "Run\nEnde\n");

    const std::vector<std::uint8_t> words = Words(box.Requests());
    EXPECT_EQ(words[0], 0x00);                  // connection test
    EXPECT_EQ(words[1], 0x00);                  // first tick
    EXPECT_EQ(words[3], keyboard::kMotorLeft);  // M1 starts "L"
    EXPECT_EQ(words.back(), 0x00);
    EXPECT_EQ(ReadFileBytes(folder.File("settings.kms")), file);  // only read
}

TEST(SpeechCli, EveryWayOutEndsWithAllOffAndExitCodeZero) {
    struct Case {
        const char* name;
        int signal;  // 0: close the input, -1: the off switch's input E8 becomes active
        const char* status;
    };
    const Case cases[] = {{"end of input", 0, "Run\nAbgebrochen\nEnde\n"},
                          {"SIGINT", SIGINT, "Run\nAbgebrochen\nEnde\n"},
                          {"SIGTERM", SIGTERM, "Run\nAbgebrochen\nEnde\n"},
                          {"SIGHUP", SIGHUP, "Run\nAbgebrochen\nEnde\n"},
                          {"off switch", -1, "Run\nEnde\n"}};
    for (const Case& c : cases) {
        TempFolder folder;
        PtyPeer box;
        box.StartBox(2, {0x00});
        KeyboardSettings settings;
        settings.start.motors[2].startState = keyboard::kMotorLeft;
        settings.start.offSwitch = true;
        WriteFileBytes(folder.File("motors.kms"), keyboard::EncodeSettings(settings));
        TypedRun run(folder, box, {"run", "--settings", "motors.kms", "--port=COM2"});
        ASSERT_TRUE(WaitForWire(box, [](const auto& r) { return r.size() > 30; })) << c.name;
        if (c.signal == 0) {
            run.Close();
        } else if (c.signal < 0) {
            box.SetAnswer({0x80});
        } else {
            run.child.Signal(c.signal);
        }
        const ProcessResult result = run.child.Wait();
        EXPECT_EQ(result.exitCode, 0) << c.name;
        EXPECT_EQ(result.err, c.status) << c.name;
        const std::vector<std::uint8_t> words = Words(box.Requests());
        EXPECT_EQ(words.back(), 0x00) << c.name;
        EXPECT_EQ(words[words.size() - 2], 0x10) << c.name;
        // No settings file is written, not even the missing default one.
        EXPECT_NE(::access(folder.File("settings.kms").c_str(), F_OK), 0) << c.name;
    }
}

TEST(SpeechCli, OnATerminalEveryKeyActsAtOnceAndTheEndOfFileKeyEndsTheInput) {
    TempFolder folder;
    WriteFileBytes(folder.File("settings.kms"), keyboard::EncodeSettings(Keys()));
    PtyPeer box;
    box.StartBox(2, {0x00});
    PtyPeer terminal;
    ChildProcess child(Cli({"run", "--port", "COM4"}), folder.Path(),
                       {{"KINEMO_PORT_COM4", box.DevicePath()}}, terminal.DevicePath());
    ASSERT_TRUE(WaitForWire(box, [](const auto& r) { return r.size() > 30; }));
    ASSERT_TRUE(terminal.Write({'a'}));  // no line end: acts at once
    ASSERT_TRUE(WaitForWire(box, [](const auto& r) {
        return !r.empty() && r.back().size() == 2 && r.back()[1] == keyboard::kMotorRight;
    }));
    ASSERT_TRUE(terminal.Write({0x04}));  // Ctrl-D
    const ProcessResult result = child.Wait();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "Run\nAbgebrochen\nEnde\n");
    EXPECT_EQ(terminal.Drain(100), Bytes{});  // nothing echoed
    EXPECT_EQ(Words(box.Requests()).back(), 0x00);
}

// Spoken words made at test time: "links" types "a" (M1 "R"), "stopp" types
// "n" (Notaus); the run ends by the spoken Notaus, before the file's end.
TEST(SpeechCli, SpokenWordsFromASoundFileActAsTypedKeys) {
    TempFolder folder;
    WriteFileBytes(folder.File("settings.kms"), keyboard::EncodeSettings(Keys()));
    const std::string words = "links a 1e-25\nstopp n 1e-25\n";
    WriteFileBytes(folder.File("words.txt"), Bytes(words.begin(), words.end()));
    const std::string make = "bash '" KINEMO_SOURCE_DIR "/scripts/make-test-speech.sh' commands '" +
                             folder.File("spoken.wav") + "' '" + folder.File("words.txt") +
                             "' --voices de --speeds 150 >/dev/null 2>&1";
    ASSERT_EQ(std::system(make.c_str()), 0);

    ChildProcess sim(
        {KINEMO_SIM_PATH, "--headless", "--fast", "--trace", folder.File("trace.csv"), "--launch",
         KINEMO_SPEECH_CLI_PATH, "run", "--voice", "words.txt", "--audio", "spoken.wav"},
        folder.Path());
    const ProcessResult result = sim.Wait();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.err.find("Run\nGehört: links\nGehört: stopp\nEnde\n"), std::string::npos)
        << result.err;
    const std::string trace = ReadFileText(folder.File("trace.csv"));
    EXPECT_NE(trace.find(",C1,02,"), std::string::npos);  // M1 turned "R" on "links"
    const std::size_t last = trace.rfind('\n', trace.size() - 2);
    ASSERT_NE(last, std::string::npos);
    EXPECT_NE(trace.substr(last + 1).find(",C1,00,"), std::string::npos);

    // A word list that cannot be read ends before the box is touched.
    const ProcessResult refused = cli::test::RunProcess(
        Cli({"run", "--voice", "missing.txt", "--audio", "spoken.wav", "--port", "COM3"}),
        folder.Path(), {{"KINEMO_PORT_COM3", "/dev/kinemo-none"}});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("missing.txt"), std::string::npos) << refused.err;
}

// Each command refuses a bad settings file (which files are bad is the
// settings file's test), and a run without a box ends before it starts.
TEST(SpeechCli, RefusalsEndWithExitCodeOneAndLeaveTheFileAsItWas) {
    Bytes count0 = keyboard::EncodeSettings(KeyboardSettings{});
    count0[88] = 0;
    Bytes truncated = keyboard::EncodeSettings(Keys());
    truncated.pop_back();
    struct Case {
        Bytes file;  // none: no settings file
        std::vector<std::string> args;
        const char* err;
    };
    const Case cases[] = {{count0, {"run"}, kInvalid},
                          {truncated, {"keys"}, kInvalid},
                          {{}, {"run", "--port", "COM3"}, "Keine Verbindung zum Interface!\n"}};
    for (const Case& c : cases) {
        TempFolder folder;
        if (!c.file.empty()) {
            WriteFileBytes(folder.File("settings.kms"), c.file);
        }
        const ProcessResult result = cli::test::RunProcess(
            Cli(c.args), folder.Path(), {{"KINEMO_PORT_COM3", "/dev/kinemo-none"}});
        EXPECT_EQ(result.exitCode, 1) << c.args[0];
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(ReadFileBytes(folder.File("settings.kms")), c.file);
    }
}

TEST(SpeechCli, BadArgumentsGiveOneLineAndExitCodeTwo) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"fly"},
        {"run", "--port", "COM5"},
        {"run", "--port", "LPT1"},
        {"run", "--port"},
        {"run", "--speed", "3"},
        {"run", "extra"},
        {"run", "--settings="},
        {"keys", "a.kms", "b.kms"},
        {"run", "--voice", "words.txt"},
        {"run", "--voice", "words.txt", "--audio", "a.wav", "--microphone"},
        {"run", "--audio", "a.wav"},
        {"run", "--microphone"},
    };
    TempFolder folder;
    for (const auto& args : cases) {
        const ProcessResult result = cli::test::RunProcess(Cli(args), folder.Path());
        EXPECT_EQ(result.exitCode, 2) << (args.empty() ? "" : args.back());
        EXPECT_EQ(result.out, "");
        ASSERT_FALSE(result.err.empty());
        EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        EXPECT_EQ(result.err.rfind("kinemo-speech-cli: ", 0), 0U) << result.err;
    }
}

TEST(SpeechCli, KeysListsStartSettingsAndEveryKey) {
    TempFolder folder;
    KeyboardSettings settings = Keys();
    settings.start.motors[1] = {keyboard::kMotorRight, 7, true, 5, 6};
    settings.start.offSwitch = true;
    settings.start.offSwitchInput = 0;
    settings.keys.Append('\n');
    WriteFileBytes(folder.File("my.kms"), keyboard::EncodeSettings(settings));
    const ProcessResult result = cli::test::RunProcess(Cli({"keys", "my.kms"}), folder.Path());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out,
              "Motor 1: Start L 50 %, Endtaster aus (L: E1, R: E2)\n"
              "Motor 2: Start R 7 %, Endtaster an (L: E6, R: E7)\n"
              "Motor 3: Start A 100 %, Endtaster aus (L: E5, R: E6)\n"
              "Motor 4: Start A 100 %, Endtaster aus (L: E7, R: E8)\n"
              "Austaster: an (E1)\n"
              "Tasten: 4\n"
              "1 \"a\" Motorstatus ändern: M1 R, M2 -, M3 -, M4 -\n"
              "2 \"ü\" (0xFC) Geschwindigkeiten ändern: M1 25 %, M2 -, M3 -, M4 -\n"
              "3 \"n\" Notaus\n"
              "4 0x0A --keine Aktion--\n");
    // Without a file: the defaults.
    const ProcessResult defaults = cli::test::RunProcess(Cli({"keys"}), folder.Path());
    EXPECT_EQ(defaults.exitCode, 0);
    EXPECT_NE(defaults.out.find("Austaster: aus (E8)\nTasten: 0\n"), std::string::npos);
}

}  // namespace
}  // namespace kinemo::speech
