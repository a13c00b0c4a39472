// "Vorschau" from the main window's context menu: the profile of the list as
// the controls show it, in a window of its own, without touching the rows of
// the run control.
#include <QAction>
#include <QImage>
#include <QMenu>
#include <QRadioButton>
#include <memory>

#include "sequencer/engine/speed_profile.h"
#include "sequencer/ui/preview_window.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

class PreviewWindowTest : public MainDialogFixture {
  protected:
    PreviewWindow* OpenFromMenu() {
        EXPECT_NE(dialog->ContextMenu(), nullptr);
        auto* entry = dialog->ContextMenu()->findChild<QAction*>(QString::number(kCommandPreview));
        EXPECT_NE(entry, nullptr);
        if (entry == nullptr) {
            return nullptr;
        }
        EXPECT_EQ(entry->text(), QStringLiteral("Vorschau"));
        entry->trigger();
        return dialog->findChild<PreviewWindow*>(QString::fromLatin1(kPreviewWindowName));
    }
};

TEST_F(PreviewWindowTest, ShowsTheListAsTheControlsHoldIt) {
    const MotorPanelIds m1 = PanelIds(0);
    Click(m1.right);
    Type(kIdMovementName, QStringLiteral("Heben"));
    Click(kIdAdd);  // a second movement with the defaults

    PreviewWindow* window = OpenFromMenu();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorschau"));

    const engine::SpeedProfile& profile = window->Profile();
    ASSERT_EQ(profile.movements.size(), 2u);
    EXPECT_EQ(profile.movements[0].name, "Heben");
    EXPECT_EQ(profile.movements[0].states[0], pulse::kMotorRight);
    EXPECT_EQ(profile.movements[1].name, "Neue Bewegung");
    EXPECT_EQ(profile.totalTicks, 250u);
    // M1 at 100 % to the right for its 124 ticks, nothing else on.
    std::uint32_t right = 0;
    for (const engine::ProfileWindow& w : profile.windows) {
        right += w.rightOn[0];
        for (int m = 0; m < engine::kMotorCount; ++m) {
            EXPECT_EQ(w.leftOn[m], 0u);
        }
    }
    EXPECT_EQ(right, 124u);

    // The window computed its own rows: the run control's are still empty.
    const std::uint8_t* row = dialog->Run().GetTimeline().Row(0);
    EXPECT_EQ(std::count(row, row + engine::kTimelineRowLength, 0),
              static_cast<long>(engine::kTimelineRowLength));

    // What the window paints: M1's lane is filled above its zero line.
    const QImage picture = window->grab().toImage();
    const engine::PlotScene& scene = window->Scene();
    const engine::PlotLane& lane = scene.lanes[0];
    const QColor fill =
        picture.pixelColor(static_cast<int>(scene.plotLeft + 20),
                           static_cast<int>(lane.top + (lane.Zero() - lane.top) / 2));
    EXPECT_EQ(fill,
              QColor(scene.polygons[0].fill.r, scene.polygons[0].fill.g, scene.polygons[0].fill.b));
}

TEST_F(PreviewWindowTest, OpeningAgainReusesTheWindowWithTheNewList) {
    PreviewWindow* first = OpenFromMenu();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->Profile().movements.size(), 1u);
    Click(kIdAdd);
    Click(kIdAdd);
    PreviewWindow* second = OpenFromMenu();
    EXPECT_EQ(second, first);
    EXPECT_EQ(dialog->findChildren<PreviewWindow*>().size(), 1);
    EXPECT_EQ(second->Profile().movements.size(), 3u);
}

}  // namespace
}  // namespace kinemo::ui::testing
