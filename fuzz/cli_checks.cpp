#include "fuzz/cli_checks.h"

#include <variant>

#include "sequencer/engine/movement_list.h"
#include "tools/cli_args.h"
#include "tools/cli_dispatch.h"
#include "tools/joy/joy_cli.h"
#include "tools/speech/speech_cli.h"

namespace kinemo::fuzz {
namespace {

std::string Joined(const std::vector<std::string>& args) {
    std::string text;
    for (const std::string& arg : args) {
        text += (text.empty() ? "[" : ", ") + std::string("\"") + arg + "\"";
    }
    return text.empty() ? "[]" : text + "]";
}

// What every parser must do, whatever the program. `valid` names a value out
// of its range in an accepted request, or gives an empty string.
template <typename Request, typename Parse, typename Write, typename Valid>
std::string CheckParser(Bytes bytes, Parse parse, Write write, Valid valid) {
    const std::vector<std::string> args = ArgsFromBytes(bytes);
    const Request first = parse(args);
    if (!(parse(args) == first)) {
        return "the same arguments parse to another request the second time: " + Joined(args);
    }
    if (const auto* refusal = std::get_if<cli::Refusal>(&first)) {
        if (refusal->message.empty()) {
            return "refusal without a message: " + Joined(args);
        }
        if (refusal->code != cli::kExitBadInput) {
            return "refusal with exit code " + std::to_string(refusal->code) + " (" +
                   refusal->message + "): " + Joined(args);
        }
        return {};
    }
    if (const std::string fault = std::visit(valid, first); !fault.empty()) {
        return "accepted " + fault + ": " + Joined(args);
    }
    const std::vector<std::string> canonical = write(first);
    if (canonical.empty()) {
        return "accepted request has no argument vector: " + Joined(args);
    }
    const Request second = parse(canonical);
    if (!(second == first)) {
        return "request written as " + Joined(canonical) +
               " parses to another request: " + Joined(args);
    }
    if (write(second) != canonical) {
        return "argument vector " + Joined(canonical) + " is not written back the same";
    }
    return {};
}

std::string Range(const char* what, std::int64_t value, std::int64_t min, std::int64_t max) {
    if (value >= min && value <= max) {
        return {};
    }
    return std::string(what) + " " + std::to_string(value) + " outside " + std::to_string(min) +
           ".." + std::to_string(max);
}

struct KinemoValid {
    std::string operator()(const cli::PulseRequest& r) const {
        if (!(r.speed >= 0.0 && r.speed <= 100.0)) {
            return "speed " + cli::DecimalText(r.speed);
        }
        return Range("ticks", r.ticks, 1, cli::kMaxPulseTicks);
    }
    std::string operator()(const cli::TimelineRequest& r) const {
        return r.out.empty() ? "timeline without --out" : "";
    }
    std::string operator()(const cli::RunRequest& r) const {
        if (r.port.empty()) {
            return "run without a port";
        }
        if (r.movement >= 0 && r.loop == 1) {
            return "a movement test in an endless loop";
        }
        return Range("movement", r.movement, -1, engine::kMaxMovements - 1) +
               Range("loop", r.loop, -1, 1);
    }
    std::string operator()(const cli::PlotRequest& r) const {
        if (r.out.empty()) {
            return "plot without --out";
        }
        return r.width ? Range("width", *r.width, 400, 20000) : "";
    }
    template <typename Other>
    std::string operator()(const Other&) const {
        return {};
    }
};

struct SpeechValid {
    std::string operator()(const speech::RunRequest& r) const {
        if (r.settingsPath.empty()) {
            return "run without a settings file";
        }
        if (r.listening && (r.wordListPath.empty() || r.microphone == !r.wavPath.empty())) {
            return "listening without a word list or with not exactly one sound source";
        }
        if (!r.listening && (r.microphone || !r.wavPath.empty() || !r.wordListPath.empty())) {
            return "a sound source without --voice";
        }
        return Range("port", r.portNumber, 1, 4);
    }
    template <typename Other>
    std::string operator()(const Other&) const {
        return {};
    }
};

struct JoyValid {
    std::string operator()(const joycli::RunRequest& r) const {
        if (r.settingsPath.empty() || (r.replayPath && r.replayPath->empty()) ||
            (r.recordPath && r.recordPath->empty())) {
            return "an empty file name";
        }
        return {};
    }
    template <typename Other>
    std::string operator()(const Other&) const {
        return {};
    }
};

}  // namespace

std::vector<std::string> ArgsFromBytes(Bytes bytes) {
    std::vector<std::string> pieces(1);
    for (const std::uint8_t byte : bytes) {
        if (byte == 0) {
            pieces.emplace_back();
        } else {
            pieces.back().push_back(static_cast<char>(byte));
        }
    }
    pieces.erase(pieces.begin());  // the program's name
    return pieces;
}

std::vector<std::uint8_t> BytesFromArgs(std::string_view program,
                                        const std::vector<std::string>& args) {
    std::vector<std::uint8_t> bytes(program.begin(), program.end());
    for (const std::string& arg : args) {
        bytes.push_back(0);
        bytes.insert(bytes.end(), arg.begin(), arg.end());
    }
    return bytes;
}

std::string CheckKinemoCliArgs(Bytes bytes) {
    return CheckParser<cli::CliRequest>(
        bytes, [](const std::vector<std::string>& args) { return cli::ParseCli(args); },
        [](const cli::CliRequest& r) { return cli::ToArgs(r); }, KinemoValid{});
}

std::string CheckSpeechCliArgs(Bytes bytes) {
    return CheckParser<speech::SpeechCliRequest>(
        bytes, [](const std::vector<std::string>& args) { return speech::ParseSpeechCli(args); },
        [](const speech::SpeechCliRequest& r) { return speech::ToArgs(r); }, SpeechValid{});
}

std::string CheckJoyCliArgs(Bytes bytes) {
    return CheckParser<joycli::JoyCliRequest>(
        bytes, [](const std::vector<std::string>& args) { return joycli::ParseJoyCli(args); },
        [](const joycli::JoyCliRequest& r) { return joycli::ToArgs(r); }, JoyValid{});
}

std::vector<CliSeed> CliSeeds() {
    const std::string k = ".cliargs";
    const std::string s = ".speechargs";
    const std::string j = ".joyargs";
    return {
        {k, {}},
        {k, {"--help"}},
        {k, {"nix"}},
        {k, {"pulse", "--help"}},
        {k, {"pulse", "25", "--ticks", "24"}},
        {k, {"pulse", "50", "--ticks=8"}},
        {k, {"pulse", "0.01", "--ticks", "10000"}},
        {k, {"pulse", "100", "--ticks", "1"}},
        {k, {"pulse", "33.33"}},
        {k, {"pulse", "100.01"}},
        {k, {"pulse", "-1"}},
        {k, {"pulse", "1e1"}},
        {k, {"pulse", "25", "--ticks", "99999999999999999999"}},
        {k, {"pulse", "25", "--ticks", "4", "--ticks", "5"}},
        {k, {"new", "list.kmo"}},
        {k, {"info", "list.kmo"}},
        {k, {"info", "list.kmo", "--all"}},
        {k, {"info", "--", "-x.kmo"}},
        {k, {"timeline", "list.kmo", "--out", "rows.bin"}},
        {k, {"timeline", "list.kmo", "--first", "1", "--last=2", "--out", "rows.bin"}},
        {k, {"timeline", "list.kmo", "--last", "-1", "--out", "rows.bin"}},
        {k, {"ports"}},
        {k, {"ports", "COM1"}},
        {k, {"run", "examples/ramp.kmo", "--port", "COM1"}},
        {k, {"run", "list.kmo", "--port=LPT", "--movement", "254", "--no-loop"}},
        {k, {"run", "list.kmo", "--port", "COM1", "--loop", "--movement", "0"}},
        {k, {"plot", "list.kmo", "--out", "list.svg"}},
        {k, {"plot", "list.kmo", "--out", "bild.PNG", "--movement", "2", "--width", "20000"}},
        {k, {"plot", "list.kmo", "--out", "bild.jpg"}},
        {s, {"--help"}},
        {s, {"run", "--help"}},
        {s, {"run", "--settings", "examples/speech/settings.kms", "--port", "COM1"}},
        {s, {"run", "--port", "COM4"}},
        {s, {"run", "--port", "COM5"}},
        {s, {"run", "--voice", "woerter.txt", "--audio", "gesagt.wav"}},
        {s, {"run", "--voice=woerter.txt", "--microphone", "--port", "COM2"}},
        {s, {"run", "--audio", "gesagt.wav"}},
        {s, {"keys", "examples/speech/settings.kms"}},
        {s, {"keys"}},
        {s, {"keys", "--"}},
        {j, {"--help"}},
        {j, {"run", "--replay", "examples/joy_sweep.replay", "--port", "COM1"}},
        {j, {"run", "--record", "wave.replay"}},
        {j, {"run", "--settings", "settings.kmj", "--port", "LPT1", "--extension"}},
        {j, {"run", "--port", "COM9"}},
        {j, {"run", "--extension", "--no-extension"}},
        {j, {"run", "--replay"}},
        {j, {"joysticks"}},
        {j, {"show"}},
        {j, {"show", "a", "b"}},
    };
}

std::vector<std::uint8_t> SeedBytes(const CliSeed& seed) {
    const std::string_view program = seed.extension == ".cliargs"      ? "kinemo-cli"
                                     : seed.extension == ".speechargs" ? "kinemo-speech-cli"
                                                                       : "kinemo-joy-cli";
    return BytesFromArgs(program, seed.args);
}

}  // namespace kinemo::fuzz
