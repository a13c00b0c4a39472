// KinemoJoy's settings: the lists and bindings a joystick gives, the default
// mappings as file bytes, settings.kmj read and written byte for byte, and
// damaged, truncated, oversized and random files.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <random>
#include <sstream>

#include "joystick/joy_connect.h"
#include "joystick/joy_texts.h"
#include "joystick/settings_file.h"
#include "tests/joystick/joy_test_support.h"
#include "tests/tools/cli_process.h"

namespace kinemo::joy {
namespace {

using test::Caps;
using test::FreshSettings;
using Bytes = std::vector<std::uint8_t>;

class SettingsFileTest : public ::testing::Test {
  protected:
    void Write(const Bytes& bytes) const { cli::test::WriteFileBytes(path_, bytes); }
    Bytes Read() const { return cli::test::ReadFileBytes(path_); }

    // Both steps of reading at start-up with this joystick: the header, the
    // defaults and then the mappings.
    std::pair<HeaderResult, JoySettings> StartUp(const platform::JoystickCaps& caps) {
        JoySettings settings;
        const HeaderResult header = ReadSettingsHeader(path_, caps, settings);
        ResetSettings(settings);
        LoadSettings(path_, settings);
        return {header, settings};
    }

    cli::test::TempFolder temp_;
    std::string path_ = temp_.File("settings.kmj");
};

Bytes Encoded(const JoySettings& settings) {
    const SettingsBytes bytes = EncodeSettings(settings);
    return Bytes(bytes.begin(), bytes.end());
}

Bytes Text(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

Bytes Hex(std::string hex) {
    std::erase(hex, ' ');
    Bytes bytes;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// For 2 axes and 4 buttons on COM1 with the extension module: the header,
// the eight slots (M1 M5 M2 M6 ...: M1 and M2 follow X and Y, every other
// motor stands, "A" at 100 %, the end switches from E1 and E9) and the off
// settings (the last input, the last button).
TEST(SettingsDefaults, TheDefaultFileByteForByteAndTheReset) {
    JoySettings settings = FreshSettings(Caps(2, 4, false), true);
    settings.portNumber = 1;
    EXPECT_EQ(Encoded(settings),
              Hex("4B4D4A3134 04 02 00000000 00 01000000 01 00 08000000"
                  " 01000000010000000001000001010064 00000100000100000001000809010064"
                  " 01000000010000010001000203010164 00000100000100010001000A0B010164"
                  " 00000100000100000001000405010064 00000100000100000001000C0D010064"
                  " 00000100000100010001000607010164 00000100000100010001000E0F010164"
                  " 00000000 00000000 0F000000 03000000"));
    // A reset keeps the joystick, the port and the module, nothing else.
    JoySettings changed = settings;
    changed.moduleShown = 1;
    changed.offButtonOn = 1;
    changed.mappings[3].fixedSpeed = 3;
    changed.startButtonIndex = 0;
    ResetSettings(changed);
    EXPECT_EQ(std::pair(EncodeSettings(changed), changed.startButtonIndex),
              std::pair(EncodeSettings(settings), 2));
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// The lists, the last button and input (the default off settings) and the
// default throttle, the last axis.
TEST(SettingsLists, ListsFollowTheJoystickAndTheModule) {
    // The joystick, the module, the axis and throttle lists, the last button and input.
    const std::tuple<platform::JoystickCaps, bool, std::string, std::string, std::string,
                     std::string>
        cases[] = {{Caps(2, 4, false), false, "X Y", "X Y", " 4", "E8"},
                   {Caps(2, 4, true), false, "X Y POV1 POV2", "X Y", " 4", "E8"},
                   {Caps(4, 12, true), true, "X Y Z R POV1 POV2", "X Y Z R", "12", "E16"},
                   {Caps(6, 32, false), false, "X Y Z R U V", "X Y Z R U V", "32", "E8"}};
    for (const auto& [caps, extension, axes, throttle, lastButton, lastInput] : cases) {
        const JoySettings settings = FreshSettings(caps, extension);
        const ListContents l = MakeListContents(settings);
        EXPECT_EQ(std::tuple(l.axes, l.throttle, l.buttons.size(), l.buttons.front(),
                             l.buttons.back(), l.inputs.back(), l.offSwitch.size(), l.modules),
                  std::tuple(Words(axes), Words(throttle), std::size_t{caps.buttons}, " 1",
                             lastButton, lastInput, l.inputs.size(),
                             Words(extension ? "Hauptmodul Extensionmodul" : "Hauptmodul")));
        EXPECT_EQ(
            std::tuple(l.offSwitch[settings.offSwitchInput], l.buttons[settings.offButtonIndex],
                       l.throttle[settings.mappings[0].throttleIndex], settings.throttleBindings[0],
                       l.directions),
            std::tuple(lastInput, lastButton, l.throttle.back(),
                       ThrottleBindingFromText(l.throttle.back()), Words("A L R")));
    }
}

TEST(SettingsBindings, ListTextsGiveTheirBindingsAndNoEntryBindsNothing) {
    using A = AxisBinding;
    using T = ThrottleBinding;
    using enum AxisSource;
    using enum HatMode;
    const std::tuple<const char*, std::optional<A>, std::optional<T>> rows[] = {
        {"X", A{kX, kAxis}, T{kX}},
        {"V", A{kV, kAxis}, T{kV}},
        {"POV1", A{kPov, kPov1}, {}},
        {"POV2", A{kPov, kPov2}, {}},
        {"POV3", {}, {}},
        {"x", {}, {}},
        {"", {}, {}}};
    for (const auto& [text, axis, throttle] : rows) {
        EXPECT_EQ(AxisBindingFromText(text), axis) << text;
        EXPECT_EQ(ThrottleBindingFromText(text), throttle) << text;
    }
    JoySettings settings = FreshSettings(Caps(2, 4, true), true);
    const ListContents lists = MakeListContents(settings);
    settings.moduleShown = 1;
    EXPECT_TRUE(DeriveAxisBinding(settings, lists, 2, 3));  // M7 on "POV2"
    EXPECT_EQ(settings.axisBindings[SlotOf(1, 2)], (A{kPov, kPov2}));
    EXPECT_TRUE(DeriveAxisBinding(settings, lists, 2, 9));  // no such entry
    EXPECT_EQ(settings.axisBindings[SlotOf(1, 2)].source, kNone);
    DeriveThrottleBinding(settings, lists, 0, 0);
    EXPECT_EQ(settings.throttleBindings[SlotOf(1, 0)].source, kX);
    DeriveThrottleBinding(settings, lists, 0, -1);
    EXPECT_EQ(settings.throttleBindings[SlotOf(1, 0)].source, kNone);
    // Unrecognised text leaves the binding as it was.
    ListContents odd = lists;
    odd.axes[0] = "W";
    settings.moduleShown = 0;
    EXPECT_FALSE(DeriveAxisBinding(settings, odd, 1, 0));
    EXPECT_EQ(settings.axisBindings[SlotOf(0, 1)], (A{kY, kAxis}));
}

// Port names and interface kinds, and the texts filled with the joystick's.
TEST(SettingsPorts, PortNamesKindsAndTexts) {
    EXPECT_EQ(PortListTexts(), Words("COM1 COM2 COM3 COM4 LPT1 LPT2 LPT3 LPT"));
    using Port = std::tuple<std::int32_t, std::uint8_t, std::uint8_t, std::string, std::int32_t>;
    const Port ports[] = {{1, 0, 0, "COM1", 1},           {4, 0, 1, "COM4", 2},
                          {1, 1, 1, "LPT1", 10},          {4, 1, 0, "LPT", 10},
                          {9, 1, 0, "LPT", 10},           {0, 0, 0, "COM0", 1},
                          {INT32_MIN, 0, 0, "COM-214", 1}};
    for (const auto& [number, lpt, extension, name, kind] : ports) {
        EXPECT_EQ(std::tuple(PortName(number, lpt), InterfaceKindFor(lpt, extension)),
                  std::tuple(name, kind));
    }
    std::int32_t number = 0;
    std::uint8_t lpt = 0;
    EXPECT_TRUE(ParsePortName("LPT", number, lpt));
    EXPECT_EQ(std::tuple(number, lpt), std::tuple(4, 1));
    EXPECT_FALSE(ParsePortName("COM5", number, lpt) || ParsePortName("com1", number, lpt));

    const platform::JoystickCaps caps = Caps(3, 10, true, "Knüppel 3000");
    const std::string found = "\nTreiberbezeichnung: Knüppel 3000\nAchsen: 3\nButtons: 10";
    EXPECT_EQ(JoystickFoundText(caps), "Verbindung zum Joystick erfolgreich!\n" + found);
    const std::string other = OtherJoystickText(caps);
    EXPECT_EQ(other.rfind(found + "\n\nAchtung:\nWenn dieser Joystick", 0), 0U);
    EXPECT_TRUE(other.ends_with("Einstellungsdatei \"settings.kmj\" löschen."));
}

// What the header read tells apart, and what both steps then hold: the mask
// always the current joystick's, the counts too for another joystick or
// without usable settings; the port and module only from usable settings.
TEST_F(SettingsFileTest, HeaderCasesByFileContents) {
    JoySettings saved = FreshSettings(Caps(4, 8, true), true);
    saved.portNumber = 3;
    const Bytes good = Encoded(saved);
    const auto with = [&good](std::size_t offset, std::uint8_t value) {
        Bytes bytes = good;
        bytes[offset] = value;
        return bytes;
    };
    Bytes longer = good;
    longer.resize(400, 0xEE);
    using enum HeaderStatus;
    const platform::JoystickCaps same = Caps(4, 8, true);
    // What the file is, its bytes, the joystick now, the status, another joystick.
    const std::tuple<const char*, std::optional<Bytes>, platform::JoystickCaps, HeaderStatus, bool>
        cases[] = {{"first start", std::nullopt, Caps(2, 4, true), kMissing, false},
                   {"same joystick", good, same, kUsable, false},
                   {"same joystick, another mask", good, Caps(4, 8, false), kUsable, false},
                   {"more buttons", good, Caps(4, 9, true), kUsable, true},
                   {"fewer axes", good, Caps(3, 8, true), kUsable, true},
                   {"same counts, empty mask", good, {"Leer", 4, 8, false, 0}, kUsable, true},
                   {"longer than 166 bytes", longer, same, kUsable, false},
                   {"DELET", Text("DELET"), same, kDeleted, false},
                   {"another version", with(4, '3'), same, kForeign, false},
                   {"DELE", Text("DELE"), same, kForeign, false},
                   {"module without its motors", with(18, 4), same, kForeign, false},
                   {"lptPort 2", with(17, 2), same, kForeign, false}};
    for (const auto& [what, bytes, caps, status, other] : cases) {
        SCOPED_TRACE(what);
        std::filesystem::remove(path_);
        if (bytes) {
            Write(*bytes);
        }
        JoySettings settings;
        const HeaderResult header = ReadSettingsHeader(path_, caps, settings);
        const bool usable = status == kUsable;
        EXPECT_EQ(std::tuple(header.status, header.otherJoystick, settings.joystickCaps,
                             unsigned{settings.joystickButtons}, unsigned{settings.joystickAxes},
                             settings.portNumber, settings.motorCount),
                  std::tuple(status, other, caps.mask, caps.buttons, caps.axes, usable ? 3 : 0,
                             usable ? 8U : 4U));
        EXPECT_EQ(LoadSettings(path_, settings),
                  usable ? LoadStatus::kLoaded : LoadStatus::kDefaults);
        EXPECT_EQ(Read(), bytes.value_or(Bytes{})) << "reading never changes the file";
    }
}

// Every truncation of a good file is damaged: the defaults stay and the file
// is left for the orderly end. Random files (half with a usable header) never
// crash and, with every input and button held and the box answering the
// inverse of each word, never put a 3 on the wire.
TEST_F(SettingsFileTest, TruncatedAndRandomFiles) {
    const JoySettings defaults = FreshSettings(Caps(6, 32, true));
    JoySettings saved = defaults;
    saved.mappings[0].fixedSpeed = 42;
    const Bytes good = Encoded(saved);
    platform::JoystickSystem system;
    platform::JoystickPosition held = test::At(0, 65535, 4500, 0xFFFFFFFFU);
    held.axes = {0, 65535, 0, 65535, 0, 65535};
    const Replay replay = test::MakeReplay(Caps(6, 32, true), test::Reads(20, held));
    std::mt19937 random(11);
    for (std::size_t round = 0; round < kSettingsFileSize + 400; ++round) {
        Bytes bytes(good.begin(), good.begin() + std::min(round, kSettingsFileSize));
        if (round >= kSettingsFileSize) {
            bytes.resize(random() % 400);
            std::generate(bytes.begin(), bytes.end(), [&] { return std::uint8_t(random()); });
        }
        if (round % 2 == 0 && bytes.size() > 21 && round >= kSettingsFileSize) {
            std::memcpy(bytes.data(), "KMJ14", 5);
            bytes[16] = round % 4 == 0 ? 1 : 0;
            bytes[17] = bytes[19] = bytes[20] = bytes[21] = 0;
            bytes[18] = round % 4 == 0 ? 8 : 4;
        }
        Write(bytes);
        const auto [header, settings] = StartUp(Caps(6, 32, true));
        if (round < kSettingsFileSize) {
            ASSERT_EQ(std::tuple(header.status, settings.mappings == defaults.mappings, Read()),
                      std::tuple(HeaderStatus::kForeign, true, bytes))
                << round;
            continue;
        }
        ReplaySource source(replay);
        for (const std::uint32_t word : test::PlayOn(settings, source, [](const test::Words& sent) {
                                            return sent.empty() ? 0U : ~sent.back();
                                        }).words) {
            // Nothing above M8 and no motor at 3 (both directions at once).
            ASSERT_EQ(word >> 16, 0U) << round;
            ASSERT_EQ((word & 0x5555U) & (word >> 1), 0U) << round;
        }
    }
}

// Random mappings saved and loaded come back byte for byte; the window
// always starts on "Hauptmodul".
TEST_F(SettingsFileTest, SavedAndLoadedMappingsComeBackByteForByte) {
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        JoySettings saved = FreshSettings(Caps(6, 32, true), (round % 2) != 0);
        saved.moduleShown = static_cast<std::uint8_t>(round % 2);
        saved.portNumber = round % 5;
        for (MotorMapping& m : saved.mappings) {
            std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(&m);
            std::generate(bytes, bytes + sizeof m,
                          [&] { return static_cast<std::uint8_t>(random() % 8); });
        }
        saved.offSwitchOn = round % 2;
        saved.offButtonOn = 1 - round % 2;
        saved.offSwitchInput = round % 8;
        saved.offButtonIndex = round % 32;
        ASSERT_TRUE(SaveSettings(path_, saved));
        JoySettings loaded = StartUp(Caps(6, 32, true)).second;
        EXPECT_EQ(std::exchange(loaded.moduleShown, saved.moduleShown), 0);
        EXPECT_EQ(Encoded(loaded), Read());
    }
}

// Saved for six axes, twelve buttons and a hat, read with three axes and four
// buttons: positions with an entry bind as before (M5 on "Z"), those without
// bind nothing and keep the stored position.
TEST_F(SettingsFileTest, AfterARestartStoredPositionsBindOnlyWhereTheListHasThem) {
    JoySettings saved = FreshSettings(Caps(6, 12, true), true);
    saved.mappings[SlotOf(1, 0)].dirFromAxis = 1;
    saved.mappings[SlotOf(1, 0)].axisIndex = saved.mappings[SlotOf(1, 0)].speedAxisIndex = 2;
    saved.mappings[0].axisIndex = 5;      // "V"
    saved.mappings[2].axisIndex = 7;      // "POV2"
    saved.mappings[2].throttleIndex = 4;  // "U"
    saved.offButtonIndex = 11;
    ASSERT_TRUE(SaveSettings(path_, saved));
    const auto [header, loaded] = StartUp(Caps(3, 4, false));
    using enum AxisSource;
    EXPECT_EQ(std::tuple(header.otherJoystick, loaded.axisBindings[SlotOf(1, 0)],
                         loaded.axisBindings[0].source, loaded.axisBindings[2].source,
                         loaded.throttleBindings[2].source, loaded.mappings[0].axisIndex,
                         loaded.offButtonIndex),
              std::tuple(true, AxisBinding{kZ, HatMode::kAxis}, kNone, kNone, kNone, 5, -1));
}

// Saving replaces the file whole, keeps its mode, leaves no temporary file
// and refuses folders; the reset with restart leaves only the deleted mark.
TEST_F(SettingsFileTest, SavingReplacesTheFileWholeKeepsItsModeAndRefusesFolders) {
    ASSERT_TRUE(SaveSettings(path_, FreshSettings(Caps(2, 4, false))));
    ASSERT_EQ(::chmod(path_.c_str(), 0604), 0);
    ASSERT_TRUE(SaveSettings(path_, FreshSettings(Caps(3, 5, true))));
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0604U);
    EXPECT_EQ(Read(), Encoded(FreshSettings(Caps(3, 5, true))));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(temp_.Path()), {}), 1);
    ASSERT_TRUE(WriteDeletedFile(path_));
    EXPECT_EQ(Read(), Text(kDeletedFileText));

    const std::string folder = temp_.Path();
    for (const std::string& path : {folder, folder + "/missing/settings.kmj", std::string()}) {
        EXPECT_FALSE(SaveSettings(path, FreshSettings(Caps(2, 4, false)))) << path;
    }
    JoySettings settings;
    EXPECT_EQ(ReadSettingsHeader(folder, Caps(2, 4, false), settings).status,
              HeaderStatus::kMissing);
}

}  // namespace
}  // namespace kinemo::joy
