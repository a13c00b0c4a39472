// kinemo-cli pulse SPEED [--ticks N]: the on/off pattern of one motor at a
// speed in percent, from a fresh accumulator, and its pulse ratio.
#include <cstdio>
#include <string>

#include "pulse/pulse_generator.h"
#include "tools/cli_args.h"
#include "tools/cli_command.h"

namespace kinemo::cli {

PulseRequest ParsePulseArgs(CommandArgs args) {
    const ParsedArgs parsed(args, {{"--ticks", true}});
    const std::string speedText = parsed.Positional({"GESCHWINDIGKEIT"})[0];
    PulseRequest request;
    request.speed = ParseDecimal(speedText, 0.0, 100.0, "Geschwindigkeit");
    request.ticks = parsed.Has("--ticks")
                        ? ParseInteger(*parsed.Value("--ticks"), 1, kMaxPulseTicks, "Tickzahl")
                        : kDefaultPulseTicks;
    return request;
}

int RunCommand(const PulseRequest& request, std::FILE* out) {
    const double speed = request.speed;
    const std::int64_t ticks = request.ticks;

    const pulse::PulseRatio ratio = pulse::ComputePulseRatio(speed);
    // One motor, M1 running left: pattern 1, so the word is 1 exactly when it is on.
    const std::uint32_t pattern = pulse::MotorPattern(pulse::kMotorLeft, 0);
    pulse::PulseAccumulator accumulator = 0.0;
    std::string bits(static_cast<std::size_t>(ticks), '0');
    std::int64_t onTicks = 0;
    for (char& bit : bits) {
        if (pulse::PulseStep(&ratio, &accumulator, &pattern, 1) != 0) {
            bit = '1';
            ++onTicks;
        }
    }
    std::fprintf(out, "Geschwindigkeit: %3.2f %%\n", speed);
    std::fprintf(out, "PulseRatio: %.5f (%.17g)\n", ratio, ratio);
    std::fprintf(out, "Ticks: %lld, davon an: %lld\n", static_cast<long long>(ticks),
                 static_cast<long long>(onTicks));
    std::fprintf(out, "%s\n", bits.c_str());
    return kExitOk;
}

}  // namespace kinemo::cli
