// The speed profile against the timeline rows it is read from, and the picture
// built from it.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>

#include "sequencer/engine/profile_plot.h"
#include "sequencer/engine/speed_profile.h"
#include "tests/sequencer/engine/player_test_support.h"

namespace kinemo::engine {
namespace {

// Motor m's direction, start and target speed in hundredths of a percent
// and, with `ramp` ticks, its acceleration.
void SetMotor(MovementRecord& r, int m, std::uint8_t direction, int hundredths, int target = -1,
              int ramp = 0) {
    r.direction[m] = direction;
    testing::SetSpeed(r, m, hundredths, target < 0 ? hundredths : target);
    r.accelOn[m] = ramp > 0 ? 1 : 0;
    r.accelDuration[m] = ramp;
}

// `count` new movements.
struct Fixture {
    explicit Fixture(int count) {
        for (int i = 0; i < count; ++i) {
            ResetMovement(*list, i);
        }
    }
    MovementRecord& Record(int i) { return list->records[static_cast<std::size_t>(i)]; }

    SpeedProfile Profile(int first, int last, ProfileOptions options) {
        ComputeTimeline(*list, first, last, *timeline, nullptr);
        return BuildSpeedProfile(*timeline, *list, first, last, options);
    }

    std::unique_ptr<MovementList> list = std::make_unique<MovementList>();
    std::unique_ptr<Timeline> timeline = std::make_unique<Timeline>();
};

// The windows counted the slow way: every played tick of every row, a motor
// counting only while its maximum duration has not struck.
std::vector<ProfileWindow> CountByHand(const SpeedProfile& profile, const Timeline& timeline) {
    std::vector<ProfileWindow> windows(profile.windows.size());
    for (std::size_t row = 0; row < profile.movements.size(); ++row) {
        const ProfileMovement& movement = profile.movements[row];
        const SlotLimits& limits = timeline.Limits(static_cast<int>(row));
        for (std::uint32_t pos = 0; pos < movement.length; ++pos) {
            ProfileWindow& window = windows[(movement.startTick + pos) / profile.windowTicks];
            ++window.ticks;
            const std::uint8_t word = timeline.Row(static_cast<int>(row))[pos];
            for (int m = 0; m < kMotorCount; ++m) {
                const bool masked = limits.maxDuration[m] != 0 && pos + 1 >= limits.maxDuration[m];
                const int state = (word >> (2 * m)) & 3;
                if (!masked && state != 0) {
                    ++(state == 1 ? window.leftOn : window.rightOn)[m];
                }
            }
        }
    }
    return windows;
}

// Windows cross movement boundaries and motor stops; the slow count holds
// them to the rows.
TEST(SpeedProfile, MovementsLimitsOpenEndsAndWindows) {
    Fixture f(4);
    SetRecordName(f.Record(0), "Heben");
    SetMotor(f.Record(0), 0, kDirectionRight, 5000);
    // Movement 1: M2 stops on impulses only, so its end is open.
    SetRecordName(f.Record(1), "Drehen");
    SetMotor(f.Record(1), 1, kDirectionLeft, 10000);
    std::tie(f.Record(1).maxDurationOn[1], f.Record(1).maxImpulsesOn[1], f.Record(1).maxImpulses[1],
             f.Record(1).impulseInput[1]) = std::tuple(0, 1, 10, 3);
    // Movement 2: ramps and an end switch beside a maximum duration.
    SetMotor(f.Record(2), 2, kDirectionRight, 0, 10000, 100);
    std::tie(f.Record(2).endSwitchOn[2], f.Record(2).endSwitchInput[2],
             f.Record(2).maxDuration[2]) = std::tuple(1, 4, 400);
    // Movement 3: a ramp and no maximum duration at all: its computed row of
    // 65534 ticks is shown.
    SetMotor(f.Record(3), 3, kDirectionLeft, 1000, 9000, 500);
    f.Record(3).maxDurationOn = {};

    const SpeedProfile profile = f.Profile(0, 3, {1000, 0});
    std::vector<std::tuple<std::string, std::uint64_t, std::uint32_t, bool, std::uint32_t>> shown;
    for (const ProfileMovement& mv : profile.movements) {
        shown.emplace_back(mv.name, mv.startTick, mv.length, mv.open, mv.rampLength);
    }
    const std::string neu = RecordName(f.Record(2));
    EXPECT_EQ(shown, (decltype(shown){{"Heben", 0, 125, false, 0},
                                      {"Drehen", 125, 65535, true, 0},
                                      {neu, 125 + 65535, 400, false, 100},
                                      {neu, 125 + 65535 + 400, 65534, true, 500}}));
    EXPECT_EQ(profile.movements[1].motorTicks,
              (std::array<std::uint32_t, 4>{124, 65535, 124, 124}));

    std::vector<std::string> texts;
    for (const LimitMark& mark : profile.marks) {
        if (mark.kind != LimitKind::kMaxDuration) {
            texts.push_back(std::to_string(mark.movement) + " M" + std::to_string(mark.motor + 1) +
                            " " + LimitMarkText(mark) + " @" + std::to_string(mark.tick));
        }
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"1 M2 bis E3: 10 Impulse @125",
                                               "2 M3 bis E4: Endtaster @65660"}));
    EXPECT_EQ(std::tuple(profile.totalTicks, profile.windows.size(), profile.windows),
              std::tuple(125 + 65535 + 400 + 65534UL, 132UL, CountByHand(profile, *f.timeline)));
    // The automatic window keeps to the number of windows asked for; a short
    // movement is still averaged over a few pulse periods.
    const SpeedProfile automatic = f.Profile(0, 3, {0, 50});
    EXPECT_TRUE(automatic.windows.size() <= 50 && automatic.windows.size() >= 25 &&
                automatic.windows == CountByHand(automatic, *f.timeline));
    EXPECT_EQ(f.Profile(0, 0, {}).windowTicks, 25u);
    // An empty or invalid range gives nothing.
    for (const auto& [first, last] : {std::pair{1, 0}, {-1, 0}, {0, 256}}) {
        const SpeedProfile p = BuildSpeedProfile(*f.timeline, *f.list, first, last);
        EXPECT_TRUE(p.totalTicks == 0 && p.windows.empty() && p.movements.empty()) << first;
    }
    // The other texts of a mark; a limit of 0 stops at the first impulse too.
    for (const auto& [kind, input, value, text] :
         {std::tuple{LimitKind::kMaxDuration, 0, 125u, "Max. dauer: 125"},
          {LimitKind::kImpulses, 1, 1u, "bis E1: 1 Impuls"},
          {LimitKind::kImpulses, 8, 0u, "bis E8: 1 Impuls"}}) {
        EXPECT_EQ(LimitMarkText({.kind = kind, .input = std::uint8_t(input), .value = value}),
                  text);
    }
}

// Ramps up and down show as ramps in the drawn curve.
TEST(ProfilePlot, RampsAreMonotoneInThePicture) {
    Fixture f(1);
    SetMotor(f.Record(0), 0, kDirectionRight, 0, 10000, 3000);
    SetMotor(f.Record(0), 1, kDirectionLeft, 8000, 2000, 3000);
    f.Record(0).maxDuration = {4000, 4000, 4000, 4000};
    const SpeedProfile profile = f.Profile(0, 0, {100, 0});
    const PlotScene scene = BuildPlotScene(profile, {1000, "ramp"});
    ASSERT_EQ(scene.polygons.size(), 4u);
    // Up to the ramp's end, the curve of M1 only rises (y falls on screen)
    // and that of M2 only comes back towards its zero line from below.
    const double rampEndX = scene.plotLeft + (scene.plotRight - scene.plotLeft) * 3000.0 / 4000.0;
    for (int m = 0; m < 2; ++m) {
        const auto& points = scene.polygons[static_cast<std::size_t>(m)].points;
        const double zero = scene.lanes[static_cast<std::size_t>(m)].Zero();
        for (std::size_t i = 2; i < points.size() && points[i].x <= rampEndX; ++i) {
            EXPECT_GE(points[i].x, points[i - 1].x);
            EXPECT_TRUE(m == 0 || points[i].y >= zero) << "point " << i;
            EXPECT_TRUE((m == 1 && i == 2) || points[i].y <= points[i - 1].y) << "point " << i;
        }
    }
}

// A maximum-duration text goes left of its line where it fits within the
// movement, else right of it: a mark near the run's start never reaches into
// the lane labels left of the plot.
TEST(ProfilePlot, DurationMarkTextsStayWithinTheirMovement) {
    Fixture f(1);
    SetMotor(f.Record(0), 0, kDirectionRight, 10000);
    SetMotor(f.Record(0), 1, kDirectionRight, 10000);
    f.Record(0).maxDuration = {40, 600, 600, 600};
    const PlotScene scene = BuildPlotScene(f.Profile(0, 0, {}), {800, "marks"});
    for (const auto& [motor, text, anchor] : {std::tuple{0, "Max. dauer: 40", TextAnchor::kStart},
                                              {1, "Max. dauer: 600", TextAnchor::kEnd}}) {
        const PlotLane& lane = scene.lanes[static_cast<std::size_t>(motor)];
        const auto line =
            std::find_if(scene.lines.begin(), scene.lines.end(), [&](const PlotLine& l) {
                return l.width == 2 && l.from.y == lane.top && l.to.y == lane.bottom;
            });
        const auto found =
            std::find_if(scene.texts.begin(), scene.texts.end(),
                         [want = text](const PlotText& t) { return t.text == want; });
        ASSERT_TRUE(line != scene.lines.end() && found != scene.texts.end()) << text;
        EXPECT_EQ(std::pair(found->anchor, found->at.x),
                  std::pair(anchor, line->from.x + (anchor == TextAnchor::kStart ? 3 : -3)))
            << text;
    }
}

TEST(ProfilePlot, SvgCarriesNamesSafely) {
    Fixture f(2);
    SetRecordName(f.Record(0), "Kr\xE4n <&> \"1\"\x01");
    SetMotor(f.Record(0), 0, kDirectionRight, 10000);
    f.Record(0).maxDuration[0] = 2000;
    const SpeedProfile profile = f.Profile(0, 1, {});
    const std::string svg = SceneToSvg(BuildPlotScene(profile, {1200, "a&b.kmo"}));
    EXPECT_TRUE(svg.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg ") &&
                svg.ends_with("</svg>\n") && svg.find('\x01') == std::string::npos);
    // The second name is cut to its room.
    for (const char* text : {"0: Kr\xC3\xA4n &lt;&amp;&gt; &quot;1&quot;?", "a&amp;b.kmo",
                             ">1: Neue\u2026<", "2000 Ticks = 6,25 s"}) {
        EXPECT_NE(svg.find(text), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace kinemo::engine
