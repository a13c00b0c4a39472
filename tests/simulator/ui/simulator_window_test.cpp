// The simulator window on the offscreen platform, against a running box
// that a program's line drives.
#include "simulator/ui/simulator_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "tests/simulator/line_client.h"

namespace kinemo::simulator {
namespace {

using Bytes = std::vector<std::uint8_t>;

class SimulatorWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        path_ = box_.Start();
        ASSERT_FALSE(path_.empty()) << box_.error();
        client_ = std::make_unique<testing::LineClient>(path_);
        ASSERT_TRUE(client_->ok());
        window_ = std::make_unique<SimulatorWindow>(box_);
        window_->show();
    }

    template <typename T>
    T* Find(const QString& name) {
        T* widget = window_->findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QString Text(const QString& label) { return Find<QLabel>(label)->text(); }

    void Ticks(std::uint8_t out, int count) {
        for (int i = 0; i < count; ++i) {
            ASSERT_EQ(client_->Exchange({0xC1, out}, 1).size(), 1u);
        }
    }

    SimulatedBox box_{SimulatedBoxOptions::FastLine()};
    std::string path_;
    std::unique_ptr<testing::LineClient> client_;
    std::unique_ptr<SimulatorWindow> window_;
};

TEST_F(SimulatorWindowTest, ShowsTheBoxAsTheLatestSnapshotHasIt) {
    EXPECT_EQ(Text("devicePath").toStdString(), path_);
    EXPECT_EQ(Text("lineState"), QStringLiteral("Leitung offen"));
    EXPECT_EQ(Text("motor1Direction"), QStringLiteral("Aus"));
    EXPECT_EQ(window_->windowTitle(), QStringLiteral("Kinemo Interface-Simulator"));

    Ticks(0x02, 6);  // M1 right
    Ticks(0x00, 2);
    Ticks(0x06, 2);  // M1 right, M2 left
    window_->Refresh();
    Ticks(0x02, 4);
    Ticks(0x00, 4);
    window_->Refresh();
    EXPECT_EQ(Text("tickCount"), QStringLiteral("18"));
    EXPECT_EQ(Text("motor1Direction"), QStringLiteral("Aus"));
    EXPECT_EQ(Find<QProgressBar>("motor1Position")->value(), 1012);
    EXPECT_EQ(Find<QProgressBar>("motor2Position")->value(), 998);
    // Over the last second, which holds every tick since the window opened:
    // M1 was on in 12 of 18 ticks, M2 in 2.
    EXPECT_EQ(Text("motor1Speed"), QStringLiteral("67 %"));
    EXPECT_EQ(Text("motor2Speed"), QStringLiteral("11 %"));
    EXPECT_TRUE(Text("tickRate").endsWith(QStringLiteral(" / s")));

    Ticks(0x60, 1);  // M3 right, M4 left
    // The window's own timer picks it up.
    QTRY_COMPARE_WITH_TIMEOUT(Text("motor3Direction"), QStringLiteral("Rechts"), 5000);
    EXPECT_EQ(Text("motor4Direction"), QStringLiteral("Links"));

    box_.CloseLine();
    QTRY_COMPARE_WITH_TIMEOUT(Text("lineState"), QStringLiteral("Leitung geschlossen"), 5000);
}

TEST_F(SimulatorWindowTest, HeldButtonClosesItsInputUntilReleased) {
    QPushButton* e3 = Find<QPushButton>("input3");
    QTest::mousePress(e3, Qt::LeftButton);
    EXPECT_EQ(box_.forcedInput(3), InputForce::kOn);
    EXPECT_EQ(client_->Exchange({0xC1, 0x00}, 1), Bytes{0x04});
    window_->Refresh();
    EXPECT_TRUE(e3->property("active").toBool());
    QTest::mouseRelease(e3, Qt::LeftButton);
    EXPECT_EQ(box_.forcedInput(3), InputForce::kModel);
    EXPECT_EQ(client_->Exchange({0xC1, 0x00}, 1), Bytes{0x00});
    window_->Refresh();
    EXPECT_FALSE(e3->property("active").toBool());
}

TEST_F(SimulatorWindowTest, LatchedButtonTogglesItsInput) {
    QPushButton* e12 = Find<QPushButton>("input12");
    QTest::mouseClick(Find<QCheckBox>("input12Latched"), Qt::LeftButton);
    QTest::mouseClick(e12, Qt::LeftButton);
    EXPECT_EQ(box_.forcedInput(12), InputForce::kOn);
    EXPECT_EQ(client_->Exchange({0xC2, 0x00, 0x00}, 2), (Bytes{0x00, 0x08}));
    QTest::mouseClick(e12, Qt::LeftButton);
    EXPECT_EQ(box_.forcedInput(12), InputForce::kModel);
    // Unlatching a latched-on input releases it too.
    QTest::mouseClick(e12, Qt::LeftButton);
    QTest::mouseClick(Find<QCheckBox>("input12Latched"), Qt::LeftButton);
    EXPECT_EQ(box_.forcedInput(12), InputForce::kModel);
    EXPECT_FALSE(e12->isCheckable());
}

// A right click holds an input open against the model until clicked again;
// the reset button brings the carriages back.
TEST_F(SimulatorWindowTest, RightClickHoldsAnInputOpenAndResetBringsTheCarriagesBack) {
    Ticks(0x02, 8);  // E1 high from the model
    QPushButton* e1 = Find<QPushButton>("input1");
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(2, 2), e1->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(e1, &menu);
    EXPECT_EQ(box_.forcedInput(1), InputForce::kOff);
    EXPECT_EQ(client_->Exchange({0xC1, 0x00}, 1), Bytes{0x00});
    QApplication::sendEvent(e1, &menu);
    EXPECT_EQ(box_.forcedInput(1), InputForce::kModel);
    EXPECT_EQ(client_->Exchange({0xC1, 0x00}, 1), Bytes{0x01});

    QTest::mouseClick(Find<QPushButton>("resetModel"), Qt::LeftButton);
    Ticks(0x00, 1);
    window_->Refresh();
    EXPECT_EQ(Find<QProgressBar>("motor1Position")->value(), 1000);
}

}  // namespace
}  // namespace kinemo::simulator
