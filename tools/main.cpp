// kinemo-cli: the sequencer's engine on the command line.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/cli_dispatch.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    return kinemo::cli::RunCli(args, stdout, stderr);
}
