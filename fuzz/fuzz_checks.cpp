#include "fuzz/fuzz_checks.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "fuzz/cli_checks.h"
#include "joystick/joystick_source.h"
#include "joystick/settings_file.h"
#include "keyboard/settings_file.h"
#include "sequencer/engine/program_file.h"
#include "simulator/frame_parser.h"

namespace kinemo::fuzz {

std::string CheckProgramFile(Bytes bytes) {
    engine::ProgramContents first;
    if (engine::ParseProgram(bytes, first) != engine::ProgramFileStatus::kOk) {
        return {};
    }
    if (first.records.empty() ||
        first.records.size() > static_cast<std::size_t>(engine::kMaxMovements)) {
        return "accepted program holds " + std::to_string(first.records.size()) + " records";
    }
    const auto written = engine::SerializeProgram(first.settings, first.records);
    engine::ProgramContents second;
    if (engine::ParseProgram(written, second) != engine::ProgramFileStatus::kOk) {
        return "program written back is refused";
    }
    if (!(second.settings == first.settings) || second.records != first.records) {
        return "program written back loads other settings or records";
    }
    if (second.partialRecordIgnored || second.recordsBeyondLimit != 0) {
        return "program written back has a partial or surplus record";
    }
    if (engine::SerializeProgram(second.settings, second.records) != written) {
        return "program written twice gives other bytes";
    }
    return {};
}

std::string CheckJoySettingsFile(Bytes bytes) {
    const platform::JoystickCaps caps{"Pad", 4, 12, true, platform::JoystickCapsMask(4, true)};
    auto load = [&](Bytes in, joy::JoySettings& settings) {
        const auto header = joy::ParseSettingsHeader(in, caps, settings);
        if (header.status != joy::HeaderStatus::kUsable) {
            return false;
        }
        return joy::ParseSettingsBody(in, settings) == joy::LoadStatus::kLoaded;
    };
    joy::JoySettings first;
    if (!load(bytes, first)) {
        return {};
    }
    const auto written = joy::EncodeSettings(first);
    joy::JoySettings second;
    if (!load(written, second)) {
        return "settings written back are not usable";
    }
    if (second.mappings != first.mappings || second.portNumber != first.portNumber ||
        second.extensionModule != first.extensionModule ||
        second.offSwitchOn != first.offSwitchOn || second.offButtonOn != first.offButtonOn ||
        second.offSwitchInput != first.offSwitchInput ||
        second.offButtonIndex != first.offButtonIndex) {
        return "settings written back load other values";
    }
    if (joy::EncodeSettings(second) != written) {
        return "settings written twice give other bytes";
    }
    return {};
}

std::string CheckKeyboardSettingsFile(Bytes bytes) {
    keyboard::KeyboardSettings first;
    if (!keyboard::DecodeSettings(bytes, first)) {
        return {};
    }
    const auto written = keyboard::EncodeSettings(first);
    if (written.size() > bytes.size()) {
        return "settings written back are longer than the accepted file";
    }
    if (!std::equal(written.begin(), written.end(), bytes.begin())) {
        return "settings written back differ from the accepted layout";
    }
    keyboard::KeyboardSettings second;
    if (!keyboard::DecodeSettings(written, second)) {
        return "settings written back are refused";
    }
    if (!(second == first)) {
        return "settings written back load other values";
    }
    return {};
}

namespace {

bool SameRead(const joy::ReplayRead& a, const joy::ReplayRead& b) {
    for (std::size_t i = 0; i < platform::kJoystickMaxAxes; ++i) {
        if (a.axes[i] != b.axes[i]) {
            return false;
        }
    }
    return a.pov == b.pov && a.buttons == b.buttons;
}

}  // namespace

std::string CheckReplayFile(Bytes bytes) {
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    joy::Replay first;
    if (!joy::ParseReplay(text, first).ok) {
        return {};
    }
    platform::JoystickCaps caps;
    caps.name = first.header.name;
    caps.axes = static_cast<unsigned>(first.header.axes);
    caps.buttons = static_cast<unsigned>(first.header.buttons);
    caps.hasHat = first.header.hat != 0;
    caps.mask = platform::JoystickCapsMask(caps.axes, caps.hasHat);
    std::string written = joy::ReplayHeaderLine(caps);
    char line[joy::kReplayLineMax];
    for (const auto& read : first.reads) {
        written.append(line, joy::FormatReplayLine(joy::PositionOf(read), line));
    }
    joy::Replay second;
    const auto result = joy::ParseReplay(written, second);
    if (!result.ok) {
        return "replay written back is refused at line " + std::to_string(result.line) + ": " +
               result.message;
    }
    // The recorder writes a carriage return inside a name as a space (a
    // lone one is legal in a name read, as lines end at line feeds only).
    std::string name = first.header.name;
    std::replace(name.begin(), name.end(), '\r', ' ');
    if (second.header.name != name || second.header.axes != first.header.axes ||
        second.header.buttons != first.header.buttons || second.header.hat != first.header.hat) {
        return "replay written back has another header";
    }
    if (second.reads.size() != first.reads.size()) {
        return "replay written back has another number of reads";
    }
    for (std::size_t i = 0; i < first.reads.size(); ++i) {
        if (!SameRead(first.reads[i], second.reads[i])) {
            return "replay written back differs in read " + std::to_string(i + 1);
        }
    }
    return {};
}

std::string CheckFrameStream(Bytes bytes) {
    simulator::FrameParser parser;
    std::int64_t now = 0;
    std::uint64_t fed = 0;
    std::uint64_t inFrames = 0;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        // Steps of up to 255 * 1000 us, so some pass the frame gap.
        now += static_cast<std::int64_t>(bytes[i]) * 1000;
        simulator::Frame frame;
        ++fed;
        if (parser.Feed(bytes[i + 1], now, &frame)) {
            if (frame.command != simulator::kCommandBox &&
                frame.command != simulator::kCommandBoxAndModule) {
                return "frame without a command byte";
            }
            if (frame.command == simulator::kCommandBox && frame.outputs > 0xFF) {
                return "box-only frame with module outputs";
            }
            inFrames += static_cast<std::uint64_t>(frame.RequestBytes());
        }
        const std::uint64_t accounted = inFrames + parser.skippedBytes();
        if (accounted > fed || fed - accounted > 2) {
            return "bytes lost or counted twice after byte " + std::to_string(fed);
        }
    }
    return {};
}

Check CheckForExtension(const std::string& extension) {
    if (extension == ".kmo")
        return CheckProgramFile;
    if (extension == ".kmj")
        return CheckJoySettingsFile;
    if (extension == ".kms")
        return CheckKeyboardSettingsFile;
    if (extension == ".replay")
        return CheckReplayFile;
    if (extension == ".frames")
        return CheckFrameStream;
    if (extension == ".cliargs")
        return CheckKinemoCliArgs;
    if (extension == ".speechargs")
        return CheckSpeechCliArgs;
    if (extension == ".joyargs")
        return CheckJoyCliArgs;
    return nullptr;
}

}  // namespace kinemo::fuzz
