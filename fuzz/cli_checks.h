// Checks of the three command-line parsers. The input bytes are an argument
// vector split at NUL bytes, the program's name first (dropped, as main()
// drops argv[0]), so every argument a shell could hand over can occur and
// none holds a NUL byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_checks.h"

namespace kinemo::fuzz {

std::vector<std::string> ArgsFromBytes(Bytes bytes);
std::vector<std::uint8_t> BytesFromArgs(std::string_view program,
                                        const std::vector<std::string>& args);

// Each parser is deterministic; a refusal has a message and exit code 2; an
// accepted request holds values in their documented ranges, and its
// canonical argument vector parses to the same request and is itself
// canonical.
std::string CheckKinemoCliArgs(Bytes bytes);
std::string CheckSpeechCliArgs(Bytes bytes);
std::string CheckJoyCliArgs(Bytes bytes);

// The argument vectors of the tests and the README, as seeds. `extension`
// picks the check (".cliargs", ".speechargs", ".joyargs").
struct CliSeed {
    std::string extension;
    std::vector<std::string> args;
};
std::vector<CliSeed> CliSeeds();

// The bytes of a seed for its program's check.
std::vector<std::uint8_t> SeedBytes(const CliSeed& seed);

}  // namespace kinemo::fuzz
