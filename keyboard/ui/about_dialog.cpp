#include "keyboard/ui/about_dialog.h"

#include "keyboard/ui/resource_paths.h"

namespace kinemo::keyboard::ui {

platform::AboutBoxContent AboutContent() {
    resources::InitResources();
    return {
        QStringLiteral("Info über KinemoSpeech"),
        235,
        95,
        QString::fromLatin1(resources::kProgramIcon),
        {
            {platform::kAboutVersionId, QStringLiteral("KinemoSpeech Version 1.2"), 40, 10, 130, 8},
            {platform::kAboutDescriptionId, QString::fromUtf8(platform::kAboutDescriptionText), 40,
             22, 130, 26, Qt::AlignLeft, true},
            {kAboutAuthorId, QString::fromUtf8(platform::kAboutAuthorText), 40, 62, 130, 8},
            {kAboutContactId, QString::fromUtf8(platform::kAboutContactText), 40, 72, 135, 8},
            {kAboutEditionId,
             QStringLiteral("Echtzeit-\nSprach/\nTastatur-\nsteuerungs-\nVersion!"), 178, 28, 50,
             42},
        }};
}

AboutDialog::AboutDialog(QWidget* parent) : AboutBox(AboutContent(), parent) {}

}  // namespace kinemo::keyboard::ui
