// Argument parsing shared by the kinemo-cli commands. Every failure throws
// CliFailure with a one-line message.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli_command.h"

namespace kinemo::cli {

struct OptionSpec {
    std::string_view name;  // with its dashes, e.g. "--ticks"
    bool takesValue = true;
};

// Positional arguments and options of one command line. An option with a value
// is written "--name VALUE" or "--name=VALUE"; "--" ends the options.
class ParsedArgs {
  public:
    ParsedArgs(CommandArgs args, std::initializer_list<OptionSpec> options);

    // The positional arguments, which must be exactly those named (the names
    // appear in the messages, e.g. "DATEI.kmo").
    const std::vector<std::string>& Positional(std::initializer_list<std::string_view> names) const;

    bool Has(std::string_view option) const { return options_.count(std::string(option)) != 0; }
    std::optional<std::string> Value(std::string_view option) const;

  private:
    std::vector<std::string> positional_;
    std::map<std::string, std::string> options_;
};

// Whole decimal number in [min, max]; `what` names it in the message.
std::int64_t ParseInteger(const std::string& text, std::int64_t min, std::int64_t max,
                          std::string_view what);

// Decimal fraction such as "33.33" in [min, max].
double ParseDecimal(const std::string& text, double min, double max, std::string_view what);

// The shortest fixed-notation text that ParseDecimal reads back as `value`.
std::string DecimalText(double value);

// Builds the plain argument vector of a parsed command: its name, the options
// as "--name=VALUE" or "--name", then "--" and the positional arguments, so no
// value is ever taken for an option or a help request.
class ArgsBuilder {
  public:
    explicit ArgsBuilder(std::string_view command) : options_{std::string(command)} {}

    ArgsBuilder& Option(std::string_view name, const std::string& value);
    ArgsBuilder& Option(std::string_view name, const std::optional<std::string>& value);
    ArgsBuilder& Flag(std::string_view name, bool present = true);
    ArgsBuilder& Positional(const std::string& value);
    std::vector<std::string> Done() const;

  private:
    std::vector<std::string> options_;
    std::vector<std::string> positional_;
};

}  // namespace kinemo::cli
