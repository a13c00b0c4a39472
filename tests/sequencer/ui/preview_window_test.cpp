// "Vorschau" from the main window's context menu: the profile of the list as
// the controls show it, in one window of its own that opening again reuses,
// without touching the rows of the run control.
#include <QAction>
#include <QImage>
#include <QMenu>

#include "sequencer/engine/speed_profile.h"
#include "sequencer/ui/preview_window.h"
#include "tests/sequencer/ui/main_dialog_test_support.h"

namespace kinemo::ui::testing {
namespace {

class PreviewWindowTest : public MainDialogFixture {
  protected:
    PreviewWindow* OpenFromMenu() {
        auto* entry = dialog->ContextMenu()->findChild<QAction*>(QString::number(kCommandPreview));
        EXPECT_EQ(entry->text(), QStringLiteral("Vorschau"));
        entry->trigger();
        return dialog->findChild<PreviewWindow*>(QString::fromLatin1(kPreviewWindowName));
    }
};

TEST_F(PreviewWindowTest, ShowsTheListAsTheControlsHoldIt) {
    Click(PanelIds(0).right);
    Type(kIdMovementName, QStringLiteral("Heben"));
    PreviewWindow* window = OpenFromMenu();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Profile().movements.size(), 1u);
    Click(kIdAdd);  // a second movement with the defaults
    ASSERT_EQ(OpenFromMenu(), window);
    EXPECT_EQ(dialog->findChildren<PreviewWindow*>().size(), 1);
    EXPECT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Vorschau"));

    const engine::SpeedProfile& profile = window->Profile();
    ASSERT_EQ(profile.movements.size(), 2u);
    EXPECT_EQ(profile.movements[0].name + profile.movements[1].name, "HebenNeue Bewegung");
    EXPECT_EQ(profile.movements[0].states[0], pulse::kMotorRight);
    EXPECT_EQ(profile.totalTicks, 250u);
    // M1 at 100 % to the right for its 124 ticks, nothing else on.
    std::uint32_t right = 0;
    std::uint32_t left = 0;
    for (const engine::ProfileWindow& w : profile.windows) {
        right += w.rightOn[0];
        for (int m = 0; m < engine::kMotorCount; ++m) {
            left += w.leftOn[m];
        }
    }
    EXPECT_EQ(right * 1000 + left, 124000u);
    const std::uint8_t* row = dialog->Run().GetTimeline().Row(0);
    EXPECT_EQ(std::count(row, row + engine::kTimelineRowLength, 0),
              static_cast<long>(engine::kTimelineRowLength));

    // What the window paints: M1's lane is filled above its zero line.
    const QImage picture = window->grab().toImage();
    const engine::PlotScene& scene = window->Scene();
    const engine::PlotLane& lane = scene.lanes[0];
    const engine::PlotColor fill = scene.polygons[0].fill;
    EXPECT_EQ(picture.pixelColor(static_cast<int>(scene.plotLeft + 20),
                                 static_cast<int>(lane.top + (lane.Zero() - lane.top) / 2)),
              QColor(fill.r, fill.g, fill.b));
}

}  // namespace
}  // namespace kinemo::ui::testing
