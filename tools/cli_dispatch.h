// The kinemo-cli dispatcher: picks the command named by the first argument.
#pragma once

#include <cstdio>
#include <span>
#include <string>

namespace kinemo::cli {

// Runs one command line (without the program name) and returns the exit code:
// 0 done, 2 bad input (one line on `err`), 1 an unexpected failure.
int RunCli(std::span<const std::string> args, std::FILE* out, std::FILE* err);

}  // namespace kinemo::cli
