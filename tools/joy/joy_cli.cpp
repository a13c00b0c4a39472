#include "tools/joy/joy_cli.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <exception>
#include <optional>
#include <string_view>
#include <vector>

#include "joystick/joy_connect.h"
#include "joystick/joy_controller.h"
#include "joystick/joy_settings.h"
#include "joystick/joy_texts.h"
#include "joystick/joystick_source.h"
#include "joystick/settings_file.h"
#include "platform/joystick.h"
#include "tools/cli_args.h"
#include "tools/cli_command.h"
#include "tools/cli_frame.h"

namespace kinemo::joycli {
namespace {

using cli::CliFailure;
using cli::CommandArgs;
using cli::kExitBadInput;
using cli::kExitFailure;
using cli::kExitOk;

constexpr char kNoJoystickLine[] = "Kein Joystick gefunden.";

struct Context {
    std::FILE* out;
    std::FILE* err;
    platform::TerminationSignals& signals;
};

void Line(std::FILE* stream, const std::string& text) {
    std::fprintf(stream, "%s\n", text.c_str());
    std::fflush(stream);
}

// The end of a run reaches the waiting main thread through a pipe, so it can
// wait for that and for a termination signal at once.
class EndedPipe : public joy::RunEndedListener {
  public:
    EndedPipe() {
        if (::pipe2(fds_, O_CLOEXEC | O_NONBLOCK) != 0) {
            fds_[0] = fds_[1] = -1;
        }
    }
    ~EndedPipe() override {
        for (const int fd : fds_) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }
    EndedPipe(const EndedPipe&) = delete;
    EndedPipe& operator=(const EndedPipe&) = delete;

    void PostRunEnded(joy::RunOutcome outcome) override {
        outcome_.store(outcome);
        const char byte = 1;
        while (::write(fds_[1], &byte, 1) < 0 && errno == EINTR) {
        }
    }
    int Fd() const { return fds_[0]; }
    joy::RunOutcome Outcome() const { return outcome_.load(); }

  private:
    int fds_[2] = {-1, -1};
    std::atomic<joy::RunOutcome> outcome_{joy::RunOutcome::kStopped};
};

RunRequest ParseRunArgs(CommandArgs args) {
    const cli::ParsedArgs parsed(args, {{"--settings", true},
                                        {"--port", true},
                                        {"--extension", false},
                                        {"--no-extension", false},
                                        {"--replay", true},
                                        {"--record", true}});
    parsed.Positional({});
    RunRequest request;
    request.settingsPath = joy::kSettingsFileName;
    if (const auto settings = parsed.Value("--settings")) {
        if (settings->empty()) {
            throw CliFailure("--settings: leerer Dateiname");
        }
        request.settingsPath = *settings;
    }
    if (const auto port = parsed.Value("--port")) {
        std::int32_t number = 0;
        std::uint8_t lpt = 0;
        if (!joy::ParsePortName(*port, number, lpt)) {
            throw CliFailure("--port: unbekannter Anschluss \"" + *port +
                             "\" (COM1 bis COM4, LPT1 bis LPT3, LPT)");
        }
        request.port = *port;
    }
    if (parsed.Has("--extension") && parsed.Has("--no-extension")) {
        throw CliFailure("--extension und --no-extension schließen einander aus");
    }
    if (parsed.Has("--extension")) {
        request.extension = true;
    } else if (parsed.Has("--no-extension")) {
        request.extension = false;
    }
    request.replayPath = parsed.Value("--replay");
    request.recordPath = parsed.Value("--record");
    if ((request.replayPath && request.replayPath->empty()) ||
        (request.recordPath && request.recordPath->empty())) {
        throw CliFailure("--replay und --record brauchen einen Dateinamen");
    }
    return request;
}

// Waits for the end of the run; a termination signal stops it first.
joy::RunOutcome WaitForEnd(joy::JoyController& controller, EndedPipe& ended,
                           platform::TerminationSignals& signals) {
    for (;;) {
        std::array<pollfd, 2> fds{{{ended.Fd(), POLLIN, 0}, {signals.Fd(), POLLIN, 0}}};
        const int ready = ::poll(fds.data(), signals.Fd() >= 0 ? 2 : 1, -1);
        if (ready < 0 && errno != EINTR) {
            controller.Stop();
        }
        if (fds[1].revents != 0 && signals.Take() != 0) {
            controller.Stop();
        }
        if (fds[0].revents != 0) {
            return ended.Outcome();
        }
    }
}

int RunCommand(const RunRequest& request, const Context& context) {
    joy::Replay replay;
    if (request.replayPath) {
        const joy::ReplayParseResult parsed = joy::LoadReplay(*request.replayPath, replay);
        if (!parsed.ok) {
            throw CliFailure(joy::ReplayErrorLine(*request.replayPath, parsed));
        }
    }

    platform::JoystickSystem system;
    if (!system.Ok()) {
        Line(context.err, std::string(kNoJoystickLine) + " (" + system.Error() + ")");
        return kExitFailure;
    }
    std::optional<joy::ReplaySource> replaySource;
    std::optional<joy::DeviceSource> deviceSource;
    joy::JoystickSource* source = nullptr;
    platform::JoystickCaps caps;
    if (request.replayPath) {
        replaySource.emplace(replay);
        if (!replaySource->Opened()) {
            Line(context.err, "Virtueller Joystick kann nicht angelegt werden.");
            return kExitFailure;
        }
        caps = replaySource->Caps();
        source = &*replaySource;
    } else {
        if (platform::JoystickCount() == 0) {
            Line(context.err, kNoJoystickLine);
            return kExitFailure;
        }
        deviceSource.emplace(0);
        platform::JoystickPosition check;
        if (!deviceSource->Opened() || deviceSource->Read(check) != joy::ReadResult::kOk) {
            Line(context.err, kNoJoystickLine);
            return kExitFailure;
        }
        caps = deviceSource->Caps();
        source = &*deviceSource;
    }

    // The settings as the program reads them at start; this tool never
    // writes them.
    joy::JoySettings settings;
    settings.portNumber = 1;  // the connect dialog's first port, COM1
    const joy::HeaderResult header = joy::ReadSettingsHeader(request.settingsPath, caps, settings);
    if (header.ShowForeignWarning()) {
        Line(context.err, joy::kForeignFileText);
        return kExitBadInput;
    }
    if (header.otherJoystick) {
        Line(context.err, std::string(joy::kOtherJoystickCaption) + joy::OtherJoystickText(caps));
    }
    if (request.port) {
        joy::ParsePortName(*request.port, settings.portNumber, settings.lptPort);
    }
    if (request.extension) {
        joy::SetExtensionModule(settings, *request.extension);
    }
    joy::ResetSettings(settings);
    joy::LoadSettings(request.settingsPath, settings);

    std::optional<joy::RecordingSource> recorder;
    if (request.recordPath) {
        recorder.emplace(*source, caps);
        if (!recorder->Open(*request.recordPath)) {
            throw CliFailure(*request.recordPath + ": Datei kann nicht angelegt werden");
        }
        source = &*recorder;
    }

    joy::DriverLink link;
    if (!joy::ConnectInterface(link, settings, nullptr)) {
        Line(context.err, "Keine Verbindung zum Interface!");
        return kExitFailure;
    }
    if (context.signals.Take() != 0) {
        link.Close();
        return kExitOk;
    }

    EndedPipe ended;
    joy::RunOutcome outcome;
    {
        joy::JoyController controller(link, *source, ended);
        joy::PublishAll(controller.Live(), settings);
        Line(context.err, joy::kStatusRun);
        controller.Start();
        outcome = WaitForEnd(controller, ended, context.signals);
        controller.OnRunEnded();
        controller.StopAndWait();
    }
    link.Close();
    const bool recorded = !recorder || recorder->Finish();
    if (outcome == joy::RunOutcome::kJoystickLost) {
        Line(context.err, joy::kJoystickLostText);
        return kExitBadInput;
    }
    if (outcome == joy::RunOutcome::kLinkLost) {
        Line(context.err, joy::kLinkLostText);
        return kExitFailure;
    }
    Line(context.err, joy::kStatusReady);
    if (!recorded) {
        Line(context.err, *request.recordPath + ": Aufnahme unvollständig geschrieben");
        return kExitFailure;
    }
    return kExitOk;
}

JoysticksRequest ParseJoysticksArgs(CommandArgs args) {
    cli::ParsedArgs(args, {}).Positional({});
    return {};
}

int RunCommand(const JoysticksRequest& /*request*/, const Context& context) {
    platform::JoystickSystem system;
    const std::vector<platform::JoystickCaps> list =
        system.Ok() ? platform::ListJoysticks() : std::vector<platform::JoystickCaps>{};
    if (list.empty()) {
        Line(context.out, kNoJoystickLine);
        return kExitOk;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        const platform::JoystickCaps& caps = list[i];
        joy::JoySettings settings;
        joy::TakeJoystickCaps(settings, caps);
        const joy::ListContents lists = joy::MakeListContents(settings);
        std::string axes;
        for (const std::string& axis : lists.throttle) {
            axes += (axes.empty() ? "" : " ") + axis;
        }
        std::fprintf(context.out, "%zu: \"%s\" Achsen: %u (%s) Buttons: %u POV: %s\n", i,
                     caps.name.c_str(), caps.axes, axes.c_str(), caps.buttons,
                     caps.hasHat ? "ja" : "nein");
    }
    return kExitOk;
}

std::string Entry(const std::vector<std::string>& list, int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= list.size()) {
        return "(kein Eintrag " + std::to_string(index) + ")";
    }
    return list[index];
}

std::string Trimmed(std::string text) {
    text.erase(0, text.find_first_not_of(' '));
    return text;
}

std::string DescribeMapping(const joy::MotorMapping& m, const joy::ListContents& lists) {
    std::string text = "Richtung ";
    if (m.dirFromAxis != 0) {
        text += "Achse " + Entry(lists.axes, m.axisIndex);
    } else if (m.dirFromButtons != 0) {
        text += "Buttons L " + Trimmed(Entry(lists.buttons, m.buttonLeftIndex)) + " / R " +
                Trimmed(Entry(lists.buttons, m.buttonRightIndex));
    } else if (m.dirFixed != 0) {
        text += "Fest " + Entry(lists.directions, m.fixedDirIndex);
    } else {
        text += "unverändert";
    }
    text += ", Geschwindigkeit ";
    if (m.speedFromAxis != 0) {
        text += "Achse " + Entry(lists.axes, m.axisIndex);
    } else if (m.speedFromThrottle != 0) {
        text += "Schubregler " + Entry(lists.throttle, m.throttleIndex);
    } else if (m.speedFixed != 0) {
        text += "Fest " + std::to_string(m.fixedSpeed) + "%";
    } else {
        text += "unverändert";
    }
    text += ", Endtaster ";
    text += m.endSwitchesOn != 0 ? "an" : "aus";
    text += " (L " + Entry(lists.inputs, m.endSwitchLeftIndex) + ", R " +
            Entry(lists.inputs, m.endSwitchRightIndex) + ")";
    return text;
}

ShowRequest ParseShowArgs(CommandArgs args) {
    ShowRequest request{joy::kSettingsFileName};
    if (!args.empty()) {
        request.path = cli::ParsedArgs(args, {}).Positional({"DATEI"})[0];
    }
    return request;
}

int RunCommand(const ShowRequest& request, const Context& context) {
    const std::string& path = request.path;
    std::vector<std::uint8_t> bytes;
    if (!joy::ReadSettingsBytes(path, bytes)) {
        throw CliFailure(path + ": Datei kann nicht geöffnet werden");
    }
    // Shown against the joystick the file was saved for.
    platform::JoystickCaps stored;
    if (bytes.size() >= 11) {
        stored.buttons = bytes[5];
        stored.axes = bytes[6];
        stored.mask = static_cast<std::uint32_t>(bytes[7]) | (bytes[8] << 8) | (bytes[9] << 16) |
                      (static_cast<std::uint32_t>(bytes[10]) << 24);
    }
    joy::JoySettings settings;
    const joy::HeaderResult header = joy::ParseSettingsHeader(bytes, stored, settings);
    if (header.status == joy::HeaderStatus::kDeleted) {
        throw CliFailure(path + ": zurückgesetzt (\"DELETED\"), keine Einstellungen");
    }
    if (header.status != joy::HeaderStatus::kUsable) {
        throw CliFailure(path + ": " + joy::kForeignFileText);
    }
    const std::uint8_t moduleShown = bytes[11];
    joy::ResetSettings(settings);
    joy::ParseSettingsBody(bytes, settings);
    const joy::ListContents lists = joy::MakeListContents(settings);
    std::FILE* out = context.out;
    std::fprintf(out, "Datei: %s\n", path.c_str());
    std::fprintf(out, "Joystick: Achsen %u, Buttons %u, Fähigkeiten 0x%02X\n", stored.axes,
                 stored.buttons, static_cast<unsigned>(settings.joystickCaps));
    std::fprintf(out, "Interface: %s, %s (%u Motoren), gezeigt: %s\n",
                 joy::PortName(settings.portNumber, settings.lptPort).c_str(),
                 settings.extensionModule != 0 ? "mit Extensionmodul" : "ohne Extensionmodul",
                 static_cast<unsigned>(settings.motorCount),
                 moduleShown == 1 ? joy::kExtensionModuleText : joy::kMainModuleText);
    std::fprintf(out, "Aus-Taster: %s, %s\n", settings.offSwitchOn != 0 ? "an" : "aus",
                 Entry(lists.offSwitch, settings.offSwitchInput).c_str());
    std::fprintf(out, "Aus-Button: %s, %s\n", settings.offButtonOn != 0 ? "an" : "aus",
                 Trimmed(Entry(lists.buttons, settings.offButtonIndex)).c_str());
    for (int module = 0; module < 2; ++module) {
        for (int m = 0; m < joy::kPanelCount; ++m) {
            const int slot = joy::SlotOf(module, m);
            std::fprintf(out, "M%d: %s%s\n", module * 4 + m + 1,
                         DescribeMapping(settings.mappings[slot], lists).c_str(),
                         module == 1 && settings.motorCount == 4 ? " (nicht benutzt)" : "");
        }
    }
    return kExitOk;
}

struct Command {
    std::string_view name;
    std::string_view summary;
    std::string_view help;
    JoyCliRequest (*parse)(CommandArgs args);
};

template <auto Parse>
JoyCliRequest ParseAs(CommandArgs args) {
    return Parse(args);
}

constexpr std::array kCommands = {
    Command{"run", "steuert die Motoren mit dem Joystick oder einer Aufnahme",
            "Aufruf: kinemo-joy-cli run [--settings DATEI] [--port NAME]\n"
            "                           [--extension | --no-extension]\n"
            "                           [--replay DATEI] [--record DATEI]\n"
            "Liest die Einstellungen wie KinemoJoy (Vorgabe: settings.kmj im\n"
            "Arbeitsverzeichnis; fehlt sie, gelten die Voreinstellungen), nimmt\n"
            "Anschluss und Extensionmodul aus der Datei, wenn nicht angegeben\n"
            "(NAME: COM1 bis COM4, LPT1 bis LPT3, LPT), verbindet sich mit dem\n"
            "Interface und steuert, bis der Aus-Button, der Aus-Taster, das Ende\n"
            "der Aufnahme, SIGINT, SIGTERM oder SIGHUP den Lauf beendet; dann\n"
            "sind alle Motoren aus. Ohne --replay liest es Joystick 0; --replay\n"
            "spielt eine Aufnahme über einen virtuellen Joystick ab, --record\n"
            "schreibt jede Joystick-Lesung des Laufs in eine Aufnahme.\n"
            "Die Einstellungsdatei wird nie geschrieben.\n"
            "Exit-Code: 0 erledigt; 1 kein Joystick oder keine Verbindung zum\n"
            "Interface; 2 ungültige Argumente, Einstellungsdatei einer anderen\n"
            "Version oder beschädigt, ungültige Aufnahme, Joystick verloren.\n",
            ParseAs<ParseRunArgs>},
    Command{"joysticks", "zeigt die Joysticks, wie KinemoJoy sie sieht",
            "Aufruf: kinemo-joy-cli joysticks\n"
            "Zeigt jeden Joystick mit Nummer, Name, Achsen, Buttons und POV.\n"
            "Joystick 0 ist der, den KinemoJoy benutzt.\n",
            ParseAs<ParseJoysticksArgs>},
    Command{"show", "zeigt die Zuordnungen einer Einstellungsdatei",
            "Aufruf: kinemo-joy-cli show [DATEI]\n"
            "Zeigt Joystick, Interface, Aus-Taster, Aus-Button und für jeden\n"
            "Motor Richtung, Geschwindigkeit und Endtaster, mit den Listen des\n"
            "Joysticks, für den die Datei gespeichert wurde (Vorgabe: settings.kmj).\n",
            ParseAs<ParseShowArgs>},
};

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "Aufruf: kinemo-joy-cli BEFEHL [ARGUMENTE]\n"
                 "KinemoJoy ohne Fenster: Motoren mit dem Joystick steuern.\n\nBefehle:\n");
    cli::PrintCommandList(out, std::span<const Command>(kCommands), 10);
    std::fprintf(out,
                 "\nkinemo-joy-cli BEFEHL --help zeigt die Hilfe eines Befehls.\n"
                 "Exit-Code: 0 erledigt, 1 kein Joystick oder Interface, 2 ungültige Eingabe.\n");
}

}  // namespace

JoyCliRequest ParseJoyCli(std::span<const std::string> args) {
    return cli::ParseCommandLine<JoyCliRequest>("kinemo-joy-cli", args,
                                                std::span<const Command>(kCommands));
}

std::vector<std::string> ToArgs(const JoyCliRequest& request) {
    return std::visit(
        cli::Overloaded{
            [](const cli::Refusal&) { return std::vector<std::string>{}; },
            [](const cli::HelpRequest& r) { return cli::HelpArgs(r); },
            [](const RunRequest& r) {
                return cli::ArgsBuilder("run")
                    .Option("--settings", r.settingsPath)
                    .Option("--port", r.port)
                    .Flag("--extension", r.extension == true)
                    .Flag("--no-extension", r.extension == false)
                    .Option("--replay", r.replayPath)
                    .Option("--record", r.recordPath)
                    .Done();
            },
            [](const JoysticksRequest&) { return cli::ArgsBuilder("joysticks").Done(); },
            [](const ShowRequest& r) { return cli::ArgsBuilder("show").Positional(r.path).Done(); },
        },
        request);
}

int RunJoyCli(std::span<const std::string> args, std::FILE* out, std::FILE* err,
              platform::TerminationSignals& signals) {
    const cli::CliTool tool{"kinemo-joy-cli", out, err, PrintUsage};
    const Context context{out, err, signals};
    return cli::RunParsed(tool, ParseJoyCli(args), std::span<const Command>(kCommands),
                          [&](const auto& request) { return RunCommand(request, context); });
}

}  // namespace kinemo::joycli
