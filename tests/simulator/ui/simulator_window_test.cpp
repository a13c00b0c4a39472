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
        ASSERT_TRUE(client_.ok()) << box_.error();
        window_.show();
    }
    template <typename T = QLabel>
    T* Find(const QString& name) {
        T* widget = window_.findChild<T*>(name);
        EXPECT_NE(widget, nullptr) << name.toStdString();
        return widget;
    }
    QString Text(const char* label) { return Find(label)->text(); }
    int Position(int motor) {
        return Find<QProgressBar>(QStringLiteral("motor%1Position").arg(motor))->value();
    }
    // `count` ticks with the Motor output word `out`; the inputs of the last.
    Bytes Ticks(std::uint8_t out, int count = 1) {
        Bytes answer;
        for (int i = 0; i < count; ++i) {
            answer = client_.Exchange({0xC1, out}, 1);
        }
        return answer;
    }
    SimulatedBox box_{SimulatedBoxOptions::FastLine()};
    std::string path_ = box_.Start();
    testing::LineClient client_{path_};
    SimulatorWindow window_{box_};
};

TEST_F(SimulatorWindowTest, ShowsTheBoxAsTheLatestSnapshotHasIt) {
    EXPECT_EQ(QStringList({window_.windowTitle(), Text("devicePath"), Text("lineState")}),
              QStringList(
                  {"Kinemo Interface-Simulator", QString::fromStdString(path_), "Leitung offen"}));
    Ticks(0x02, 6);  // M1 right
    Ticks(0x00, 2);
    Ticks(0x06, 2);  // M1 right, M2 left
    window_.Refresh();
    Ticks(0x02, 4);
    Ticks(0x00, 4);
    window_.Refresh();
    // Over the last second, which holds every tick since the window opened:
    // M1 was on in 12 of 18 ticks, M2 in 2.
    EXPECT_EQ(QStringList({Text("tickCount"), Text("motor1Direction"), Text("motor1Speed"),
                           Text("motor2Speed"), Text("tickRate").right(4)}),
              QStringList({"18", "Aus", "67 %", "11 %", " / s"}));
    EXPECT_EQ(std::pair(Position(1), Position(2)), std::pair(1012, 998));
    Ticks(0x60);  // M3 right, M4 left: the window's own timer picks it up
    QTRY_COMPARE_WITH_TIMEOUT(Text("motor3Direction"), QStringLiteral("Rechts"), 5000);
    EXPECT_EQ(Text("motor4Direction"), QStringLiteral("Links"));
    box_.CloseLine();
    QTRY_COMPARE_WITH_TIMEOUT(Text("lineState"), QStringLiteral("Leitung geschlossen"), 5000);
}

// A held button closes its input until released; a latched one toggles, and
// unlatching releases it; a right click holds an input open against the
// model until clicked again; the reset button brings the carriages back.
TEST_F(SimulatorWindowTest, InputButtonsAndReset) {
    QPushButton* e3 = Find<QPushButton>("input3");
    QTest::mousePress(e3, Qt::LeftButton);
    EXPECT_EQ(Ticks(0x00), Bytes{0x04});
    window_.Refresh();
    EXPECT_TRUE(e3->property("active").toBool());
    QTest::mouseRelease(e3, Qt::LeftButton);
    EXPECT_EQ(Ticks(0x00), Bytes{0x00});
    window_.Refresh();
    EXPECT_FALSE(e3->property("active").toBool());

    QPushButton* e12 = Find<QPushButton>("input12");
    QCheckBox* latched = Find<QCheckBox>("input12Latched");
    QTest::mouseClick(latched, Qt::LeftButton);
    QTest::mouseClick(e12, Qt::LeftButton);
    EXPECT_EQ(client_.Exchange({0xC2, 0x00, 0x00}, 2), (Bytes{0x00, 0x08}));
    QTest::mouseClick(e12, Qt::LeftButton);
    EXPECT_EQ(box_.forcedInput(12), InputForce::kModel);
    QTest::mouseClick(e12, Qt::LeftButton);
    QTest::mouseClick(latched, Qt::LeftButton);
    EXPECT_EQ(std::pair(box_.forcedInput(12), e12->isCheckable()),
              std::pair(InputForce::kModel, false));

    EXPECT_EQ(Ticks(0x02, 8), Bytes{0x01});  // E1 high from the model
    QPushButton* e1 = Find<QPushButton>("input1");
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(2, 2), e1->mapToGlobal(QPoint(2, 2)));
    QApplication::sendEvent(e1, &menu);
    EXPECT_EQ(Ticks(0x00), Bytes{0x00});
    QApplication::sendEvent(e1, &menu);
    EXPECT_EQ(Ticks(0x00), Bytes{0x01});
    QTest::mouseClick(Find<QPushButton>("resetModel"), Qt::LeftButton);
    Ticks(0x00);
    window_.Refresh();
    EXPECT_EQ(Position(1), 1000);
}

}  // namespace
}  // namespace kinemo::simulator
