#include "tools/cli_frame.h"

#include <exception>

namespace kinemo::cli {
namespace {

bool IsHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

}  // namespace

int FailLine(const CliTool& tool, const std::string& message, int code) {
    std::fprintf(tool.err, "%.*s: %s\n", static_cast<int>(tool.name.size()), tool.name.data(),
                 message.c_str());
    std::fflush(tool.err);
    return code;
}

FrameStep TakeFrame(std::string_view toolName, std::span<const std::string> args, bool known) {
    const std::string seeHelp = " (" + std::string(toolName) + " --help zeigt die Befehle)";
    FrameStep step;
    if (args.empty()) {
        step.refusal = {"Befehl fehlt" + seeHelp, kExitBadInput};
        return step;
    }
    if (IsHelp(args[0]) || args[0] == "help") {
        step.kind = FrameStep::Kind::kOverview;
        return step;
    }
    if (!known) {
        step.refusal = {"Unbekannter Befehl \"" + args[0] + "\"" + seeHelp, kExitBadInput};
        return step;
    }
    step.rest = args.subspan(1);
    step.kind = FrameStep::Kind::kCommand;
    for (const std::string& arg : step.rest) {
        if (arg == "--") {
            break;
        }
        if (IsHelp(arg)) {
            step.kind = FrameStep::Kind::kCommandHelp;
            break;
        }
    }
    return step;
}

std::vector<std::string> HelpArgs(const HelpRequest& help) {
    return help.command.empty() ? std::vector<std::string>{"--help"}
                                : std::vector<std::string>{help.command, "--help"};
}

int RunGuarded(const CliTool& tool, const std::function<int()>& work) {
    int code = kExitOk;
    try {
        code = work();
    } catch (const CliFailure& failure) {
        return FailLine(tool, failure.what(), kExitBadInput);
    } catch (const std::exception& failure) {
        return FailLine(tool, std::string("Interner Fehler: ") + failure.what(), kExitFailure);
    }
    if (std::fflush(tool.out) != 0 || std::ferror(tool.out) != 0) {
        return FailLine(tool, "Ausgabe kann nicht geschrieben werden", kExitFailure);
    }
    return code;
}

int RunCommandLine(const CliTool& tool, std::span<const std::string> args,
                   const std::string_view* help, const std::function<int(CommandArgs)>& run) {
    const FrameStep step = TakeFrame(tool.name, args, help != nullptr);
    switch (step.kind) {
        case FrameStep::Kind::kRefused:
            return FailLine(tool, step.refusal.message, step.refusal.code);
        case FrameStep::Kind::kOverview:
            tool.printUsage(tool.out);
            return kExitOk;
        case FrameStep::Kind::kCommandHelp:
            std::fprintf(tool.out, "%.*s", static_cast<int>(help->size()), help->data());
            return kExitOk;
        case FrameStep::Kind::kCommand:
            break;
    }
    return RunGuarded(tool, [&] { return run(step.rest); });
}

}  // namespace kinemo::cli
