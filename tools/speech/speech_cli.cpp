#include "tools/speech/speech_cli.h"

#include <array>
#include <string_view>

#include "tools/cli_args.h"
#include "tools/cli_command.h"
#include "tools/cli_frame.h"
#include "tools/speech/speech_commands.h"

namespace kinemo::speech {
namespace {

struct Command {
    std::string_view name;
    std::string_view summary;
    std::string_view help;
    SpeechCliRequest (*parse)(cli::CommandArgs args);
};

template <auto Parse>
SpeechCliRequest ParseAs(cli::CommandArgs args) {
    return Parse(args);
}

constexpr std::array kCommands = {
    Command{"run", "steuert das Interface mit Tasten von der Standardeingabe",
            "Aufruf: kinemo-speech-cli run [--settings DATEI] [--port COM1..COM4]\n"
            "           [--voice WORTLISTE [--audio DATEI.wav | --microphone]]\n"
            "Liest die Einstellungen (Vorgabe: settings.kms im Arbeitsverzeichnis;\n"
            "fehlt die Datei, gelten die Vorgaben), verbindet sich mit dem Interface\n"
            "(Vorgabe COM1) und startet einen Lauf mit den Starteinstellungen der Datei.\n"
            "Jedes Byte der Standardeingabe geht sofort, in seiner Reihenfolge, an die\n"
            "Tastentabelle. Der Lauf endet mit einer Taste \"Notaus\", dem Austaster,\n"
            "dem Ende der Eingabe oder SIGINT, SIGTERM und SIGHUP (wie NOT-AUS); danach\n"
            "sind alle Motoren aus. Die Datei wird nie geschrieben.\n"
            "Mit --voice hört das Programm außerdem die Wörter der Wortliste (aus einer\n"
            "WAV-Datei, 16 kHz mono, oder vom Mikrofon); das Zeichen jedes erkannten\n"
            "Wortes wirkt wie eine getippte Taste, das Wort steht als \"Gehört: WORT\"\n"
            "auf stderr. Das Ende der Standardeingabe beendet den Lauf dann nicht, das\n"
            "Ende der WAV-Datei schon.\n"
            "Auf stderr: Run, Abgebrochen, Ende. Exit-Code 0; ungültige Datei,\n"
            "Wortliste oder keine Verbindung 1; ungültige Argumente 2.\n",
            ParseAs<ParseRunArgs>},
    Command{"keys", "zeigt Starteinstellungen und Tastentabelle einer Einstellungsdatei",
            "Aufruf: kinemo-speech-cli keys [DATEI]\n"
            "Zeigt die Starteinstellungen der vier Motoren, den Austaster und jede\n"
            "Taste mit ihrer Aktion und je Motor, ob er einbezogen ist, und seinem\n"
            "Wert. Vorgabe: settings.kms im Arbeitsverzeichnis.\n",
            ParseAs<ParseKeysArgs>},
};

void PrintUsage(std::FILE* out) {
    std::fprintf(out,
                 "Aufruf: kinemo-speech-cli BEFEHL [ARGUMENTE]\n"
                 "KinemoSpeech ohne Fenster: Tasten von der Standardeingabe, z. B. aus\n"
                 "einer Spracherkennung, steuern die Motoren des Interfaces.\n\nBefehle:\n");
    cli::PrintCommandList(out, std::span<const Command>(kCommands), 6);
    std::fprintf(out,
                 "\nkinemo-speech-cli BEFEHL --help zeigt die Hilfe eines Befehls.\n"
                 "Beispiel: echo \"aab\" | kinemo-speech-cli run --port COM1\n");
}

}  // namespace

SpeechCliRequest ParseSpeechCli(std::span<const std::string> args) {
    return cli::ParseCommandLine<SpeechCliRequest>("kinemo-speech-cli", args,
                                                   std::span<const Command>(kCommands));
}

std::vector<std::string> ToArgs(const SpeechCliRequest& request) {
    return std::visit(
        cli::Overloaded{
            [](const cli::Refusal&) { return std::vector<std::string>{}; },
            [](const cli::HelpRequest& r) { return cli::HelpArgs(r); },
            [](const RunRequest& r) {
                cli::ArgsBuilder args("run");
                args.Option("--settings", r.settingsPath)
                    .Option("--port", "COM" + std::to_string(r.portNumber));
                if (r.listening) {
                    args.Option("--voice", r.wordListPath).Flag("--microphone", r.microphone);
                    if (!r.microphone) {
                        args.Option("--audio", r.wavPath);
                    }
                }
                return args.Done();
            },
            [](const KeysRequest& r) { return cli::ArgsBuilder("keys").Positional(r.path).Done(); },
        },
        request);
}

int RunSpeechCli(std::span<const std::string> args, const CliStreams& streams) {
    const cli::CliTool tool{"kinemo-speech-cli", streams.out, streams.err, PrintUsage};
    return cli::RunParsed(tool, ParseSpeechCli(args), std::span<const Command>(kCommands),
                          [&](const auto& request) { return RunCommand(request, streams); });
}

}  // namespace kinemo::speech
