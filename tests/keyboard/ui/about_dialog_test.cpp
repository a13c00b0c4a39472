#include "keyboard/ui/about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>

#include "tests/platform/dialog_test_support.h"

namespace kinemo::keyboard::ui {
namespace {

TEST(SpeechAboutDialog, TextsIconAndFit) {
    AboutDialog dialog;
    platform::testing::ExpectSameAsStored(
        platform::testing::ControlInventory(dialog),
        QStringLiteral(KINEMO_EXPECTED_DIR "/about_dialog_controls.txt"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Info über KinemoSpeech"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("100"));
    EXPECT_EQ(dialog.Control<QLabel>(kAboutIconId)->pixmap().size(), QSize(32, 32));
    EXPECT_FALSE(dialog.windowIcon().isNull());
    platform::testing::ExpectTextsFit(dialog);
}

}  // namespace
}  // namespace kinemo::keyboard::ui
