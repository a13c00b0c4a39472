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

// The status line's text at every paint: what the user saw, even when the
// text changes again within one handler.
class PaintedTexts : public QObject {
  public:
    explicit PaintedTexts(QLabel* label) : label_(label) { label->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == label_ && event->type() == QEvent::Paint) {
            texts.push_back(label_->text().toStdString());
        }
        return false;
    }
    bool Saw(const std::string& text) const { return std::ranges::count(texts, text) > 0; }
    std::vector<std::string> texts;
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

    QLabel* LiveLabel(const QString& name) {
        auto* label = dialog->findChild<QLabel*>(name);
        EXPECT_NE(label, nullptr) << name.toStdString();
        return label != nullptr ? label : &missing;
    }
    std::string Live(const char* name) {
        return LiveLabel(QString::fromLatin1(name))->text().toStdString();
    }
    bool Lamp(int input) {
        return LiveLabel(QStringLiteral("liveE%1").arg(input))->property("on").toBool();
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
    QLabel missing;
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
    EXPECT_FALSE(dialog->IsEnabled(kIdTestMovement) || dialog->IsEnabled(kIdRunList));
    EXPECT_EQ(Status(), "Ausführen...");
    ASSERT_TRUE(WaitForStatus("Fertig"));
    EXPECT_TRUE(dialog->IsEnabled(kIdTestMovement) && dialog->IsEnabled(kIdRunList));

    // Opening exchange, 30 + 20 ticks of the two movements, the run's closing
    // all-off and the window's all-off at the end of the run.
    ASSERT_TRUE(WaitUntil([&] { return Ticks() >= before + 53; }));
    const simulator::BoxSnapshot after = box.Snapshot();
    EXPECT_EQ(after.ticks - before, 53u);
    EXPECT_EQ(after.outputs, 0);
    // 100 %: on in every running tick.
    EXPECT_EQ(std::pair(after.motors[0].onTicks, after.motors[1].onTicks),
              (std::pair<std::uint64_t, std::uint64_t>(29, 19)));
}

// The live strip follows the run: inputs forced in the box light their lamps
// and count M1's impulses against its limit; after the stop the last values
// stay.
TEST_F(MainDialogRunTest, EmergencyStopShowsAbgebrochenThenFertigAndTheLiveStripFollowsTheRun) {
    EXPECT_EQ(Live("liveMovement"), "Bewegung: -");
    Type(kIdMovementName, QStringLiteral("Heben"));
    Click(PanelIds(2).left);
    UnlimitShownMovement();
    Click(PanelIds(0).maxImpulsesCheck);
    Type(PanelIds(0).impulseEdit, QStringLiteral("4"));
    Get<QComboBox>(PanelIds(0).impulseInput)->setCurrentIndex(2);  // E3
    Click(kIdRunList);
    ASSERT_TRUE(WaitForMoreTicks(50));
    EXPECT_EQ(Status(), "Ausführen...");
    EXPECT_EQ(box.Snapshot().motors[2].state, 1);
    ASSERT_TRUE(WaitUntil([&] { return ShownTicks() > 20; }));
    EXPECT_EQ(Live("liveMovement"), "Bewegung 0: Heben");
    EXPECT_EQ(Live("liveImpulses1"), "M1: 0 / 4 Impulse an E3");
    // M3's carriage feeds only E5 and E6.
    box.ForceInput(3, simulator::InputForce::kOn);
    box.ForceInput(7, simulator::InputForce::kOn);
    ASSERT_TRUE(WaitUntil([&] { return Lamp(3) && Lamp(7) && !Lamp(1) && !Lamp(8); }));
    box.ForceInput(3, simulator::InputForce::kOff);
    ASSERT_TRUE(WaitUntil([&] { return !Lamp(3) && Lamp(7); }));
    EXPECT_TRUE(WaitUntil([&] { return Live("liveImpulses1") == "M1: 2 / 4 Impulse an E3"; }))
        << Live("liveImpulses1");
    ASSERT_TRUE(WaitUntil([&] { return Live("liveRate") != "- Ticks/s"; }));
    EXPECT_GT(std::stoi(Live("liveRate")), 0);

    Click(kIdEmergencyStop);
    EXPECT_EQ(Status(), "Abgebrochen");
    ASSERT_TRUE(WaitForStatus("Fertig"));
    EXPECT_TRUE(dialog->IsEnabled(kIdRunList) && dialog->IsEnabled(kIdTestMovement));
    EXPECT_EQ(box.Snapshot().outputs, 0);
    EXPECT_FALSE(dialog->Run().Running());
    // Once the player has published its final exchange, redraws change nothing.
    ASSERT_TRUE(WaitUntil([&] { return !dialog->Run().Live().Read().running; }));
    ASSERT_TRUE(WaitUntil([&] { return ShownTicks() == dialog->Run().Live().Read().ticks; }));
    const std::string rate = Live("liveRate");
    ASSERT_NE(dialog->findChild<LivePanel*>(), nullptr);
    dialog->findChild<LivePanel*>()->Refresh();
    dialog->findChild<LivePanel*>()->Refresh();
    EXPECT_EQ(ShownTicks(), dialog->Run().Live().Read().ticks);
    EXPECT_EQ(Live("liveRate") + Live("liveMovement"), rate + "Bewegung 0: Heben");
    EXPECT_TRUE(Lamp(7));
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
    EXPECT_EQ(std::pair(box.Snapshot().motors[0].onTicks, box.Snapshot().motors[3].onTicks),
              (std::pair<std::uint64_t, std::uint64_t>(0, 14)));
    // The run was a value: the list and its endless-loop setting are unchanged.
    EXPECT_TRUE(dialog->IsChecked(kIdEndlessLoop) && dialog->Run().Settings().endlessLoop.load());
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
