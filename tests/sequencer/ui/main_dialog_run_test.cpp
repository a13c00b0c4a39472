// Runs from the main window against the simulated box through the real driver
// library: status texts, buttons, tick counts, emergency stop, a lost line,
// and the live strip. (Runs themselves: the player and run control tests.)
#include <QEvent>
#include <QLabel>

#include "sequencer/engine/interface_binding.h"
#include "sequencer/ui/live_panel.h"
#include "simulator/simulated_box.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

// Calls `paint` at every paint of the watched control.
struct PaintWatch : QObject {
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            paint();
        }
        return false;
    }
    std::function<void()> paint;
};

class MainDialogRunTest : public MainDialogFixture {
  protected:
    void SetUp() override {
        ASSERT_TRUE(engine::ConnectInterface(driverLink, "COM1", nullptr)) << box.error();
        MainDialogFixture::SetUp();
        watch.paint = [this] { painted.push_back(Status()); };
        Get<QLabel>(kIdStatus)->installEventFilter(&watch);
    }
    // The fixture's TearDown ends the dialog and its player before the box goes.
    engine::InterfaceLink& Link() override { return driverLink; }

    bool Painted(const std::string& text) { return std::ranges::count(painted, text) > 0; }

    // The shown movement's motors stop after `ticks` ticks; 0: never by themselves.
    void LimitShownMovement(int ticks) {
        for (int m = 0; m < engine::kMotorCount; ++m) {
            ticks > 0 ? Type(PanelIds(m).maxDurationEdit, QString::number(ticks))
                      : Click(PanelIds(m).maxDurationCheck);
        }
    }
    std::uint64_t Ticks() { return box.Snapshot().ticks; }
    std::string Live(const char* name) {
        auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
        return label != nullptr ? label->text().toStdString() : std::string("no ") + name;
    }
    bool Lamp(int input) {
        auto* lamp = dialog->findChild<QLabel*>(QStringLiteral("liveE%1").arg(input));
        return lamp != nullptr && lamp->property("on").toBool();
    }
    std::uint64_t ShownTicks() { return std::stoull(Live("liveTicks").substr(7)); }  // "Ticks: N"

    simulator::SimulatedBox box{simulator::SimulatedBoxOptions::FastLine()};
    kinemo::testing::ScopedPortOverride com1{"COM1", box.Start()};
    engine::DriverLink driverLink;
    // The status line's text at every paint: what the user saw, even when the
    // text changes again within one handler.
    std::vector<std::string> painted;
    PaintWatch watch;
};

// The shown movement alone, then the list in one go (a test played once with
// the endless loop checked: the run control tests). Ticks:
// the opening exchange, the movements', the run's closing all-off and the
// player's once more; at 100 % a motor is on in every running tick.
TEST_F(MainDialogRunTest, RunListAndTestMovementPlayTheirTicksAndFinish) {
    Click(PanelIds(0).right);
    LimitShownMovement(30);
    Click(kIdAdd);
    Click(PanelIds(1).left);
    LimitShownMovement(20);
    using Counts = std::vector<std::uint64_t>;
    for (const auto& [button, counts] :
         {std::pair{kIdTestMovement, Counts{23, 0, 19}}, {kIdRunList, Counts{53, 29, 19}}}) {
        const Counts& expected = counts;  // a structured binding cannot be captured (clang 14)
        SCOPED_TRACE(button);
        const simulator::BoxSnapshot before = box.Snapshot();
        painted.clear();
        Click(button);
        // "Berechnen..." painted before the computation; both buttons off during the run.
        const auto buttons = [&] {
            return dialog->IsEnabled(kIdTestMovement) + dialog->IsEnabled(kIdRunList);
        };
        const std::tuple during(Painted("Berechnen..."), Status(), buttons());
        ASSERT_TRUE(WaitUntil([&] { return Status() == "Fertig"; }));
        ASSERT_TRUE(WaitUntil([&] { return Ticks() >= before.ticks + expected[0]; }));
        const simulator::BoxSnapshot after = box.Snapshot();
        EXPECT_EQ(std::tuple(during, buttons(),
                             Counts{after.ticks - before.ticks,
                                    after.motors[0].onTicks - before.motors[0].onTicks,
                                    after.motors[1].onTicks - before.motors[1].onTicks},
                             after.outputs),
                  std::tuple(std::tuple(true, "Ausführen...", 0), 2, expected, 0));
    }
}

// The live strip follows the run: inputs forced in the box light their lamps
// and count M1's impulses against its limit; after the stop its last values
// stay, whatever redraws.
TEST_F(MainDialogRunTest, EmergencyStopShowsAbgebrochenThenFertigAndTheLiveStripFollowsTheRun) {
    Type(kIdMovementName, QStringLiteral("Heben"));
    Click(PanelIds(2).left);
    LimitShownMovement(0);
    Click(PanelIds(0).maxImpulsesCheck);
    Type(PanelIds(0).impulseEdit, QStringLiteral("4"));
    Get<QComboBox>(PanelIds(0).impulseInput)->setCurrentIndex(2);  // E3
    Click(kIdRunList);
    ASSERT_TRUE(WaitUntil([&] { return ShownTicks() > 20; }));
    EXPECT_EQ(box.Snapshot().motors[2].state, 1);
    EXPECT_EQ(Status() + Live("liveMovement") + Live("liveImpulses1"),
              "Ausführen...Bewegung 0: HebenM1: 0 / 4 Impulse an E3");
    box.ForceInput(3, simulator::InputForce::kOn);  // M3's carriage feeds only E5 and E6
    box.ForceInput(7, simulator::InputForce::kOn);
    ASSERT_TRUE(WaitUntil([&] { return Lamp(3) && Lamp(7) && !Lamp(1) && !Lamp(8); }));
    box.ForceInput(3, simulator::InputForce::kOff);
    ASSERT_TRUE(WaitUntil([&] { return !Lamp(3) && Lamp(7); }));
    EXPECT_TRUE(WaitUntil([&] { return Live("liveImpulses1") == "M1: 2 / 4 Impulse an E3"; }))
        << Live("liveImpulses1");
    EXPECT_TRUE(WaitUntil([&] { return std::atoi(Live("liveRate").c_str()) > 0; }));

    Click(kIdEmergencyStop);
    EXPECT_EQ(Status(), "Abgebrochen");
    ASSERT_TRUE(WaitUntil([&] { return Status() == "Fertig"; }));
    EXPECT_TRUE(dialog->IsEnabled(kIdRunList) && dialog->IsEnabled(kIdTestMovement) &&
                !dialog->Run().Running() && box.Snapshot().outputs == 0);
    ASSERT_TRUE(WaitUntil([&] {
        return !dialog->Run().Live().Read().running &&
               ShownTicks() == dialog->Run().Live().Read().ticks;
    }));
    const std::string shown = Live("liveRate") + Live("liveTicks") + Live("liveMovement");
    dialog->findChild<LivePanel*>()->Refresh();
    dialog->findChild<LivePanel*>()->Refresh();
    EXPECT_EQ(Live("liveRate") + Live("liveTicks") + Live("liveMovement"), shown);
    EXPECT_TRUE(Lamp(7));
}

// The line goes away mid-run: one box with the program's title, the run
// counted as broken off (never "Fertig"), the buttons back for a new try.
TEST_F(MainDialogRunTest, LostLineShowsOneBoxAndNeverFertig) {
    Click(PanelIds(0).left);
    LimitShownMovement(0);
    messages.Answer(platform::MessageResult::kOk);
    Click(kIdRunList);
    ASSERT_TRUE(WaitUntil([&, target = Ticks() + 20] { return Ticks() >= target; }));
    box.CloseLine();
    ASSERT_TRUE(WaitUntil([&] { return dialog->IsEnabled(kIdRunList); }));
    ASSERT_EQ(messages.Requests().size(), 1u);
    EXPECT_EQ(std::tuple(Status(), Painted("Fertig"),
                         platform::EffectiveCaption(messages.Requests()[0]) + ": " +
                             messages.Requests()[0].text),
              std::tuple("Abgebrochen", false,
                         platform::ProgramTitle() + ": Verbindung zum Interface verloren"));
}

}  // namespace
}  // namespace kinemo::ui::testing
