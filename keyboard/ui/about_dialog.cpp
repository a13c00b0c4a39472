#include "keyboard/ui/about_dialog.h"

#include "keyboard/ui/resource_paths.h"
#include "platform/dialog_about.h"

namespace kinemo::keyboard::ui {

AboutDialog::AboutDialog(QWidget* parent)
    : DialogWindow(QStringLiteral("Info über KinemoSpeech"), 235, 95, parent) {
    resources::InitResources();
    const platform::AboutText texts[] = {
        {kAboutVersionId, QStringLiteral("KinemoSpeech Version 1.2"), 40, 10, 130, 8},
        {kAboutDescriptionId,
         QStringLiteral("Programm zur Ansteuerung des Baukasten- Interfaces mit variablen "
                        "Motorgeschwindigkeiten"),
         40, 22, 130, 26, Qt::AlignLeft, true},
        {kAboutAuthorId, QStringLiteral("© Kinemo-Projekt"), 40, 62, 130, 8},
        {kAboutContactId, QStringLiteral("Kontakt: kontakt@kinemo-projekt.example"), 40, 72, 135,
         8},
        {kAboutEditionId, QStringLiteral("Echtzeit-\nSprach/\nTastatur-\nsteuerungs-\nVersion!"),
         178, 28, 50, 42},
    };
    platform::BuildAboutBox(*this, QString::fromLatin1(resources::kProgramIcon), kAboutIconId,
                            texts);
}

void ShowAboutDialog(QWidget* parent) {
    AboutDialog dialog(parent);
    dialog.exec();
}

}  // namespace kinemo::keyboard::ui
