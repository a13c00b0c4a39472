#include "sequencer/ui/about_dialog.h"

#include "kinemo/version.h"
#include "platform/dialog_about.h"
#include "sequencer/ui/resource_paths.h"

namespace kinemo::ui {

AboutDialog::AboutDialog(QWidget* parent)
    : DialogWindow(QStringLiteral("Info über Kinemo"), 235, 95, parent) {
    resources::InitResources();
    const platform::AboutText texts[] = {
        {kAboutVersionId,
         QStringLiteral("Kinemo Version ") + QString::fromLatin1(version::kShortVersion), 40, 10,
         130, 8},
        {kAboutDescriptionId,
         QStringLiteral("Programm zur Ansteuerung des Baukasten- Interfaces mit variablen "
                        "Motorgeschwindigkeiten"),
         40, 22, 130, 26, Qt::AlignLeft, true},
        {kAboutAuthorId, QStringLiteral("© Kinemo-Projekt"), 40, 52, 188, 8},
        {kAboutContactId, QStringLiteral("Kontakt: kontakt@kinemo-projekt.example"), 40, 62, 188,
         8},
        {kAboutWebId, QStringLiteral("https://kinemo-projekt.example"), 40, 72, 188, 8},
    };
    platform::BuildAboutBox(*this, QString::fromLatin1(resources::kProgramIcon), kAboutIconId,
                            texts);
}

void ShowAboutDialog(QWidget* parent) {
    AboutDialog dialog(parent);
    dialog.exec();
}

}  // namespace kinemo::ui
