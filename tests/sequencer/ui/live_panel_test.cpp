// The live strip of the main window during runs against the simulated box:
// inputs forced in the box light their lamps, the movement, the tick count and
// the rate follow the run, and the last values stay after it.
#include <QLabel>
#include <QVariant>
#include <memory>
#include <string>

#include "sequencer/engine/interface_binding.h"
#include "sequencer/ui/live_panel.h"
#include "simulator/simulated_box.h"
#include "tests/platform/scoped_port_override.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

class LivePanelTest : public MainDialogFixture {
  protected:
    void SetUp() override {
        device = box.Start();
        ASSERT_FALSE(device.empty()) << box.error();
        port = std::make_unique<kinemo::testing::ScopedPortOverride>("COM1", device);
        ASSERT_TRUE(engine::ConnectInterface(driverLink, "COM1", nullptr));
        diagnostics = std::tmpfile();
        MainDialogFixture::SetUp();
    }
    void TearDown() override {
        MainDialogFixture::TearDown();
        box.Stop();
        if (diagnostics != nullptr) {
            std::fclose(diagnostics);
        }
    }
    engine::InterfaceLink& Link() override { return driverLink; }

    QLabel* Live(const QString& name) {
        auto* label = dialog->findChild<QLabel*>(name);
        EXPECT_NE(label, nullptr) << name.toStdString();
        return label;
    }
    std::string LiveText(const QString& name) { return Live(name)->text().toStdString(); }
    bool Lamp(int input) {
        return Live(QStringLiteral("liveE%1").arg(input))->property("on").toBool();
    }
    std::uint64_t ShownTicks() {
        return std::stoull(LiveText(QStringLiteral("liveTicks")).substr(7));  // "Ticks: N"
    }

    simulator::SimulatedBox box{simulator::SimulatedBoxOptions::FastLine()};
    std::string device;
    std::unique_ptr<kinemo::testing::ScopedPortOverride> port;
    engine::DriverLink driverLink;
};

TEST_F(LivePanelTest, FollowsTheRunAndKeepsItsLastValues) {
    for (int input = 1; input <= 8; ++input) {
        EXPECT_FALSE(Lamp(input));
    }
    EXPECT_EQ(LiveText(QStringLiteral("liveMovement")), "Bewegung: -");

    Type(kIdMovementName, QStringLiteral("Heben"));
    // No motor runs, so the box's carriages leave the inputs alone.
    for (int m = 0; m < engine::kMotorCount; ++m) {
        Click(PanelIds(m).maxDurationCheck);  // never ends by itself
    }
    Click(kIdRunList);
    ASSERT_TRUE(WaitUntil([&] { return ShownTicks() > 20; }));
    EXPECT_EQ(LiveText(QStringLiteral("liveMovement")), "Bewegung 0: Heben");
    EXPECT_EQ(LiveText(QStringLiteral("liveImpulses1")), "M1: 0");

    // Inputs forced in the box appear, and go again.
    box.ForceInput(3, simulator::InputForce::kOn);
    box.ForceInput(7, simulator::InputForce::kOn);
    ASSERT_TRUE(WaitUntil([&] { return Lamp(3) && Lamp(7); }));
    EXPECT_FALSE(Lamp(1));
    EXPECT_FALSE(Lamp(8));
    box.ForceInput(3, simulator::InputForce::kOff);
    ASSERT_TRUE(WaitUntil([&] { return !Lamp(3) && Lamp(7); }));
    ASSERT_TRUE(WaitUntil([&] { return LiveText(QStringLiteral("liveRate")) != "- Ticks/s"; }));
    EXPECT_GT(std::stoi(LiveText(QStringLiteral("liveRate"))), 0);

    Click(kIdEmergencyStop);
    ASSERT_TRUE(WaitUntil([&] { return Status() == "Fertig"; }));
    // Once the player has published its final exchange the strip stands still.
    ASSERT_TRUE(WaitUntil([&] { return !dialog->Run().Live().Read().running; }));
    ASSERT_TRUE(WaitUntil([&] { return ShownTicks() == dialog->Run().Live().Read().ticks; }));
    const std::string rate = LiveText(QStringLiteral("liveRate"));
    // Redraws after the run change nothing.
    auto* panel = dialog->findChild<LivePanel*>();
    ASSERT_NE(panel, nullptr);
    panel->Refresh();
    panel->Refresh();
    EXPECT_EQ(ShownTicks(), dialog->Run().Live().Read().ticks);
    EXPECT_EQ(LiveText(QStringLiteral("liveRate")), rate);
    EXPECT_EQ(LiveText(QStringLiteral("liveMovement")), "Bewegung 0: Heben");
    EXPECT_TRUE(Lamp(7));
}

TEST_F(LivePanelTest, ImpulsesAgainstTheirLimit) {
    const MotorPanelIds m1 = PanelIds(0);
    Click(m1.maxDurationCheck);
    Click(m1.maxImpulsesCheck);
    Type(m1.impulseEdit, QStringLiteral("4"));
    auto* input = Get<QComboBox>(m1.impulseInput);
    input->setCurrentIndex(2);  // E3
    Click(kIdTestMovement);
    ASSERT_TRUE(WaitUntil([&] { return ShownTicks() > 5; }));  // the run is under way
    // Two changes of E3 count two impulses.
    box.ForceInput(3, simulator::InputForce::kOn);
    ASSERT_TRUE(WaitUntil([&] { return Lamp(3); }));
    box.ForceInput(3, simulator::InputForce::kOff);
    EXPECT_TRUE(WaitUntil(
        [&] { return LiveText(QStringLiteral("liveImpulses1")) == "M1: 2 / 4 Impulse an E3"; },
        5000))
        << LiveText(QStringLiteral("liveImpulses1"));
    Click(kIdEmergencyStop);
    ASSERT_TRUE(WaitUntil([&] { return Status() == "Fertig"; }));
}

}  // namespace
}  // namespace kinemo::ui::testing
