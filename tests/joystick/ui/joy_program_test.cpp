// kinemo-joy as a process, played by a replay through its virtual joystick
// against the simulated box with the real line timing: every way out of a
// run ends with all motors off on the wire and the settings saved; the start
// cases end with their exit codes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <string>
#include <vector>

#include "joystick/joy_texts.h"
#include "joystick/settings_file.h"
#include "simulator/simulated_box.h"
#include "tests/tools/cli_process.h"

namespace {

using kinemo::cli::test::ChildProcess;
using kinemo::cli::test::Environment;
using kinemo::cli::test::ProcessResult;
using kinemo::cli::test::ReadFileBytes;
using kinemo::cli::test::TempFolder;
using kinemo::cli::test::WriteFileBytes;

// X fully left for about a minute of ticks: M1 turns "L" until the test ends
// the program.
std::string WriteReplay(const TempFolder& folder, int reads = 20000) {
    const std::string path = folder.File("links.replay");
    std::ofstream out(path);
    out << "# kinemo-joy replay name=\"Probe\" axes=4 buttons=6 hat=1\n";
    for (int i = 0; i < reads; ++i) {
        out << "0,32768,32768,32768,32768,32768,65535,0\n";
    }
    return path;
}

// The probe started in `folder`, its standard input a named pipe.
class Program {
  public:
    Program(const TempFolder& folder, const std::string& device, Environment environment,
            std::vector<std::string> args)
        : pipe_(folder.File("actions.fifo")),
          child_(Argv(std::move(args)), folder.Path(), WithDefaults(device, environment),
                 MakePipe(pipe_)) {
        actions_ = ::open(pipe_.c_str(), O_WRONLY | O_CLOEXEC);
    }
    ~Program() {
        if (actions_ >= 0) {
            ::close(actions_);
        }
    }
    void Act(const std::string& action) {
        const std::string line = action + "\n";
        ASSERT_EQ(::write(actions_, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    }
    ChildProcess& Child() { return child_; }

  private:
    static std::vector<std::string> Argv(std::vector<std::string> args) {
        args.insert(args.begin(), KINEMO_JOY_PROBE);
        return args;
    }
    static Environment WithDefaults(const std::string& device, Environment environment) {
        environment.emplace_back("KINEMO_PORT_COM1", device);
        environment.emplace_back("QT_QPA_PLATFORM", "offscreen");
        return environment;
    }
    static const std::string& MakePipe(const std::string& path) {
        ::unlink(path.c_str());  // a previous program's pipe
        EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
        return path;
    }
    std::string pipe_;
    ChildProcess child_;
    int actions_ = -1;
};

class JoyProgram : public ::testing::Test {
  protected:
    void SetUp() override {
        device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
    }
    void TearDown() override { box.Stop(); }

    kinemo::simulator::SimulatedBox box;
    std::string device;
    TempFolder folder;
};

// First start: the joystick box is answered, COM1 chosen, "LOS!" pressed;
// then the way out under test.
TEST_F(JoyProgram, EveryWayOutOfARunEndsWithAllOffAndSavesTheSettings) {
    const char* ways[] = {"end", "escape", "close", "SIGTERM", "SIGINT", "SIGHUP"};
    const std::string replay = WriteReplay(folder);
    for (const std::string way : ways) {
        SCOPED_TRACE(way);
        ::unlink(folder.File(kinemo::joy::kSettingsFileName).c_str());
        const std::uint64_t turnedBefore = box.Snapshot().motors[0].onTicks;
        Program program(folder, device,
                        {{"KINEMO_PROBE_ANSWERS", "ok"},
                         {"KINEMO_PROBE_CONNECT", "connect"},
                         {"KINEMO_PROBE_START", "1"}},
                        {"--replay", replay});
        ASSERT_TRUE(program.Child().WaitForText("running\n"));
        ASSERT_TRUE(box.WaitForTicks(box.Snapshot().ticks + 30, std::chrono::seconds(30)));
        if (way.rfind("SIG", 0) == 0) {
            program.Child().Signal(way == "SIGTERM" ? SIGTERM : way == "SIGINT" ? SIGINT : SIGHUP);
        } else {
            program.Act(way);
        }
        const ProcessResult result = program.Child().Wait();
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.out, "box: Verbindung zum Joystick erfolgreich!\nrunning\n");
        const kinemo::simulator::BoxSnapshot last = box.Snapshot();
        EXPECT_GT(last.motors[0].onTicks, turnedBefore);  // M1 did turn
        EXPECT_EQ(last.outputs, 0U);                      // and all is off at the end
        const std::vector<std::uint8_t> saved =
            ReadFileBytes(folder.File(kinemo::joy::kSettingsFileName));
        ASSERT_EQ(saved.size(), kinemo::joy::kSettingsFileSize);
        EXPECT_EQ(std::string(saved.begin(), saved.begin() + 5), "KMJ14");
    }
}

// The ways a start ends before a run: the exit code, the boxes shown (each
// "box: FIRST LINE"), one line on standard error for a refusal, and the
// settings file as it was (or still absent).
TEST_F(JoyProgram, StartCasesEndWithTheirExitCodes) {
    const std::string foreign = "KMJ99 from another version";
    const std::string foreignBox =
        "box: Die Einstellungsdatei \"settings.kmj\" wurde von einer anderen Version von "
        "KinemoJoy erzeugt oder ist beschädigt. Alle Einstellungen werden zurückgesetzt und die "
        "Datei wird beim Beenden von KinemoJoy überschrieben.\n";
    const std::string found = "box: Verbindung zum Joystick erfolgreich!\n";
    struct Case {
        std::vector<std::string> args;  // none: the replay
        std::string file;               // settings.kmj before the start ("" none)
        std::string answers, connect;   // KINEMO_PROBE_ANSWERS and _CONNECT
        int exitCode;
        std::string out;
        bool signalAtTheBox = false;  // SIGTERM once the last box shows
    };
    const Case cases[] = {
        {{}, foreign, "cancel", "", 2, foreignBox},
        {{}, foreign, "ok,ok", "cancel", 0, foreignBox + found},
        {{}, "", "ok", "cancel", 0, found},
        // A signal while a box of the connect dialog is open ends the program
        // as "Abbrechen" does.
        {{}, "", "wait", "", 0, found, true},
        {{"--unknown"}, "", "", "", 2, ""},
        {{"--replay"}, "", "", "", 2, ""},
        {{"--replay", "kaputt.replay"}, foreign, "", "", 2, ""},
        {{"--replay", "fehlt.replay"}, "", "", "", 2, ""},
    };
    const std::string replay = WriteReplay(folder, 10);
    const std::string bad = "# not a replay\n";
    WriteFileBytes(folder.File("kaputt.replay"), {bad.begin(), bad.end()});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.answers + " " + c.connect + " " + c.file);
        const std::string path = folder.File(kinemo::joy::kSettingsFileName);
        ::unlink(path.c_str());
        if (!c.file.empty()) {
            WriteFileBytes(path, std::vector<std::uint8_t>(c.file.begin(), c.file.end()));
        }
        const std::vector<std::string> args =
            c.args.empty() ? std::vector<std::string>{"--replay", replay} : c.args;
        Program program(folder, device,
                        {{"KINEMO_PROBE_ANSWERS", c.answers}, {"KINEMO_PROBE_CONNECT", c.connect}},
                        args);
        if (c.signalAtTheBox) {
            ASSERT_TRUE(program.Child().WaitForText(c.out));
            program.Child().Signal(SIGTERM);
        }
        const ProcessResult result = program.Child().Wait();
        EXPECT_EQ(result.exitCode, c.exitCode) << result.err;
        EXPECT_EQ(result.out, c.out);
        if (c.exitCode == 2 && c.out.empty()) {
            ASSERT_FALSE(result.err.empty());
            EXPECT_EQ(result.err.find('\n'), result.err.size() - 1) << result.err;
        }
        EXPECT_EQ(ReadFileBytes(path), std::vector<std::uint8_t>(c.file.begin(), c.file.end()));
    }
}

}  // namespace
