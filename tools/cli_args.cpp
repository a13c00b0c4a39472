#include "tools/cli_args.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <system_error>

namespace kinemo::cli {
namespace {

const OptionSpec* FindOption(std::initializer_list<OptionSpec> options, std::string_view name) {
    for (const OptionSpec& spec : options) {
        if (spec.name == name) {
            return &spec;
        }
    }
    return nullptr;
}

// A refusal is one line on stderr: control characters in the argument are
// shown as \xNN instead of breaking the line or the terminal.
std::string Quoted(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            quoted += escaped;
        } else {
            quoted += c;
        }
    }
    return quoted + "\"";
}

}  // namespace

ParsedArgs::ParsedArgs(CommandArgs args, std::initializer_list<OptionSpec> options) {
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // "-5" is a (negative) number, not an option; its range check speaks.
        const bool number =
            arg.size() >= 2 && arg[0] == '-' &&
            (std::isdigit(static_cast<unsigned char>(arg[1])) != 0 || arg[1] == '.');
        if (optionsEnded || arg.size() < 2 || arg[0] != '-' || number) {
            positional_.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        const OptionSpec* spec = FindOption(options, name);
        if (spec == nullptr) {
            throw CliFailure("Unbekannte Option " + Quoted(name));
        }
        if (options_.count(name) != 0) {
            throw CliFailure("Option " + name + " ist doppelt angegeben");
        }
        if (!spec->takesValue) {
            if (equals != std::string::npos) {
                throw CliFailure("Option " + name + " nimmt keinen Wert");
            }
            options_[name] = "";
        } else if (equals != std::string::npos) {
            options_[name] = arg.substr(equals + 1);
        } else if (i + 1 < args.size()) {
            options_[name] = args[++i];
        } else {
            throw CliFailure("Option " + name + " braucht einen Wert");
        }
    }
}

const std::vector<std::string>& ParsedArgs::Positional(
    std::initializer_list<std::string_view> names) const {
    if (positional_.size() < names.size()) {
        throw CliFailure("Argument " + std::string(names.begin()[positional_.size()]) + " fehlt");
    }
    if (positional_.size() > names.size()) {
        throw CliFailure("Überzähliges Argument " + Quoted(positional_[names.size()]));
    }
    return positional_;
}

std::optional<std::string> ParsedArgs::Value(std::string_view option) const {
    const auto found = options_.find(std::string(option));
    if (found == options_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::int64_t ParseInteger(const std::string& text, std::int64_t min, std::int64_t max,
                          std::string_view what) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error == std::errc::invalid_argument || stop != end) {
        throw CliFailure(std::string(what) + " ist keine ganze Zahl: " + Quoted(text));
    }
    if (error == std::errc::result_out_of_range || value < min || value > max) {
        throw CliFailure(std::string(what) + " muss zwischen " + std::to_string(min) + " und " +
                         std::to_string(max) + " liegen: " + Quoted(text));
    }
    return value;
}

double ParseDecimal(const std::string& text, double min, double max, std::string_view what) {
    double value = 0;
    const char* end = text.data() + text.size();
    // Plain fixed notation only: no exponent, no "+" sign, independent of the
    // locale. "inf" and "nan" are refused by the range check.
    const auto [stop, error] = std::from_chars(text.data(), end, value, std::chars_format::fixed);
    if (text.empty() || error == std::errc::invalid_argument || stop != end) {
        throw CliFailure(std::string(what) + " ist keine Zahl: " + Quoted(text));
    }
    if (error == std::errc::result_out_of_range || !std::isfinite(value) || value < min ||
        value > max) {
        throw CliFailure(std::string(what) + " muss zwischen " +
                         std::to_string(static_cast<int>(min)) + " und " +
                         std::to_string(static_cast<int>(max)) + " liegen: " + Quoted(text));
    }
    return value + 0.0;  // "-0" is the speed 0, not "-0.00 %"
}

std::string DecimalText(double value) {
    char text[400];  // the longest fixed form of a double has 309 digits before the point
    const auto [end, error] =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed);
    return error == std::errc() ? std::string(text, end) : std::string();
}

ArgsBuilder& ArgsBuilder::Option(std::string_view name, const std::string& value) {
    options_.push_back(std::string(name) + "=" + value);
    return *this;
}

ArgsBuilder& ArgsBuilder::Option(std::string_view name, const std::optional<std::string>& value) {
    return value ? Option(name, *value) : *this;
}

ArgsBuilder& ArgsBuilder::Flag(std::string_view name, bool present) {
    if (present) {
        options_.emplace_back(name);
    }
    return *this;
}

ArgsBuilder& ArgsBuilder::Positional(const std::string& value) {
    positional_.push_back(value);
    return *this;
}

std::vector<std::string> ArgsBuilder::Done() const {
    std::vector<std::string> args = options_;
    if (!positional_.empty()) {
        args.emplace_back("--");
        args.insert(args.end(), positional_.begin(), positional_.end());
    }
    return args;
}

}  // namespace kinemo::cli
