#include "tools/cli_frame.h"

#include <exception>

namespace kinemo::cli {
namespace {

bool IsHelp(std::string_view arg) {
    return arg == "--help" || arg == "-h";
}

std::string SeeHelp(const CliTool& tool) {
    return " (" + std::string(tool.name) + " --help zeigt die Befehle)";
}

}  // namespace

int FailLine(const CliTool& tool, const std::string& message, int code) {
    std::fprintf(tool.err, "%.*s: %s\n", static_cast<int>(tool.name.size()), tool.name.data(),
                 message.c_str());
    std::fflush(tool.err);
    return code;
}

int RunCommandLine(const CliTool& tool, std::span<const std::string> args,
                   const std::string_view* help, const std::function<int(CommandArgs)>& run) {
    if (args.empty()) {
        return FailLine(tool, "Befehl fehlt" + SeeHelp(tool), kExitBadInput);
    }
    if (IsHelp(args[0]) || args[0] == "help") {
        tool.printUsage(tool.out);
        return kExitOk;
    }
    if (help == nullptr) {
        return FailLine(tool, "Unbekannter Befehl \"" + args[0] + "\"" + SeeHelp(tool),
                        kExitBadInput);
    }
    const CommandArgs rest = args.subspan(1);
    for (const std::string& arg : rest) {
        if (arg == "--") {
            break;
        }
        if (IsHelp(arg)) {
            std::fprintf(tool.out, "%.*s", static_cast<int>(help->size()), help->data());
            return kExitOk;
        }
    }
    int code = kExitOk;
    try {
        code = run(rest);
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

}  // namespace kinemo::cli
