// Runs from the main window against the simulated box, through the real
// driver library: status texts, buttons, emergency stop, the endless loop,
// and the live strip (inputs forced in the box light their lamps, movement,
// ticks and rate follow the run, the last values stay after it).
#include <QEvent>
#include <QLabel>
#include <QVariant>
#include <cstdio>
#include <string>

#include "sequencer/engine/interface_binding.h"
#include "sequencer/ui/live_panel.h"
#include "simulator/simulated_box.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

// Records the status line's text at every paint, so a test sees what the
// user saw even when the text changes again within one handler.
class PaintedTexts : public QObject {
  public:
    explicit PaintedTexts(QLabel* label) : label_(label) { label->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == label_ && event->type() == QEvent::Paint) {
            texts.push_back(label_->text().toStdString());
        }
        return false;
    }
    bool Saw(const std::string& text) const {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }
    std::vector<std::string> texts;

  private:
    QLabel* label_;
};

class MainDialogRunTest : public MainDialogFixture {
  protected:
    void SetUp() override {
        device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
        port = std::make_unique<kinemo::testing::ScopedPortOverride>("COM1", device);
        ASSERT_TRUE(engine::ConnectInterface(driverLink, "COM1", nullptr));
        diagnostics = std::tmpfile();
        MainDialogFixture::SetUp();
        painted = std::make_unique<PaintedTexts>(Get<QLabel>(kIdStatus));
    }
    void TearDown() override {
        painted.reset();
        MainDialogFixture::TearDown();  // the dialog stops its player first
        box.Stop();
        if (diagnostics != nullptr) {
            std::fclose(diagnostics);
        }
    }
    engine::InterfaceLink& Link() override { return driverLink; }

    // Every motor of the shown movement stops after `ticks` ticks.
    void LimitShownMovement(int ticks) {
        for (int m = 0; m < engine::kMotorCount; ++m) {
            Type(PanelIds(m).maxDurationEdit, QString::number(ticks));
        }
    }

    // Unchecks every "Max. dauer:" box: the movement never ends by itself.
    void UnlimitShownMovement() {
        for (int m = 0; m < engine::kMotorCount; ++m) {
            Click(PanelIds(m).maxDurationCheck);
        }
    }

    bool WaitForStatus(const std::string& text) {
        return WaitUntil([&] { return Status() == text; });
    }

    std::uint64_t Ticks() { return box.Snapshot().ticks; }

    std::string Live(const char* name) {
        auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
        EXPECT_NE(label, nullptr) << name;
        return label != nullptr ? label->text().toStdString() : std::string();
    }
    bool Lamp(int input) {
        auto* lamp = dialog->findChild<QLabel*>(QStringLiteral("liveE%1").arg(input));
        EXPECT_NE(lamp, nullptr) << input;
        return lamp != nullptr && lamp->property("on").toBool();
    }
    std::uint64_t ShownTicks() { return std::stoull(Live("liveTicks").substr(7)); }  // "Ticks: N"

    // Waits until the box has answered `more` exchanges beyond now.
    bool WaitForMoreTicks(std::uint64_t more) {
        const std::uint64_t target = Ticks() + more;
        return WaitUntil([&] { return Ticks() >= target; });
    }

    simulator::SimulatedBox box{simulator::SimulatedBoxOptions::FastLine()};
    std::string device;
    std::unique_ptr<kinemo::testing::ScopedPortOverride> port;
    engine::DriverLink driverLink;
    std::unique_ptr<PaintedTexts> painted;
};

TEST_F(MainDialogRunTest, RunListComputesPlaysAndFinishes) {
    Click(PanelIds(0).right);
    LimitShownMovement(30);
    Click(kIdAdd);
    Click(PanelIds(1).left);
    LimitShownMovement(20);
    const std::uint64_t before = Ticks();

    Click(kIdRunList);
    EXPECT_TRUE(painted->Saw("Berechnen..."));  // painted before the computation
    EXPECT_FALSE(dialog->IsEnabled(kIdTestMovement));
    EXPECT_FALSE(dialog->IsEnabled(kIdRunList));
    EXPECT_EQ(Status(), "Ausführen...");
    ASSERT_TRUE(WaitForStatus("Fertig"));
    EXPECT_TRUE(dialog->IsEnabled(kIdTestMovement));
    EXPECT_TRUE(dialog->IsEnabled(kIdRunList));

    // Opening exchange, 30 + 20 ticks of the two movements, the run's closing
    // all-off and the window's all-off at the end of the run.
    ASSERT_TRUE(WaitUntil([&] { return Ticks() >= before + 53; }));
    const simulator::BoxSnapshot after = box.Snapshot();
    EXPECT_EQ(after.ticks, before + 53);
    EXPECT_EQ(after.outputs, 0);
    EXPECT_EQ(after.motors[0].onTicks, 29u);  // 100 %: on in every running tick
    EXPECT_EQ(after.motors[1].onTicks, 19u);
    EXPECT_EQ(after.motors[1].state, 0);
}

TEST_F(MainDialogRunTest, EmergencyStopShowsAbgebrochenThenFertigAndTheLiveStripFollowsTheRun) {
    for (int input = 1; input <= 8; ++input) {
        EXPECT_FALSE(Lamp(input));
    }
    EXPECT_EQ(Live("liveMovement"), "Bewegung: -");
    Type(kIdMovementName, QStringLiteral("Heben"));
    Click(PanelIds(2).left);
    UnlimitShownMovement();
    Click(kIdRunList);
    ASSERT_TRUE(WaitForMoreTicks(50));
    EXPECT_EQ(Status(), "Ausführen...");
    EXPECT_EQ(box.Snapshot().motors[2].state, 1);
    ASSERT_TRUE(WaitUntil([&] { return ShownTicks() > 20; }));
    EXPECT_EQ(Live("liveMovement"), "Bewegung 0: Heben");
    EXPECT_EQ(Live("liveImpulses1"), "M1: 0");
    // Inputs forced in the box appear, and go again (M3's carriage feeds
    // only E5 and E6).
    box.ForceInput(3, simulator::InputForce::kOn);
    box.ForceInput(7, simulator::InputForce::kOn);
    ASSERT_TRUE(WaitUntil([&] { return Lamp(3) && Lamp(7); }));
    EXPECT_FALSE(Lamp(1));
    EXPECT_FALSE(Lamp(8));
    box.ForceInput(3, simulator::InputForce::kOff);
    ASSERT_TRUE(WaitUntil([&] { return !Lamp(3) && Lamp(7); }));
    ASSERT_TRUE(WaitUntil([&] { return Live("liveRate") != "- Ticks/s"; }));
    EXPECT_GT(std::stoi(Live("liveRate")), 0);

    Click(kIdEmergencyStop);
    EXPECT_EQ(Status(), "Abgebrochen");
    ASSERT_TRUE(WaitForStatus("Fertig"));
    EXPECT_TRUE(dialog->IsEnabled(kIdRunList));
    EXPECT_TRUE(dialog->IsEnabled(kIdTestMovement));
    EXPECT_EQ(box.Snapshot().outputs, 0);
    EXPECT_FALSE(dialog->Run().Running());  // nothing is sent once the run has ended
    // Once the player has published its final exchange the strip stands
    // still: redraws after the run change nothing.
    ASSERT_TRUE(WaitUntil([&] { return !dialog->Run().Live().Read().running; }));
    ASSERT_TRUE(WaitUntil([&] { return ShownTicks() == dialog->Run().Live().Read().ticks; }));
    const std::string rate = Live("liveRate");
    auto* panel = dialog->findChild<LivePanel*>();
    ASSERT_NE(panel, nullptr);
    panel->Refresh();
    panel->Refresh();
    EXPECT_EQ(ShownTicks(), dialog->Run().Live().Read().ticks);
    EXPECT_EQ(Live("liveRate"), rate);
    EXPECT_EQ(Live("liveMovement"), "Bewegung 0: Heben");
    EXPECT_TRUE(Lamp(7));
}

TEST_F(MainDialogRunTest, LiveStripCountsImpulsesAgainstTheirLimit) {
    const MotorPanelIds m1 = PanelIds(0);
    Click(m1.maxDurationCheck);
    Click(m1.maxImpulsesCheck);
    Type(m1.impulseEdit, QStringLiteral("4"));
    Get<QComboBox>(m1.impulseInput)->setCurrentIndex(2);  // E3
    Click(kIdTestMovement);
    ASSERT_TRUE(WaitUntil([&] { return ShownTicks() > 5; }));  // the run is under way
    // Two changes of E3 count two impulses.
    box.ForceInput(3, simulator::InputForce::kOn);
    ASSERT_TRUE(WaitUntil([&] { return Lamp(3); }));
    box.ForceInput(3, simulator::InputForce::kOff);
    EXPECT_TRUE(WaitUntil([&] { return Live("liveImpulses1") == "M1: 2 / 4 Impulse an E3"; }))
        << Live("liveImpulses1");
    Click(kIdEmergencyStop);
    ASSERT_TRUE(WaitForStatus("Fertig"));
}

// The line goes away mid-run: one box with the program's title, the run
// counted as broken off (never "Fertig"), the buttons back for a new try.
TEST_F(MainDialogRunTest, LostLineShowsOneBoxAndNeverFertig) {
    Click(PanelIds(0).left);
    UnlimitShownMovement();
    messages.Answer(platform::MessageResult::kOk);
    Click(kIdRunList);
    ASSERT_TRUE(WaitForMoreTicks(20));
    box.CloseLine();
    ASSERT_TRUE(WaitUntil([&] { return dialog->IsEnabled(kIdRunList); }));
    EXPECT_EQ(Status(), "Abgebrochen");
    EXPECT_FALSE(painted->Saw("Fertig"));
    ASSERT_EQ(messages.Requests().size(), 1u);
    EXPECT_EQ(messages.Requests()[0].text.toStdString(), "Verbindung zum Interface verloren");
    EXPECT_EQ(platform::EffectiveCaption(messages.Requests()[0]), platform::ProgramTitle());
}

TEST_F(MainDialogRunTest, TestMovementRunsOnceEvenWithTheEndlessLoopChecked) {
    LimitShownMovement(10);
    Click(kIdAdd);
    Click(PanelIds(3).right);
    LimitShownMovement(15);
    Click(kIdEndlessLoop);
    const std::uint64_t before = Ticks();

    Click(kIdTestMovement);
    EXPECT_TRUE(painted->Saw("Berechnen..."));
    ASSERT_TRUE(WaitForStatus("Fertig"));
    // One movement of 15 ticks between the opening and the two closing all-offs.
    ASSERT_TRUE(WaitUntil([&] { return Ticks() >= before + 18; }));
    EXPECT_EQ(Ticks(), before + 18);
    EXPECT_EQ(box.Snapshot().motors[3].onTicks, 14u);
    EXPECT_EQ(box.Snapshot().motors[0].onTicks, 0u);
    // The run was a value: the list and its endless-loop setting are unchanged.
    EXPECT_TRUE(dialog->IsChecked(kIdEndlessLoop));
    EXPECT_EQ(dialog->Run().Settings().endlessLoop.load(), 1);
    EXPECT_EQ(Movements().movementCount, 2);

    // "LOS!" repeats the whole list until the box is unchecked; the pass in
    // progress then ends the run.
    Click(kIdRunList);
    ASSERT_TRUE(WaitForMoreTicks(200));
    EXPECT_EQ(Status(), "Ausführen...");
    Click(kIdEndlessLoop);
    EXPECT_EQ(dialog->Run().Settings().endlessLoop.load(), 0);
    ASSERT_TRUE(WaitForStatus("Fertig"));
    EXPECT_EQ(box.Snapshot().outputs, 0);
}

}  // namespace
}  // namespace kinemo::ui::testing
