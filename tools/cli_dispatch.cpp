#include "tools/cli_dispatch.h"

#include <array>
#include <string_view>

#include "tools/cli_args.h"
#include "tools/cli_command.h"
#include "tools/cli_frame.h"

namespace kinemo::cli {
namespace {

struct CliCommand {
    std::string_view name;
    std::string_view summary;  // one line for the global help
    std::string_view help;     // the command's own help text, ending in a newline
    CliRequest (*parse)(CommandArgs args);
};

template <auto Parse>
CliRequest ParseAs(CommandArgs args) {
    return Parse(args);
}

// One line per command; adding a command means adding its line here.
constexpr std::array kCommands = {
    CliCommand{"info", "zeigt die Einstellungen und Bewegungen einer Programmdatei",
               "Aufruf: kinemo-cli info DATEI.kmo\n"
               "Zeigt Endlosschleife, Aus-Taster und jede Bewegung mit Richtung,\n"
               "Geschwindigkeiten, Beschleunigung und Grenzen ihrer vier Motoren.\n",
               ParseAs<ParseInfoArgs>},
    CliCommand{"pulse", "zeigt das Pulsmuster eines Motors bei einer Geschwindigkeit",
               "Aufruf: kinemo-cli pulse GESCHWINDIGKEIT [--ticks N]\n"
               "GESCHWINDIGKEIT in Prozent, 0 bis 100, z. B. 25 oder 33.33.\n"
               "Zeigt die PulseRatio und das Muster ab Tick 0 (1 = an, 0 = aus)\n"
               "von einem frischen Akkumulator aus; --ticks 1 bis 10000000, Vorgabe 40.\n",
               ParseAs<ParsePulseArgs>},
    CliCommand{"timeline", "berechnet die Zeitleiste einer Programmdatei",
               "Aufruf: kinemo-cli timeline DATEI.kmo [--first A] [--last B] --out ZEILEN.bin\n"
               "Berechnet die Bewegungen A bis B (Vorgabe: die ganze Liste, von 0 an\n"
               "gezählt) in die Zeilen 0 bis B-A einer frischen Zeitleiste und schreibt\n"
               "diese Zeilen mit je 65536 Bytes nach ZEILEN.bin (leer, wenn B < A).\n"
               "Ausgabe: die Diagnosezeilen der Berechnung, dann je Zeile und Motor\n"
               "limits ZEILE MOTOR ENDTASTER IMPULSEINGANG MAXIMPULSE MAXDAUER\n",
               ParseAs<ParseTimelineArgs>},
    CliCommand{"new", "schreibt die Programmdatei einer neuen Liste",
               "Aufruf: kinemo-cli new DATEI.kmo\n"
               "Schreibt eine Programmdatei mit der einen Bewegung \"Neue Bewegung\"\n"
               "einer neuen Liste; eine vorhandene Datei wird ersetzt.\n",
               ParseAs<ParseNewArgs>},
    CliCommand{"ports", "zeigt die Anschlussnamen und ihre Geräte",
               "Aufruf: kinemo-cli ports\n"
               "Zeigt für COM1 bis COM4, LPT1 bis LPT3 und LPT das Gerät und ob es\n"
               "vorhanden ist: NAME GERÄT ZUSTAND, bei vorhandenen Geräten die Art\n"
               "(eingebaut, USB-Seriell, Pseudo-Terminal) und den Latenz-Timer eines\n"
               "USB-Seriell-Adapters. KINEMO_PORT_<NAME>=GERÄT ordnet\n"
               "einem Namen ein Gerät zu (leer: keines); sonst ist COMn /dev/ttyS(n-1).\n",
               ParseAs<ParsePortsArgs>},
    CliCommand{"run", "spielt eine Programmdatei auf dem Interface ab",
               "Aufruf: kinemo-cli run DATEI.kmo --port NAME [--movement I] [--loop | --no-loop]\n"
               "Verbindet sich mit dem Interface an NAME (COM1 bis COM4, LPT1 bis LPT3,\n"
               "LPT), berechnet die Liste wie \"LOS!\" und spielt sie ab; mit --movement\n"
               "nur die Bewegung I (von 0 an gezählt) einmal, wie \"Bewegung Testen\".\n"
               "--loop und --no-loop ersetzen die Endlosschleife der Datei.\n"
               "Ausgabe: die Diagnosezeilen; auf stderr die Zustände Berechnen...,\n"
               "Ausführen..., Abgebrochen und Fertig. SIGINT, SIGTERM und SIGHUP wirken\n"
               "wie NOT-AUS (Exit-Code 0); ohne Verbindung Exit-Code 1.\n",
               ParseAs<ParseRunArgs>},
    CliCommand{"plot", "zeichnet das Geschwindigkeitsprofil einer Programmdatei",
               "Aufruf: kinemo-cli plot DATEI.kmo --out BILD.svg|BILD.png [--movement I]\n"
               "                        [--width PIXEL]\n"
               "Berechnet die Liste wie \"LOS!\" (mit --movement nur die Bewegung I, von 0\n"
               "an gezählt) und zeichnet je Motor M1 bis M4 Richtung und Anteil der\n"
               "Ein-Ticks über Ticks und Sekunden bei 320 Ticks/s, mit Bewegungsgrenzen,\n"
               "Namen, Höchstdauern und Marken für Impuls- und Endtastergrenzen, wie das\n"
               "Fenster \"Vorschau\". --width 400 bis 20000, Vorgabe 1200.\n",
               ParseAs<ParsePlotArgs>},
};

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "Aufruf: kinemo-cli BEFEHL [ARGUMENTE]\n"
                 "Die Bewegungsmaschine von Kinemo auf der Kommandozeile.\n\nBefehle:\n");
    PrintCommandList(out, std::span<const CliCommand>(kCommands), 10);
    std::fprintf(out,
                 "\nkinemo-cli BEFEHL --help zeigt die Hilfe eines Befehls.\n"
                 "Exit-Code: 0 erledigt, 2 ungültige Eingabe, 1 sonstiger Fehler.\n");
}

}  // namespace

CliRequest ParseCli(std::span<const std::string> args) {
    return ParseCommandLine<CliRequest>("kinemo-cli", args, std::span<const CliCommand>(kCommands));
}

std::vector<std::string> ToArgs(const CliRequest& request) {
    return std::visit(
        Overloaded{
            [](const Refusal&) { return std::vector<std::string>{}; },
            [](const HelpRequest& r) { return HelpArgs(r); },
            [](const InfoRequest& r) { return ArgsBuilder("info").Positional(r.path).Done(); },
            [](const PulseRequest& r) {
                return ArgsBuilder("pulse")
                    .Option("--ticks", std::to_string(r.ticks))
                    .Positional(DecimalText(r.speed))
                    .Done();
            },
            [](const TimelineRequest& r) {
                return ArgsBuilder("timeline")
                    .Option("--first", r.first)
                    .Option("--last", r.last)
                    .Option("--out", r.out)
                    .Positional(r.path)
                    .Done();
            },
            [](const NewRequest& r) { return ArgsBuilder("new").Positional(r.path).Done(); },
            [](const PortsRequest&) { return ArgsBuilder("ports").Done(); },
            [](const RunRequest& r) {
                ArgsBuilder args("run");
                args.Option("--port", r.port)
                    .Flag("--loop", r.loop == 1)
                    .Flag("--no-loop", r.loop == 0);
                if (r.movement >= 0) {
                    args.Option("--movement", std::to_string(r.movement));
                }
                return args.Positional(r.path).Done();
            },
            [](const PlotRequest& r) {
                ArgsBuilder args("plot");
                args.Option("--out", r.out).Option("--movement", r.movement);
                if (r.width) {
                    args.Option("--width", std::to_string(*r.width));
                }
                return args.Positional(r.path).Done();
            },
        },
        request);
}

int RunCli(std::span<const std::string> args, std::FILE* out, std::FILE* err) {
    const CliTool tool{"kinemo-cli", out, err, PrintUsage};
    return RunParsed(tool, ParseCli(args), std::span<const CliCommand>(kCommands),
                     [out](const auto& request) { return RunCommand(request, out); });
}

}  // namespace kinemo::cli
