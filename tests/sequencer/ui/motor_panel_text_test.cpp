// Text rules of the motor panels, checked exhaustively where the input space
// is small.
#include "sequencer/ui/motor_panel_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>

namespace kinemo::ui {
namespace {

TEST(FormatSpeedLabel, MatchesTheCFormatForEverySliderPair) {
    // The C format in the C locale is the reference: a decimal point always.
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
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

TEST(ParseDialogInteger, ReadsLikeTheCIntegerReaderOnNineCharacters) {
    struct Case {
        const char* text;
        std::int32_t value;
    };
    for (const Case& c :
         {Case{"125", 125}, Case{"  -5", -5}, Case{"\t+7x", 7}, Case{"", 0}, Case{"abc", 0},
          Case{"-", 0}, Case{"--5", 0}, Case{"12 3", 12}, Case{"999999999", 999999999},
          Case{"4294967291", 429496729}, Case{"-99999999", -99999999}, Case{"000000000123", 0},
          Case{"        7", 7}, Case{"         7", 0}}) {
        EXPECT_EQ(ParseDialogInteger(QString::fromLatin1(c.text)), c.value) << c.text;
    }
    EXPECT_EQ(ParseDialogInteger(QStringLiteral("٣")), 0);  // only ASCII digits count
}

TEST(FormatDialogUnsigned, ShowsNegativeValuesAsUnsigned32Bit) {
    EXPECT_EQ(FormatDialogUnsigned(-5), QStringLiteral("4294967291"));
    EXPECT_EQ(FormatDialogUnsigned(0), QStringLiteral("0"));
    EXPECT_EQ(FormatDialogUnsigned(INT32_MIN), QStringLiteral("2147483648"));
}

TEST(FilterDurationText, KeepsOneToFiveDigitsWithAValueUpTo65535) {
    struct Case {
        const char* in;
        const char* out;
        bool changed;
        bool selectAll;
    };
    for (const Case& c :
         {Case{"125", "125", false, false}, Case{"12a4", "12", true, false},
          Case{"70000", "7000", true, false}, Case{"65535", "65535", false, false},
          Case{"65536", "6553", true, false}, Case{"123456", "12345", true, false},
          Case{"1234567", "12345", true, false}, Case{"99999x", "9999", true, false},
          Case{"00099", "00099", false, false}, Case{"", "0", true, true},
          Case{"x125", "0", true, true}, Case{" 1", "0", true, true}, Case{"-5", "0", true, true},
          Case{"0", "0", false, false}}) {
        const DurationFilterResult r = FilterDurationText(QString::fromLatin1(c.in));
        EXPECT_EQ(r.text.toStdString(), c.out) << c.in;
        EXPECT_EQ(r.changed, c.changed) << c.in;
        EXPECT_EQ(r.selectAll, c.selectAll) << c.in;
    }
}

}  // namespace
}  // namespace kinemo::ui
