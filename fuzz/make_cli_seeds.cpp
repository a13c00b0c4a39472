// Writes the command-line seeds of the fuzz targets into a folder, one file
// per argument vector: kinemo-fuzz-cli-seeds FOLDER
#include <cstdio>
#include <fstream>
#include <string>

#include "fuzz/cli_checks.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: kinemo-fuzz-cli-seeds ORDNER\n");
        return 2;
    }
    int index = 0;
    for (const kinemo::fuzz::CliSeed& seed : kinemo::fuzz::CliSeeds()) {
        const std::string path =
            std::string(argv[1]) + "/seed_" + std::to_string(index++) + seed.extension;
        const auto bytes = kinemo::fuzz::SeedBytes(seed);
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            std::fprintf(stderr, "%s: Datei kann nicht geschrieben werden\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
