// One libFuzzer target: KINEMO_FUZZ_CHECK names the check it runs.
#include <cstdio>
#include <cstdlib>

#include "fuzz/cli_checks.h"
#include "fuzz/fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string failure = kinemo::fuzz::KINEMO_FUZZ_CHECK({data, size});
    if (!failure.empty()) {
        std::fprintf(stderr, "%s\n", failure.c_str());
        std::abort();
    }
    return 0;
}
