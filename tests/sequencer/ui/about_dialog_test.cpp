#include "sequencer/ui/about_dialog.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QLabel>

#include "tests/platform/dialog_test_support.h"
#include "tests/sequencer/ui/shell_test_support.h"

namespace kinemo::ui {
namespace {

using testing::TestApplication;

// Opening it from the main window and closing it with OK: SequencerApp tests.
TEST(AboutDialog, ShowsItsTextsAndTheProgramIcon) {
    TestApplication();
    AboutDialog dialog;
    platform::testing::ExpectSameAsStored(
        platform::testing::ControlInventory(dialog),
        QStringLiteral(KINEMO_EXPECTED_DIR "/about_dialog_controls.txt"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Info über Kinemo"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("100"));
    EXPECT_EQ(dialog.Control<QLabel>(kAboutIconId)->pixmap().size(), QSize(32, 32));
    EXPECT_FALSE(dialog.windowIcon().isNull());
}

TEST(AboutDialog, TextsFitAtTheSystemFontAndAtOthers) {
    TestApplication();
    AboutDialog dialog;
    platform::testing::ExpectTextsFit(dialog);
    for (const char* family : {"DejaVu Sans Mono", "DejaVu Serif"}) {
        QFont font(QString::fromLatin1(family), QApplication::font().pointSize() * 2, QFont::Bold);
        dialog.setFont(font);
        SCOPED_TRACE(family);
        platform::testing::ExpectTextsFit(dialog);
    }
}

}  // namespace
}  // namespace kinemo::ui
