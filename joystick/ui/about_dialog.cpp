#include "joystick/ui/about_dialog.h"

#include "joystick/ui/resource_paths.h"
#include "platform/dialog_about.h"

namespace kinemo::joy::ui {

AboutDialog::AboutDialog(QWidget* parent)
    : DialogWindow(QString::fromUtf8(kAboutTitle), 235, 100, parent) {
    resources::InitResources();
    const platform::AboutText texts[] = {
        {kAboutVersionId, QString::fromUtf8(kAboutVersion), 40, 10, 130, 8},
        {kAboutDescriptionId, QString::fromUtf8(kAboutDescription), 40, 22, 130, 26, Qt::AlignLeft,
         true},
        // The note stands under the icon, one word a line.
        {kAboutNoteId, QString::fromUtf8(kAboutNote), 5, 36, 34, 26, Qt::AlignHCenter},
        {kAboutAuthorId, QStringLiteral("© Kinemo-Projekt"), 40, 58, 188, 8},
        {kAboutContactId, QStringLiteral("Kontakt: kontakt@kinemo-projekt.example"), 40, 70, 188,
         8},
    };
    platform::BuildAboutBox(*this, QString::fromLatin1(resources::kProgramIcon), kAboutIconId,
                            texts);
}

void ShowAboutDialog(QWidget* parent) {
    AboutDialog dialog(parent);
    dialog.exec();
}

}  // namespace kinemo::joy::ui
