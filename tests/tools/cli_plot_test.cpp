// kinemo-cli plot as a process: the pictures it writes and what it refuses.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "sequencer/engine/program_file.h"
#include "tests/tools/cli_process.h"

namespace kinemo::cli::test {
namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Two movements: a ramp of M1 and an M2 that only its impulses stop.
void WriteProgram(const std::string& path) {
    engine::MovementList list;
    engine::ResetMovement(list, 0);
    engine::ResetMovement(list, 1);
    engine::MovementRecord& ramp = list.records[0];
    engine::SetRecordName(ramp, "Anfahren");
    ramp.direction[0] = engine::kDirectionRight;
    ramp.speed[0] = 0;
    ramp.fineSpeed[0] = 0;
    ramp.accelOn[0] = 1;
    ramp.accelDuration[0] = 500;
    ramp.maxDuration = {800, 800, 800, 800};
    engine::MovementRecord& count = list.records[1];
    engine::SetRecordName(count, "Z\xE4hlen");
    count.direction[1] = engine::kDirectionLeft;
    count.maxDurationOn[1] = 0;
    count.maxImpulsesOn[1] = 1;
    count.maxImpulses[1] = 10;
    count.impulseInput[1] = 3;
    ASSERT_EQ(engine::WriteProgramFile(path, {}, {list.records.begin(), list.records.begin() + 2}),
              engine::ProgramFileStatus::kOk);
}

class CliPlotTest : public ::testing::Test {
  protected:
    void SetUp() override { WriteProgram(program_); }
    ProcessResult Run(const std::vector<std::string>& args) {
        return RunCliProcess(args, folder_.Path());
    }
    TempFolder folder_;
    std::string program_ = folder_.File("liste.kmo");
};

TEST_F(CliPlotTest, WritesSvgAndPng) {
    struct Case {
        std::vector<std::string> extra;
        std::string out;
        std::string line;
        std::string begins;
    };
    const std::string svg = folder_.File("bild.svg");
    const std::string png = folder_.File("bild.PNG");
    const Case cases[] = {
        {{},
         svg,
         svg + ": 2 Bewegungen, 66335 Ticks = 207,30 s bei 320 Ticks/s, Fenster 34 Ticks\n",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg "},
        {{"--movement", "0", "--width", "800"},
         svg,
         svg + ": 1 Bewegung, 800 Ticks = 2,50 s bei 320 Ticks/s, Fenster 25 Ticks\n",
         "<?xml"},
        {{},
         png,
         png + ": 2 Bewegungen, 66335 Ticks = 207,30 s bei 320 Ticks/s, Fenster 34 Ticks\n",
         "\x89PNG\r\n\x1a\n"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"plot", program_, "--out", c.out};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const ProcessResult result = Run(args);
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(result.out, c.line);
        const std::string picture = ReadFileText(c.out);
        EXPECT_EQ(picture.rfind(c.begins, 0), 0u) << c.out;
        if (c.out == svg && c.extra.empty()) {
            for (const char* text : {">liste.kmo \xE2\x80\x93 2 Bewegungen", ">1: Z\xC3\xA4hlen<",
                                     ">bis E3: 10 Impulse<", ">offen, 65535 Ticks gezeigt<"}) {
                EXPECT_NE(picture.find(text), std::string::npos) << text;
            }
        }
    }
    // No temporary file is left beside the pictures.
    const ProcessResult listing = RunProcess({"/bin/ls", folder_.Path()}, folder_.Path());
    EXPECT_EQ(listing.out, "bild.PNG\nbild.svg\nliste.kmo\n");
}

TEST_F(CliPlotTest, RefusalsLeaveThePictureAlone) {
    const std::string out = folder_.File("alt.svg");
    const std::string truncated = folder_.File("kurz.kmo");
    WriteBytes(truncated, ReadFileText(program_).substr(0, 100));
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"plot", program_}, "Option --out BILD.svg oder BILD.png fehlt"},
        {{"plot", program_, "--out", folder_.File("bild.jpg")},
         "--out " + folder_.File("bild.jpg") + ": das Bild muss auf .svg oder .png enden"},
        {{"plot", program_, "--out", out, "--movement", "2"},
         "--movement muss zwischen 0 und 1 liegen: \"2\""},
        {{"plot", truncated, "--out", out},
         truncated + ": Die Datei enthält keine vollständige Bewegung"},
        {{"plot", program_, "--out", folder_.File("fehlt/bild.svg")},
         folder_.File("fehlt/bild.svg") + ": Datei kann nicht angelegt werden"},
    };
    for (const Case& c : cases) {
        WriteBytes(out, "alt");
        const ProcessResult result = Run(c.args);
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_EQ(result.err, "kinemo-cli: " + c.message + "\n");
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(ReadFileText(out), "alt");
    }
}

}  // namespace
}  // namespace kinemo::cli::test
