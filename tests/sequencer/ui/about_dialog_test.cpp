#include "sequencer/ui/about_dialog.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "platform/dialog_units.h"
#include "tests/sequencer/ui/shell_test_support.h"

namespace kinemo::ui {
namespace {

using testing::TestApplication;

TEST(AboutDialog, ShowsTitleTextsIconAndSize) {
    TestApplication();
    AboutDialog dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Info über Kinemo"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("100"));
    EXPECT_EQ(dialog.width(), platform::HorizontalUnitsToPixels(dialog.Units(), 235));
    EXPECT_EQ(dialog.height(), platform::VerticalUnitsToPixels(dialog.Units(), 95));

    EXPECT_EQ(dialog.Text(kAboutVersionId), QStringLiteral("Kinemo Version 3.1"));
    EXPECT_EQ(dialog.Text(kAboutDescriptionId),
              QStringLiteral("Programm zur Ansteuerung des Baukasten- Interfaces mit variablen "
                             "Motorgeschwindigkeiten"));
    for (int id : {kAboutAuthorId, kAboutContactId, kAboutWebId}) {
        EXPECT_FALSE(dialog.Text(id).isEmpty()) << id;
    }
    const QLabel* icon = dialog.Control<QLabel>(kAboutIconId);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
    EXPECT_FALSE(dialog.windowIcon().isNull());
    ASSERT_NE(dialog.Control<QPushButton>(platform::kIdOk), nullptr);
    EXPECT_EQ(dialog.Text(platform::kIdOk), QStringLiteral("OK"));
}

TEST(AboutDialog, TextsFitTheirFields) {
    TestApplication();
    AboutDialog dialog;
    for (int id : {kAboutVersionId, kAboutAuthorId, kAboutContactId, kAboutWebId}) {
        const QLabel* label = dialog.Control<QLabel>(id);
        ASSERT_NE(label, nullptr);
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
    }
    const QLabel* description = dialog.Control<QLabel>(kAboutDescriptionId);
    EXPECT_LE(description->heightForWidth(description->width()), description->height());
}

TEST(AboutDialog, OkClosesTheModalBox) {
    TestApplication();
    bool sawBox = false;
    // The box runs modally; a queued click on its OK button ends it.
    QTimer::singleShot(0, [&sawBox] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* about = qobject_cast<AboutDialog*>(w);
                about != nullptr && about->isVisible()) {
                sawBox = true;
                about->Control<QPushButton>(platform::kIdOk)->click();
            }
        }
    });
    // Should the click miss, the box is closed anyway so the test never hangs.
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->close();
        }
    });
    guard.start(20000);
    ShowAboutDialog(nullptr);
    EXPECT_TRUE(sawBox);
}

}  // namespace
}  // namespace kinemo::ui
