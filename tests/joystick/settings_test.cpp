// KinemoJoy's settings: the lists and bindings a joystick gives, the default
// mappings as file bytes, settings.kmj read and written byte for byte, and
// damaged, truncated, oversized and random files.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <sstream>

#include "joystick/control_loop.h"
#include "joystick/joy_connect.h"
#include "joystick/joy_settings.h"
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

    // What the program holds after both steps of reading at start-up with
    // this joystick: the connect dialog's defaults, the header, the defaults
    // and then the mappings.
    JoySettings StartUp(const platform::JoystickCaps& caps, HeaderResult* header = nullptr) {
        JoySettings settings;
        const HeaderResult found = ReadSettingsHeader(path_, caps, settings);
        if (header != nullptr) {
            *header = found;
        }
        ResetSettings(settings);
        LoadSettings(path_, settings);
        return settings;
    }

    cli::test::TempFolder temp_;
    std::string folder_ = temp_.Path();
    std::string path_ = temp_.File("settings.kmj");
};

Bytes ToBytes(const SettingsBytes& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

// The default file for a joystick of 2 axes and 4 buttons on COM1, built by
// hand from the file layout.
TEST(SettingsDefaults, TheDefaultFileByteForByte) {
    JoySettings settings = FreshSettings(Caps(2, 4, false));
    settings.portNumber = 1;
    Bytes want = {'K', 'M', 'J', '1', '4', 4, 2, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 4, 0, 0, 0};
    // M1 and M2 follow X and Y; every other motor stands ("A" at 100 %).
    const Bytes m1 = {1, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0, 100};
    const Bytes m2 = {1, 0, 0, 0, 1, 0, 0, 1, 0, 1, 0, 2, 3, 1, 1, 100};
    for (int slot = 0; slot < 8; ++slot) {
        const int motor = slot / 2;
        Bytes m = {0, 0, 1, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 100};
        m[7] = m[14] = static_cast<std::uint8_t>(motor % 2);
        m[11] = static_cast<std::uint8_t>(2 * motor);
        m[12] = static_cast<std::uint8_t>(2 * motor + 1);
        if (slot == 0) {
            m = m1;
        } else if (slot == 2) {
            m = m2;
        }
        want.insert(want.end(), m.begin(), m.end());
    }
    const Bytes off = {0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0, 3, 0, 0, 0};
    want.insert(want.end(), off.begin(), off.end());
    EXPECT_EQ(ToBytes(EncodeSettings(settings)), want);

    // With the extension module its motors take E9 to E16 and the off
    // switch E16.
    settings = FreshSettings(Caps(2, 4, false), true);
    const Bytes ext = ToBytes(EncodeSettings(settings));
    EXPECT_EQ(ext[16], 1);
    EXPECT_EQ(ext[18], 8);
    for (int m = 0; m < 4; ++m) {
        EXPECT_EQ(ext[22 + 16 * SlotOf(1, m) + 11], 2 * m + 8);
        EXPECT_EQ(ext[22 + 16 * SlotOf(1, m) + 12], 2 * m + 9);
        EXPECT_EQ(ext[22 + 16 * SlotOf(0, m) + 11], 2 * m);
    }
    EXPECT_EQ(ext[158], 15);

    // A reset keeps the joystick, the port and the module, nothing else.
    JoySettings changed = FreshSettings(Caps(4, 6, true), true);
    JoySettings fresh = changed;
    changed.portNumber = fresh.portNumber = 2;
    changed.moduleShown = 1;
    changed.mappings[3].fixedSpeed = 3;
    changed.offButtonOn = 1;
    changed.startButtonIndex = 0;
    ResetSettings(changed);
    EXPECT_EQ(EncodeSettings(changed), EncodeSettings(fresh));
    EXPECT_EQ(changed.startButtonIndex, 4);
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

TEST(SettingsLists, ListsFollowTheJoystickAndTheModule) {
    struct Case {
        platform::JoystickCaps caps;
        bool extension;
        std::string axes, throttle;
        std::size_t buttons, inputs;
        std::string throttleDefault;
    };
    const Case cases[] = {
        {Caps(2, 4, false), false, "X Y", "X Y", 4, 8, "Y"},
        {Caps(2, 4, true), false, "X Y POV1 POV2", "X Y", 4, 8, "Y"},
        {Caps(4, 12, true), true, "X Y Z R POV1 POV2", "X Y Z R", 12, 16, "R"},
        {Caps(6, 32, false), false, "X Y Z R U V", "X Y Z R U V", 32, 8, "V"},
    };
    for (const Case& c : cases) {
        const JoySettings settings = FreshSettings(c.caps, c.extension);
        const ListContents lists = MakeListContents(settings);
        EXPECT_EQ(lists.axes, Words(c.axes));
        EXPECT_EQ(lists.throttle, Words(c.throttle));
        ASSERT_EQ(lists.buttons.size(), c.buttons);
        EXPECT_EQ(lists.buttons.front(), " 1");
        EXPECT_EQ(lists.buttons.back(),
                  c.buttons < 10 ? " " + std::to_string(c.buttons) : std::to_string(c.buttons));
        ASSERT_EQ(lists.inputs.size(), c.inputs);
        EXPECT_EQ(lists.inputs.back(), "E" + std::to_string(c.inputs));
        EXPECT_EQ(lists.offSwitch[settings.offSwitchInput], "E" + std::to_string(c.inputs));
        EXPECT_EQ(lists.buttons[settings.offButtonIndex], lists.buttons.back());
        EXPECT_EQ(lists.throttle[settings.mappings[0].throttleIndex], c.throttleDefault);
        EXPECT_EQ(settings.throttleBindings[0], ThrottleBindingFromText(c.throttleDefault));
        EXPECT_EQ(lists.modules, Words(c.extension ? "Hauptmodul Extensionmodul" : "Hauptmodul"));
        EXPECT_EQ(lists.directions, Words("A L R"));
    }
}

TEST(SettingsBindings, ListTextsGiveTheirBindingsAndNoEntryBindsNothing) {
    struct Case {
        std::string text;
        std::optional<AxisBinding> axis;
        std::optional<ThrottleBinding> throttle;
    };
    const Case cases[] = {
        {"X", AxisBinding{AxisSource::kX, HatMode::kAxis}, ThrottleBinding{AxisSource::kX}},
        {"V", AxisBinding{AxisSource::kV, HatMode::kAxis}, ThrottleBinding{AxisSource::kV}},
        {"POV1", AxisBinding{AxisSource::kPov, HatMode::kPov1}, std::nullopt},
        {"POV2", AxisBinding{AxisSource::kPov, HatMode::kPov2}, std::nullopt},
        {"POV3", std::nullopt, std::nullopt},
        {"x", std::nullopt, std::nullopt},
        {"", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AxisBindingFromText(c.text), c.axis) << c.text;
        EXPECT_EQ(ThrottleBindingFromText(c.text), c.throttle) << c.text;
    }

    JoySettings settings = FreshSettings(Caps(2, 4, true), true);
    const ListContents lists = MakeListContents(settings);
    settings.moduleShown = 1;
    EXPECT_TRUE(DeriveAxisBinding(settings, lists, 2, 3));  // M7 on "POV2"
    EXPECT_EQ(settings.axisBindings[SlotOf(1, 2)], (AxisBinding{AxisSource::kPov, HatMode::kPov2}));
    EXPECT_TRUE(DeriveAxisBinding(settings, lists, 2, 9));  // no such entry
    EXPECT_EQ(settings.axisBindings[SlotOf(1, 2)].source, AxisSource::kNone);
    DeriveThrottleBinding(settings, lists, 0, 0);
    EXPECT_EQ(settings.throttleBindings[SlotOf(1, 0)].source, AxisSource::kX);
    DeriveThrottleBinding(settings, lists, 0, -1);
    EXPECT_EQ(settings.throttleBindings[SlotOf(1, 0)].source, AxisSource::kNone);
    // Unrecognised text leaves the binding as it was.
    ListContents odd = lists;
    odd.axes[0] = "W";
    settings.moduleShown = 0;
    EXPECT_FALSE(DeriveAxisBinding(settings, odd, 1, 0));
    EXPECT_EQ(settings.axisBindings[SlotOf(0, 1)], (AxisBinding{AxisSource::kY, HatMode::kAxis}));
}

TEST(SettingsPorts, PortNamesKindsAndListPositions) {
    EXPECT_EQ(PortListTexts(), (std::vector<std::string>{"COM1", "COM2", "COM3", "COM4", "LPT1",
                                                         "LPT2", "LPT3", "LPT"}));
    struct Case {
        std::int32_t number;
        std::uint8_t lpt, extension;
        std::string name;
        std::int32_t kind;
    };
    const Case cases[] = {
        {1, 0, 0, "COM1", 1},
        {4, 0, 1, "COM4", 2},
        {1, 1, 1, "LPT1", 10},
        {4, 1, 0, "LPT", 10},
        {9, 1, 0, "LPT", 10},
        {0, 0, 0, "COM0", 1},
        {-2147483647 - 1, 0, 0, "COM-214", 1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PortName(c.number, c.lpt), c.name);
        EXPECT_EQ(InterfaceKindFor(c.lpt, c.extension), c.kind);
    }
    std::int32_t number = 0;
    std::uint8_t lpt = 0;
    EXPECT_TRUE(ParsePortName("LPT", number, lpt));
    EXPECT_EQ(number, 4);
    EXPECT_EQ(lpt, 1);
    EXPECT_FALSE(ParsePortName("COM5", number, lpt));
    EXPECT_FALSE(ParsePortName("com1", number, lpt));
}

TEST(SettingsTexts, MessagesAreFilledWithNameAxesAndButtons) {
    const platform::JoystickCaps caps = Caps(3, 10, true, "Knüppel 3000");
    EXPECT_EQ(JoystickFoundText(caps),
              "Verbindung zum Joystick erfolgreich!\n\nTreiberbezeichnung: Knüppel 3000\n"
              "Achsen: 3\nButtons: 10");
    const std::string other = OtherJoystickText(caps);
    EXPECT_EQ(other.rfind("\nTreiberbezeichnung: Knüppel 3000\nAchsen: 3\nButtons: 10\n\n"
                          "Achtung:\nWenn dieser Joystick",
                          0),
              0U);
    const std::string tail = "Einstellungsdatei \"settings.kmj\" löschen.";
    EXPECT_EQ(other.substr(other.size() - tail.size()), tail);
    EXPECT_EQ(MotorPanelTitle(1, 3), "Motor 8");
}

TEST_F(SettingsFileTest, HeaderCasesByFileContents) {
    JoySettings saved = FreshSettings(Caps(4, 8, true), true);
    saved.portNumber = 3;
    const Bytes good = ToBytes(EncodeSettings(saved));
    const auto with = [&good](std::size_t offset, std::uint8_t value) {
        Bytes bytes = good;
        bytes[offset] = value;
        return bytes;
    };
    const auto text = [](const std::string& s) { return Bytes(s.begin(), s.end()); };
    Bytes longer = good;
    longer.resize(400, 0xEE);
    struct Case {
        const char* what;
        std::optional<Bytes> bytes;
        platform::JoystickCaps caps;
        HeaderStatus status;
        bool other;
    };
    const Case cases[] = {
        {"first start", std::nullopt, Caps(2, 4, true), HeaderStatus::kMissing, false},
        {"same joystick", good, Caps(4, 8, true), HeaderStatus::kUsable, false},
        {"same joystick, another mask", good, Caps(4, 8, false), HeaderStatus::kUsable, false},
        {"more buttons", good, Caps(4, 9, true), HeaderStatus::kUsable, true},
        {"fewer axes", good, Caps(3, 8, true), HeaderStatus::kUsable, true},
        {"same counts, empty mask", good, platform::JoystickCaps{"Leer", 4, 8, false, 0},
         HeaderStatus::kUsable, true},
        {"longer than 166 bytes", longer, Caps(4, 8, true), HeaderStatus::kUsable, false},
        {"DELETED", text("DELETED - Bitte starten Sie KinemoJoy neu."), Caps(4, 8, true),
         HeaderStatus::kDeleted, false},
        {"DELET", text("DELET"), Caps(4, 8, true), HeaderStatus::kDeleted, false},
        {"another version", with(4, '3'), Caps(4, 8, true), HeaderStatus::kForeign, false},
        {"empty", Bytes{}, Caps(4, 8, true), HeaderStatus::kForeign, false},
        {"DELE", text("DELE"), Caps(4, 8, true), HeaderStatus::kForeign, false},
        {"module without its motors", with(18, 4), Caps(4, 8, true), HeaderStatus::kForeign, false},
        {"lptPort 2", with(17, 2), Caps(4, 8, true), HeaderStatus::kForeign, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(path_);
        if (c.bytes) {
            Write(*c.bytes);
        }
        JoySettings settings;
        const HeaderResult header = ReadSettingsHeader(path_, c.caps, settings);
        EXPECT_EQ(header.status, c.status);
        EXPECT_EQ(header.otherJoystick, c.other);
        EXPECT_EQ(header.ConnectNow(), c.status == HeaderStatus::kUsable);
        EXPECT_EQ(header.AskForPort(), c.status != HeaderStatus::kUsable);
        EXPECT_EQ(header.ShowForeignWarning(), c.status == HeaderStatus::kForeign);
        // The mask is always the current joystick's; the counts too for
        // another joystick or without usable settings.
        EXPECT_EQ(settings.joystickCaps, c.caps.mask);
        if (c.other || c.status != HeaderStatus::kUsable) {
            EXPECT_EQ(settings.joystickButtons, c.caps.buttons);
            EXPECT_EQ(settings.joystickAxes, c.caps.axes);
        }
        if (c.status == HeaderStatus::kUsable) {
            EXPECT_EQ(settings.portNumber, 3);
            EXPECT_EQ(settings.motorCount, 8U);
        } else {
            EXPECT_EQ(settings.portNumber, 0);
            EXPECT_EQ(settings.motorCount, 4U);
        }
        EXPECT_EQ(LoadSettings(path_, settings),
                  c.status == HeaderStatus::kUsable ? LoadStatus::kLoaded : LoadStatus::kDefaults);
        EXPECT_EQ(Read(), c.bytes.value_or(Bytes{})) << "reading never changes the file";
    }
}

TEST_F(SettingsFileTest, EveryTruncationIsDamagedAndKeepsTheDefaults) {
    JoySettings saved = FreshSettings(Caps(2, 4, false));
    saved.mappings[0].fixedSpeed = 42;
    const Bytes good = ToBytes(EncodeSettings(saved));
    const JoySettings defaults = FreshSettings(Caps(2, 4, false));
    for (std::size_t length = 0; length < kSettingsFileSize; ++length) {
        Write(Bytes(good.begin(), good.begin() + length));
        HeaderResult header;
        const JoySettings settings = StartUp(Caps(2, 4, false), &header);
        ASSERT_EQ(header.status, HeaderStatus::kForeign) << length;
        ASSERT_TRUE(settings.mappings == defaults.mappings) << length;
        ASSERT_EQ(Read().size(), length) << "the file is left for the orderly end";
    }
}

TEST_F(SettingsFileTest, SavedAndLoadedMappingsComeBackByteForByte) {
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        JoySettings saved = FreshSettings(Caps(6, 32, true), (round % 2) != 0);
        saved.moduleShown = static_cast<std::uint8_t>(round % 2);
        saved.portNumber = round % 5;
        for (MotorMapping& m : saved.mappings) {
            std::uint8_t* bytes = reinterpret_cast<std::uint8_t*>(&m);
            for (std::size_t i = 0; i < sizeof m; ++i) {
                bytes[i] = static_cast<std::uint8_t>(random() % 8);
            }
        }
        saved.offSwitchOn = round % 2;
        saved.offButtonOn = 1 - round % 2;
        saved.offSwitchInput = round % 8;
        saved.offButtonIndex = round % 32;
        ASSERT_TRUE(SaveSettings(path_, saved));
        const Bytes written = Read();
        const JoySettings loaded = StartUp(Caps(6, 32, true));
        EXPECT_TRUE(loaded.mappings == saved.mappings);
        EXPECT_EQ(loaded.moduleShown, 0) << "the window always starts on Hauptmodul";
        JoySettings again = loaded;
        again.moduleShown = saved.moduleShown;
        EXPECT_EQ(ToBytes(EncodeSettings(again)), written);
    }
}

// Saved for a joystick with six axes, twelve buttons and a hat, read with
// three axes and four buttons: positions with an entry bind as before (M5 on
// "Z"), those without bind nothing and keep the stored position.
TEST_F(SettingsFileTest, AfterARestartStoredPositionsBindOnlyWhereTheListHasThem) {
    JoySettings saved = FreshSettings(Caps(6, 12, true), true);
    saved.mappings[SlotOf(1, 0)].dirFromAxis = 1;
    saved.mappings[SlotOf(1, 0)].axisIndex = 2;  // "Z"
    saved.mappings[SlotOf(1, 0)].speedAxisIndex = 2;
    saved.mappings[0].axisIndex = 5;      // "V"
    saved.mappings[2].axisIndex = 7;      // "POV2"
    saved.mappings[2].throttleIndex = 4;  // "U"
    saved.offButtonIndex = 11;
    ASSERT_TRUE(SaveSettings(path_, saved));
    HeaderResult header;
    const JoySettings loaded = StartUp(Caps(3, 4, false), &header);
    EXPECT_TRUE(header.otherJoystick);
    EXPECT_EQ(loaded.axisBindings[SlotOf(1, 0)], (AxisBinding{AxisSource::kZ, HatMode::kAxis}));
    EXPECT_EQ(loaded.axisBindings[0].source, AxisSource::kNone);
    EXPECT_EQ(loaded.axisBindings[2].source, AxisSource::kNone);
    EXPECT_EQ(loaded.throttleBindings[2].source, AxisSource::kNone);
    EXPECT_EQ(loaded.mappings[0].axisIndex, 5);
    EXPECT_EQ(loaded.offButtonIndex, -1);
}

// Every input and button held, the box answering the inverse of each word.
TEST_F(SettingsFileTest, RandomFilesNeverCrashAndNeverPutAThreeOnTheWire) {
    platform::JoystickSystem system;
    platform::JoystickPosition held = test::At(0, 65535, 4500, 0xFFFFFFFFU);
    held.axes = {0, 65535, 0, 65535, 0, 65535};
    const Replay replay = test::MakeReplay(Caps(6, 32, true), std::vector(20, held));
    std::mt19937 random(11);
    for (int round = 0; round < 400; ++round) {
        Bytes bytes(random() % 400);
        for (std::uint8_t& b : bytes) {
            b = static_cast<std::uint8_t>(random());
        }
        if (round % 2 == 0 && bytes.size() > 21) {
            std::memcpy(bytes.data(), "KMJ14", 5);
            bytes[16] = round % 4 == 0 ? 1 : 0;
            bytes[17] = 0;
            bytes[18] = round % 4 == 0 ? 8 : 4;
            bytes[19] = bytes[20] = bytes[21] = 0;
        }
        Write(bytes);
        ReplaySource source(replay);
        test::ScriptedLink link;
        link.inputs = [&link](std::size_t n) { return n == 0 ? 0U : ~link.outputs[n - 1]; };
        test::RunOnce(StartUp(Caps(6, 32, true)), source, link);
        for (const std::uint32_t word : link.outputs) {
            ASSERT_EQ(word >> 16, 0U) << round;
            for (int k = 0; k < 8; ++k) {
                ASSERT_NE((word >> (2 * k)) & 3U, 3U) << round;
            }
        }
    }
}

TEST_F(SettingsFileTest, SavingReplacesTheFileWholeKeepsItsModeAndRefusesFolders) {
    ASSERT_TRUE(SaveSettings(path_, FreshSettings(Caps(2, 4, false))));
    ASSERT_EQ(::chmod(path_.c_str(), 0604), 0);
    ASSERT_TRUE(SaveSettings(path_, FreshSettings(Caps(3, 5, true))));
    struct stat info {};
    ASSERT_EQ(::stat(path_.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0604U);
    EXPECT_EQ(Read()[5], 5);
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder_)) {
        ++entries;
    }
    EXPECT_EQ(entries, 1U) << "no temporary file is left behind";
    // The reset with restart leaves only the text the header reader takes.
    ASSERT_TRUE(WriteDeletedFile(path_));
    EXPECT_EQ(Read(), Bytes(kDeletedFileText, kDeletedFileText + std::strlen(kDeletedFileText)));

    EXPECT_FALSE(SaveSettings(folder_, FreshSettings(Caps(2, 4, false))));
    EXPECT_FALSE(SaveSettings(folder_ + "/missing/settings.kmj", FreshSettings(Caps(2, 4, false))));
    EXPECT_FALSE(SaveSettings("", FreshSettings(Caps(2, 4, false))));
    JoySettings settings;
    EXPECT_EQ(ReadSettingsHeader(folder_, Caps(2, 4, false), settings).status,
              HeaderStatus::kMissing);
}

}  // namespace
}  // namespace kinemo::joy
