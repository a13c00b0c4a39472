#include "keyboard/ui/about_dialog.h"

#include <gtest/gtest.h>

#include <QLabel>

namespace kinemo::keyboard::ui {
namespace {

TEST(SpeechAboutDialog, TitleTextsIconAndFit) {
    AboutDialog dialog;
    dialog.show();  // sizes are final once the window shows
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Info über KinemoSpeech"));
    EXPECT_EQ(dialog.objectName(), QStringLiteral("100"));
    EXPECT_EQ(dialog.Text(kAboutVersionId), QStringLiteral("KinemoSpeech Version 1.2"));
    EXPECT_EQ(dialog.Text(kAboutDescriptionId),
              QStringLiteral("Programm zur Ansteuerung des Baukasten- Interfaces mit variablen "
                             "Motorgeschwindigkeiten"));
    EXPECT_EQ(dialog.Text(kAboutEditionId),
              QStringLiteral("Echtzeit-\nSprach/\nTastatur-\nsteuerungs-\nVersion!"));
    const QLabel* icon = dialog.Control<QLabel>(kAboutIconId);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
    EXPECT_FALSE(dialog.windowIcon().isNull());
    EXPECT_EQ(dialog.Text(platform::kIdOk), QStringLiteral("OK"));
    for (int id : {kAboutVersionId, kAboutAuthorId, kAboutContactId, kAboutEditionId}) {
        const QLabel* label = dialog.Control<QLabel>(id);
        ASSERT_NE(label, nullptr);
        EXPECT_FALSE(label->text().isEmpty());
        EXPECT_LE(label->sizeHint().width(), label->width()) << label->text().toStdString();
        EXPECT_LE(label->sizeHint().height(), label->height()) << label->text().toStdString();
    }
    const QLabel* description = dialog.Control<QLabel>(kAboutDescriptionId);
    EXPECT_LE(description->heightForWidth(description->width()), description->height());
}

}  // namespace
}  // namespace kinemo::keyboard::ui
