// Text rules of the motor panels, exhaustively where the input space is small.
#include "sequencer/ui/motor_panel_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

namespace kinemo::ui {
namespace {

TEST(FormatSpeedLabel, MatchesTheCFormatForEverySliderPair) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");  // the reference: a decimal point always
    for (int speed = 0; speed <= 99; ++speed) {
        for (int fine = 0; fine <= 100; ++fine) {
            char expected[32];
            std::snprintf(expected, sizeof expected, "%3.2lf %%", fine * 0.01 + speed);
            ASSERT_EQ(FormatSpeedLabel(speed, fine).toStdString(), expected)
                << speed << " " << fine;
        }
    }
    std::setlocale(LC_NUMERIC, previous.c_str());
}

TEST(DialogNumbers, ReadLikeTheCIntegerReaderOnNineCharactersAndShowUnsigned) {
    for (const auto& [text, value] : std::initializer_list<std::pair<const char*, std::int32_t>>{
             {"125", 125},
             {"  -5", -5},
             {"\t+7x", 7},
             {"", 0},
             {"abc", 0},
             {"-", 0},
             {"--5", 0},
             {"12 3", 12},
             {"999999999", 999999999},
             {"4294967291", 429496729},
             {"-99999999", -99999999},
             {"000000000123", 0},
             {"        7", 7},
             {"         7", 0},
             {"\u0663", 0}}) {  // only ASCII digits count
        EXPECT_EQ(ParseDialogInteger(QString::fromUtf8(text)), value) << text;
    }
    EXPECT_EQ(FormatDialogUnsigned(-5) + FormatDialogUnsigned(0) + FormatDialogUnsigned(INT32_MIN),
              QStringLiteral("429496729102147483648"));
}

// One to five digits with a value up to 65535; "changed" and "select all"
// as the last two characters of each row's expected result.
TEST(FilterDurationText, KeepsOneToFiveDigitsWithAValueUpTo65535) {
    for (const auto& [in, out] :
         std::initializer_list<std::pair<const char*, const char*>>{{"125", "125--"},
                                                                    {"12a4", "12+-"},
                                                                    {"70000", "7000+-"},
                                                                    {"65535", "65535--"},
                                                                    {"65536", "6553+-"},
                                                                    {"123456", "12345+-"},
                                                                    {"1234567", "12345+-"},
                                                                    {"99999x", "9999+-"},
                                                                    {"00099", "00099--"},
                                                                    {"", "0++"},
                                                                    {"x125", "0++"},
                                                                    {" 1", "0++"},
                                                                    {"-5", "0++"},
                                                                    {"0", "0--"}}) {
        const DurationFilterResult r = FilterDurationText(QString::fromLatin1(in));
        EXPECT_EQ(r.text.toStdString() + (r.changed ? "+" : "-") + (r.selectAll ? "+" : "-"), out)
            << in;
    }
}

}  // namespace
}  // namespace kinemo::ui
