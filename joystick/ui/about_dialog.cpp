#include "joystick/ui/about_dialog.h"

#include "joystick/ui/resource_paths.h"

namespace kinemo::joy::ui {

platform::AboutBoxContent AboutContent() {
    resources::InitResources();
    return {QString::fromUtf8(kAboutTitle),
            235,
            100,
            QString::fromLatin1(resources::kProgramIcon),
            {
                {platform::kAboutVersionId, QString::fromUtf8(kAboutVersion), 40, 10, 130, 8},
                {platform::kAboutDescriptionId, QString::fromUtf8(platform::kAboutDescriptionText),
                 40, 22, 130, 26, Qt::AlignLeft, true},
                // The note stands under the icon, one word a line.
                {kAboutNoteId, QString::fromUtf8(kAboutNote), 5, 36, 34, 26, Qt::AlignHCenter},
                {kAboutAuthorId, QString::fromUtf8(platform::kAboutAuthorText), 40, 58, 188, 8},
                {kAboutContactId, QString::fromUtf8(platform::kAboutContactText), 40, 70, 188, 8},
            }};
}

AboutDialog::AboutDialog(QWidget* parent) : AboutBox(AboutContent(), parent) {}

}  // namespace kinemo::joy::ui
